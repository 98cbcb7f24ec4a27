#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kestrun::platform {

// What the FTP client tells its owner while a call is in progress. Events arrive on the calling
// thread, inside connect, listing, download and disconnect calls. A handler may let the window
// process pending messages, but must not call back into the same client (such calls are refused
// with ftpstatus::Busy). An exception thrown by a handler ends the transfer under way (a download
// removes its temporary file) and then leaves the client's call.
class FtpClientEvents {
 public:
  virtual ~FtpClientEvents() = default;
  // One bare remote file name that matched the listing's mask.
  virtual void FtpClient_FileList(const std::string& name) = 0;
  // Download progress, 0 to 100, at most about 20 events a second.
  virtual void FtpClient_Progress(int16_t percent) = 0;
  // A short text for the status bar ("Connecting to ...", "Downloading ...", failures, skipped names).
  virtual void FtpClient_Status(const std::string& text) = 0;
  // A listed name was dropped: it is no bare file name in a folder (a path separator, a control
  // character, too long). `text` says so in a line for the log, the name made printable, for the first
  // few such names of a listing; past those, one line at the end tells how many there were in all. The
  // same text comes as a status text just before.
  virtual void FtpClient_NameSkipped(const std::string& text) = 0;
};

// Statuses: 0 is success; anything else is a failure. Failures reported by libcurl come back as
// their CURLcode (all positive); failures found by the client itself are the negative values below.
namespace ftpstatus {
inline constexpr int16_t Ok = 0;
inline constexpr int16_t Busy = -1;            // called from an event handler during another call
inline constexpr int16_t NotConnected = -2;    // no successful Connect since the last Disconnect
inline constexpr int16_t BadHostName = -3;     // host name or port that cannot be an FTP address
inline constexpr int16_t BadRemotePath = -4;   // remote folder holding control characters
inline constexpr int16_t UnsafeName = -5;      // a file name that is not a bare name in its folder
inline constexpr int16_t LocalFileError = -6;  // the local file could not be created, written or renamed
inline constexpr int16_t ShortFile = -7;       // fewer bytes arrived than the server announced
inline constexpr int16_t Unsupported = -8;     // a listing form this client does not produce
inline constexpr int16_t InternalError = -9;   // libcurl could not be set up
}  // namespace ftpstatus

// Transfer types for SetTransferType, numbered as FTP components traditionally number them.
namespace ftptype {
inline constexpr int16_t Ascii = 1;
inline constexpr int16_t Binary = 2;  // byte for byte: what package files need
}  // namespace ftptype

// An FTP client holding one control connection, driven one call at a time.
//
// Calling order: set the port, user name, host name and passive mode, Connect, ChangeDirectory,
// GetFileList, then per file SetTransferType and GetFile, and Disconnect. Connect may be called
// again at any time (for example with another host): it drops the old connection first.
class FtpClient {
 public:
  virtual ~FtpClient() = default;

  // Receiver of the events (not owned); nullptr for none.
  virtual void SetEvents(FtpClientEvents* events) = 0;

  // Port used when the host name carries none. Default 21.
  virtual void SetRemotePort(int port) = 0;
  // User name for the login; for "anonymous" a conventional anonymous password is sent.
  virtual void SetUserName(const std::string& user) = 0;
  // Host name or address, optionally with a port: "ftp.example.com", "ftp.example.com:2121",
  // "192.0.2.7:21", "[2001:db8::7]:2121" or "2001:db8::7". A port given here wins over SetRemotePort.
  virtual void SetHostName(const std::string& host) = 0;
  // Passive data connections (true, the default) or active ones (false).
  virtual void SetPassiveMode(bool passive) = 0;
  // ftptype::Binary (the default) or ftptype::Ascii for the following downloads.
  virtual void SetTransferType(int16_t type) = 0;

  // How long connecting and logging in may take (default 30 s), and how long a transfer or a
  // command may go without moving anything before it fails (default 60 s). The environment variables
  // KESTRUN_FTP_CONNECT_TIMEOUT and KESTRUN_FTP_STALL_TIMEOUT (seconds) set the defaults.
  virtual void SetConnectTimeout(std::chrono::milliseconds timeout) = 0;
  virtual void SetStallTimeout(std::chrono::milliseconds timeout) = 0;
  // Whether a download is flushed to disk before it takes the target's name (default true), so that
  // after a crash or power loss the target is the old file or the whole new one. Off, a download is
  // somewhat faster on a fast network and a crash right after it may leave a damaged file.
  virtual void SetFlushToDisk(bool flush) = 0;

  // Connects and logs in. 0 when logged in.
  virtual int16_t Connect() = 0;
  // Makes `remotePath` the current remote folder, verified on the server. The path is sent as given:
  // an absolute path ("/pub/dat") stays absolute, a relative one is taken from the current folder.
  // 0 when the folder is now current; on failure the current folder stays what it was.
  virtual int16_t ChangeDirectory(const std::string& remotePath) = 0;
  // Lists the names in the current folder and raises FtpClient_FileList, before returning, for each
  // bare file name that matches `mask` (by the owner's MaskMatcher), in the server's order. Only
  // files: folders are left out (MLSD where the server offers it, else the name list with the entries
  // that the server shows to be folders dropped); a name whose kind cannot be told is kept. Names that
  // could escape the local folder or confuse a file system are dropped and reported through
  // FtpClient_NameSkipped. `details` asks for size and date columns, which this client does not produce
  // (Unsupported).
  virtual int16_t GetFileList(const std::string& mask, bool details) = 0;
  // Downloads `remoteName` from the current folder into `localFile`, whose folder must exist. The data
  // goes to a hidden temporary file in that folder and replaces `localFile` only when complete; on any
  // failure nothing is left behind and `localFile` is untouched. A symbolic link at `localFile` is
  // replaced, never written through. 0 when written completely: the length is checked against the
  // server's SIZE answer, or, where the server refuses SIZE, against the byte count of its opening reply
  // when it gives one, and the server must confirm the end of the transfer.
  virtual int16_t GetFile(const std::string& localFile, const std::string& remoteName) = 0;
  // Says goodbye to the server and closes the connection. 0 when the server confirmed.
  virtual int16_t Disconnect() = 0;

  // Why the last call failed, in a few words for a log line: the server's reply ("530 Login
  // incorrect.") or the system's reason ("Connection refused", a time-out). Empty after a call that
  // succeeded.
  virtual std::string LastError() const = 0;
};

// Whether a listed name matches a listing's mask. The owner supplies the program's own matcher (its mask
// syntax, without regard to case), so that a server's listing is filtered as the local folder is. It may
// throw for a mask that breaks the syntax: the listing call then ends as it does when a handler throws.
using MaskMatcher = std::function<bool(const std::string& name, const std::string& mask)>;

// The libcurl FTP client; `matches` filters its listings.
std::unique_ptr<FtpClient> CreateFtpClient(MaskMatcher matches);

}  // namespace kestrun::platform
