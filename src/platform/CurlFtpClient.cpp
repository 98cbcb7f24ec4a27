#include "platform/CurlFtpClient.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/Cancellation.h"
#include "platform/CurlTransfer.h"
#include "platform/FtpAddress.h"
#include "platform/FtpListing.h"
#include "platform/Text.h"

namespace kestrun::platform {
namespace {

using curl::StopReason;
using curl::Transfer;

// Big reads keep a fast local transfer from being held up by callback overhead; it is also all the
// buffering a download has, whatever the file's size.
constexpr long kReceiveBufferBytes = 512 * 1024;
// A listing may hold any number of unsafe names; the first few are reported one by one.
constexpr long kMaxReportedUnsafeNames = 10;
// Lines of MLSD and LIST listings carry facts or columns before the name; this much room is kept for
// them, beyond the longest name.
constexpr std::size_t kMaxListLineBytes = kMaxFileNameBytes + 1024;

// libcurl's global set-up, once for the process; its result is kept for every client to check.
CURLcode InitCurlOnce() {
  static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
  return result;
}

// A time-out in seconds from the environment; absent or unusable leaves `fallback`.
std::chrono::milliseconds TimeoutFromEnvironment(const char* name, std::chrono::milliseconds fallback) {
  const char* text = std::getenv(name);
  if (!text || !*text) return fallback;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(seconds > 0) || seconds > 86400) return fallback;
  return std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
}

std::string Escape(CURL* handle, const std::string& text) {
  char* escaped = curl_easy_escape(handle, text.c_str(), static_cast<int>(text.size()));
  std::string out = escaped ? escaped : "";
  curl_free(escaped);
  return out;
}

long WholeSeconds(std::chrono::milliseconds ms) {
  return std::max<long>(1, static_cast<long>((ms.count() + 999) / 1000));
}

}  // namespace

// Marks the client busy for the length of one call, so that an event handler cannot start another
// request on the same handle while libcurl is inside one.
class CurlFtpClient::CallGuard {
 public:
  explicit CallGuard(bool& busy) : busy_(busy) { busy_ = true; }
  ~CallGuard() { busy_ = false; }

 private:
  bool& busy_;
};

static_assert(CURL_ERROR_SIZE <= 256, "the error text buffer is too small");

CurlFtpClient::CurlFtpClient(MaskMatcher matches)
    : matches_(std::move(matches)),
      features_(curl::MakeCommandList({"*FEAT"})),  // "*": a server that knows no FEAT is no failure
      noop_(curl::MakeCommandList({"NOOP"})),
      quit_(curl::MakeCommandList({"QUIT"})),
      idle_(std::make_unique<Transfer>()) {
  InitCurlOnce();
  connectTimeout_ = TimeoutFromEnvironment("KESTRUN_FTP_CONNECT_TIMEOUT", connectTimeout_);
  stallTimeout_ = TimeoutFromEnvironment("KESTRUN_FTP_STALL_TIMEOUT", stallTimeout_);
  const char* trace = std::getenv("KESTRUN_FTP_TRACE");
  trace_ = trace && *trace && std::string(trace) != "0";
}

CurlFtpClient::~CurlFtpClient() { CloseHandle(); }

std::unique_ptr<FtpClient> CreateFtpClient(MaskMatcher matches) {
  return std::make_unique<CurlFtpClient>(std::move(matches));
}

void CurlFtpClient::Status(const std::string& text) {
  lastStatus_ = text;
  if (events_) events_->FtpClient_Status(text);
}

void CurlFtpClient::NameSkipped(const std::string& text) {
  Status(text);
  if (events_) events_->FtpClient_NameSkipped(text);
}

int16_t CurlFtpClient::Fail(int16_t status, const std::string& text) {
  lastError_ = text;
  Status(text);
  return status;
}

// A refused option must not pass unnoticed: the request would run with settings other than the ones
// it needs.
void CurlFtpClient::CheckOption(CURLcode rc, CURLoption option) {
  assert(rc == CURLE_OK && "libcurl refused an option");
  if (rc == CURLE_OK || !setupError_.empty()) return;
  const curl_easyoption* known = curl_easy_option_by_id(option);
  setupError_ = std::string("libcurl refused option ") + (known ? known->name : std::to_string(option)) + ": " +
                curl_easy_strerror(rc);
}

int16_t CurlFtpClient::CheckReady() {
  if (busy_) return ftpstatus::Busy;
  lastError_.clear();
  if (CancelRequested()) return Fail(static_cast<int16_t>(CURLE_ABORTED_BY_CALLBACK), "Cancelled");
  if (!connected_ || !handle_) return Fail(ftpstatus::NotConnected, "Not connected");
  return ftpstatus::Ok;
}

void CurlFtpClient::CloseHandle() {
  connected_ = false;
  handle_.reset();
}

void CurlFtpClient::ConfigureHandle() {
  Set<CURLOPT_NOSIGNAL>(1L);
  Set<CURLOPT_PROTOCOLS_STR>("ftp");
  if (!user_.empty()) Set<CURLOPT_USERNAME>(user_.c_str());
  Set<CURLOPT_PASSWORD>(password_.c_str());
  // Passive: the client opens the data connection, which works through firewalls and NAT. Active:
  // the server connects back to the address of the control connection.
  Set<CURLOPT_FTPPORT>(passive_ ? nullptr : "-");
  // Paths go to the server as given: no "." or ".." resolved on our side.
  Set<CURLOPT_PATH_AS_IS>(1L);
  Set<CURLOPT_FTP_FILEMETHOD>(static_cast<long>(CURLFTPMETHOD_MULTICWD));
  Set<CURLOPT_BUFFERSIZE>(kReceiveBufferBytes);
  Set<CURLOPT_TCP_KEEPALIVE>(1L);
  Set<CURLOPT_ERRORBUFFER>(errorText_.data());
  Set<CURLOPT_WRITEFUNCTION>(curl::WriteCallback);
  Set<CURLOPT_XFERINFOFUNCTION>(curl::ProgressCallback);
  Set<CURLOPT_NOPROGRESS>(0L);
  Set<CURLOPT_DEBUGFUNCTION>(curl::DebugCallback);
  Set<CURLOPT_VERBOSE>(1L);
  Set<CURLOPT_WRITEDATA>(idle_.get());
  Set<CURLOPT_XFERINFODATA>(idle_.get());
  Set<CURLOPT_DEBUGDATA>(idle_.get());
}

std::string CurlFtpClient::FolderUrl(const std::vector<std::string>& folders, bool absolute) const {
  // libcurl decodes the URL's path and sends one CWD per component; a path that begins with "%2F"
  // starts with "CWD /", which makes it absolute.
  std::string url = baseUrl_ + "/";
  if (absolute) url += "%2F";
  for (const std::string& folder : folders) url += Escape(handle_.get(), folder) + "/";
  if (absolute && folders.empty()) url += "/";
  return url;
}

Transfer CurlFtpClient::NewTransfer(int kind) const {
  Transfer transfer;
  transfer.kind = static_cast<Transfer::Kind>(kind);
  transfer.events = events_;
  transfer.stallTimeout = stallTimeout_;
  transfer.connectTimeout = connectTimeout_;
  transfer.trace = trace_;
  transfer.lastMovement = curl::Clock::now();
  return transfer;
}

CURLcode CurlFtpClient::Run(Transfer& transfer) {
  Set<CURLOPT_WRITEDATA>(&transfer);
  Set<CURLOPT_XFERINFODATA>(&transfer);
  Set<CURLOPT_DEBUGDATA>(&transfer);
  Set<CURLOPT_CONNECTTIMEOUT_MS>(static_cast<long>(connectTimeout_.count()));
  Set<CURLOPT_ACCEPTTIMEOUT_MS>(static_cast<long>(connectTimeout_.count()));
  // "Nothing moves for the stall time": libcurl's own speed check for data, a limit on each reply,
  // and the progress callback's watch for everything in between.
  Set<CURLOPT_LOW_SPEED_LIMIT>(1L);
  Set<CURLOPT_LOW_SPEED_TIME>(WholeSeconds(stallTimeout_));
  Set<CURLOPT_SERVER_RESPONSE_TIMEOUT>(WholeSeconds(stallTimeout_));

  errorText_[0] = '\0';
  const CURLcode rc = setupError_.empty() ? curl_easy_perform(handle_.get()) : CURLE_FAILED_INIT;
  transfer.rc = rc;

  Set<CURLOPT_WRITEDATA>(idle_.get());
  Set<CURLOPT_XFERINFODATA>(idle_.get());
  Set<CURLOPT_DEBUGDATA>(idle_.get());
  connectionsOpened_ += transfer.greetings;
  return rc;
}

std::string CurlFtpClient::Reason(const Transfer& transfer, CURLcode rc) const {
  switch (transfer.stop) {
    case StopReason::Cancelled: return "Cancelled";
    case StopReason::Stalled: return "nothing received for " + std::to_string(WholeSeconds(stallTimeout_)) + " s";
    case StopReason::LocalWriteFailed:
      return std::string("cannot write the local file: ") + std::strerror(transfer.writeErrno);
    default: break;
  }
  // Where the network failed, the system says best why ("Connection refused"); where the server
  // refused, its reply does ("530 Login incorrect.").
  const bool network = rc == CURLE_COULDNT_CONNECT || rc == CURLE_COULDNT_RESOLVE_HOST ||
                       rc == CURLE_COULDNT_RESOLVE_PROXY || rc == CURLE_RECV_ERROR || rc == CURLE_SEND_ERROR;
  long osErrno = 0;
  if (network && curl_easy_getinfo(handle_.get(), CURLINFO_OS_ERRNO, &osErrno) == CURLE_OK && osErrno != 0)
    return std::strerror(static_cast<int>(osErrno));
  if (!network && transfer.LastReplyCode() >= 400) return transfer.lastReply;
  if (errorText_[0] != '\0') return PrintableName(errorText_.data(), 160);
  return curl_easy_strerror(rc);
}

int16_t CurlFtpClient::Outcome(const Transfer& transfer, CURLcode rc, const std::string& what) {
  if (transfer.handlerError) return ftpstatus::InternalError;  // the caller rethrows it
  if (!setupError_.empty()) return Fail(ftpstatus::InternalError, setupError_);
  int16_t status = ftpstatus::Ok;
  switch (transfer.stop) {
    case StopReason::Cancelled: status = static_cast<int16_t>(CURLE_ABORTED_BY_CALLBACK); break;
    case StopReason::Stalled: status = static_cast<int16_t>(CURLE_OPERATION_TIMEDOUT); break;
    case StopReason::LocalWriteFailed: status = ftpstatus::LocalFileError; break;
    default: status = rc == CURLE_OK ? ftpstatus::Ok : static_cast<int16_t>(rc);
  }
  if (status == ftpstatus::Ok) return status;
  lastError_ = Reason(transfer, rc);
  Status(transfer.stop == StopReason::Cancelled ? what + " cancelled" : what + " failed: " + lastError_);
  return status;
}

int16_t CurlFtpClient::Connect() {
  if (busy_) return ftpstatus::Busy;
  CallGuard guard(busy_);
  lastError_.clear();
  CloseHandle();
  folders_.clear();
  absolute_ = false;
  offersMlsd_ = false;
  sizeRefused_ = false;
  if (CancelRequested()) return Fail(static_cast<int16_t>(CURLE_ABORTED_BY_CALLBACK), "Cancelled");

  const std::optional<FtpAddress> address = ParseFtpHostName(host_, port_);
  if (!address) return Fail(ftpstatus::BadHostName, "Not a usable host name: " + PrintableName(host_));
  if (const CURLcode init = InitCurlOnce(); init != CURLE_OK)
    return Fail(ftpstatus::InternalError, std::string("libcurl could not be set up: ") + curl_easy_strerror(init));
  handle_.reset(curl_easy_init());
  if (!handle_) return Fail(ftpstatus::InternalError, "libcurl could not be set up");
  setupError_.clear();
  baseUrl_ = "ftp://" + address->Authority();
  // An anonymous login conventionally gives an address-like password; the program sets none.
  password_ = "anonymous@";
  ConfigureHandle();

  Status("Connecting to " + PrintableName(host_) + "...");
  Set<CURLOPT_URL>((baseUrl_ + "/").c_str());
  Set<CURLOPT_NOBODY>(1L);
  // FEAT right after the login tells whether the server lists folders with MLSD, which says which
  // entries are files; the command list is for this request only.
  Set<CURLOPT_QUOTE>(features_.get());
  Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Command));
  const CURLcode rc = Run(transfer);
  Set<CURLOPT_QUOTE>(nullptr);
  const int16_t status = Outcome(transfer, rc, "Connecting");
  if (transfer.handlerError) {
    CloseHandle();
    std::rethrow_exception(transfer.handlerError);
  }
  if (status != ftpstatus::Ok) {
    CloseHandle();
    return status;
  }
  connected_ = true;
  offersMlsd_ = transfer.offersMlsd;
  Status("Connected to " + PrintableName(host_));
  return ftpstatus::Ok;
}

int16_t CurlFtpClient::ChangeDirectory(const std::string& remotePath) {
  if (const int16_t ready = CheckReady(); ready != ftpstatus::Ok) return ready;
  CallGuard guard(busy_);
  if (text::HasControlCharacter(remotePath))
    return Fail(ftpstatus::BadRemotePath, "Not a usable remote folder: " + PrintableName(remotePath));

  const bool absolute = !remotePath.empty() && remotePath.front() == '/';
  std::vector<std::string> folders = absolute ? std::vector<std::string>{} : folders_;
  std::size_t start = 0;
  while (start <= remotePath.size()) {
    std::size_t end = remotePath.find('/', start);
    if (end == std::string::npos) end = remotePath.size();
    if (end > start) folders.push_back(remotePath.substr(start, end - start));
    start = end + 1;
  }

  Status("Changing to " + PrintableName(remotePath));
  Set<CURLOPT_URL>(FolderUrl(folders, absolute || absolute_).c_str());
  Set<CURLOPT_NOBODY>(1L);
  Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Command));
  const int16_t status = Outcome(transfer, Run(transfer), "Changing folder");
  if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
  if (status != ftpstatus::Ok) return status;
  folders_ = std::move(folders);
  absolute_ = absolute || absolute_;
  return ftpstatus::Ok;
}

CURLcode CurlFtpClient::RunListing(const char* command, NameListParser& parser, Transfer& transfer) {
  const std::string_view name = command;
  Set<CURLOPT_URL>(FolderUrl(folders_, absolute_).c_str());
  Set<CURLOPT_NOBODY>(0L);
  Set<CURLOPT_DIRLISTONLY>(name == "NLST" ? 1L : 0L);
  // libcurl has no MLSD mode of its own, but sends a custom command on a folder's URL as its listing
  // command, over a data connection.
  Set<CURLOPT_CUSTOMREQUEST>(name == "MLSD" ? command : nullptr);
  transfer.listing = &parser;
  const CURLcode rc = Run(transfer);
  Set<CURLOPT_DIRLISTONLY>(0L);
  Set<CURLOPT_CUSTOMREQUEST>(nullptr);
  // A listing that broke off is not finished: a name cut short is never taken for a whole one.
  if (rc == CURLE_OK && transfer.stop == StopReason::None && !transfer.handlerError) parser.Finish();
  return rc;
}

int16_t CurlFtpClient::GetFileList(const std::string& mask, bool details) {
  if (const int16_t ready = CheckReady(); ready != ftpstatus::Ok) return ready;
  CallGuard guard(busy_);
  if (details) return Fail(ftpstatus::Unsupported, "Listings with details are not supported");

  long unsafeNames = 0;
  std::vector<std::string> names;  // names held back until the folders among them are known
  // A listed name: dropped when unsafe (and reported), passed on or held when it matches the mask.
  auto take = [&](std::string_view line, bool tooLong, bool holdBack) {
    const RemoteNameKind kind = tooLong ? RemoteNameKind::Unsafe : ClassifyRemoteName(line);
    if (kind == RemoteNameKind::Empty || kind == RemoteNameKind::DotEntry) return;
    if (kind == RemoteNameKind::Unsafe) {
      if (++unsafeNames <= kMaxReportedUnsafeNames) NameSkipped("Skipping unsafe name: " + PrintableName(line));
      return;
    }
    std::string name(line);
    if (!matches_(name, mask)) return;
    if (holdBack) {
      names.push_back(std::move(name));
    } else if (events_) {
      events_->FtpClient_FileList(name);
    }
  };

  Status("Getting the file list");
  if (offersMlsd_) {
    // Each MLSD line says what its entry is: files go on at once, folders and the like are left out,
    // and an entry whose kind is not shown (a link) is kept.
    NameListParser parser(
        [&](std::string_view line, bool tooLong) {
          const MlsdEntry entry = ParseMlsdLine(line);
          if (entry.kind != RemoteEntryKind::Folder && entry.kind != RemoteEntryKind::Other)
            take(entry.name, tooLong, false);
        },
        kMaxListLineBytes);
    Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Listing));
    const CURLcode rc = RunListing("MLSD", parser, transfer);
    if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
    // A server that offered MLSD and then refuses it is listed by name instead, from now on.
    const bool refused = rc != CURLE_OK && transfer.stop == StopReason::None && transfer.lastCommand == "MLSD" &&
                         transfer.LastReplyCode() >= 500;
    if (!refused) {
      const int16_t status = Outcome(transfer, rc, "Listing");
      if (status != ftpstatus::Ok) return status;
    }
    offersMlsd_ = !refused;
  }
  if (!offersMlsd_) {
    NameListParser parser([&](std::string_view line, bool tooLong) { take(line, tooLong, true); });
    Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Listing));
    const int16_t status = Outcome(transfer, RunListing("NLST", parser, transfer), "Listing");
    if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
    if (status != ftpstatus::Ok) return status;
    if (const int16_t dropped = DropFolders(names); dropped != ftpstatus::Ok) return dropped;
  }
  if (unsafeNames > kMaxReportedUnsafeNames)
    NameSkipped("Skipped " + std::to_string(unsafeNames) + " unsafe names in all");
  if (events_) {
    for (const std::string& name : names) events_->FtpClient_FileList(name);
  }
  return ftpstatus::Ok;
}

// A name list says nothing of what its names are. A LIST line of a folder (or of a link) that ends in
// one of the names makes that name a suspect, and a change into it that succeeds shows it to be a
// folder; a suspect that is no folder after all (a file named like the tail of a folder's name) stays.
// A name the server gives no sign about is kept, and so is everything when the server refuses LIST.
int16_t CurlFtpClient::DropFolders(std::vector<std::string>& names) {
  if (names.empty()) return ftpstatus::Ok;
  const std::unordered_set<std::string_view> wanted(names.begin(), names.end());
  std::bitset<kMaxFileNameBytes + 1> lengths;  // tails of other lengths need no look-up
  for (const std::string& name : names) lengths.set(name.size());
  std::unordered_set<std::string> suspects;
  // Where a LIST line's name starts is not fixed (owner names with blanks, missing columns): the
  // longest tail after a blank that is a listed name is taken.
  auto findName = [&](std::string_view text) {
    for (std::size_t blank = text.find(' '); blank != std::string_view::npos; blank = text.find(' ', blank + 1)) {
      const std::string_view tail = text.substr(blank + 1);
      if (tail.size() <= kMaxFileNameBytes && lengths.test(tail.size()) && wanted.count(tail)) {
        suspects.emplace(tail);
        return;
      }
    }
  };
  NameListParser parser(
      [&](std::string_view line, bool) {
        const RemoteEntryKind kind = ListLineKind(line);
        if (kind == RemoteEntryKind::Folder) findName(line);
        if (kind == RemoteEntryKind::Unknown) findName(line.substr(0, line.find(" -> ")));
      },
      kMaxListLineBytes);
  Transfer listing = NewTransfer(static_cast<int>(Transfer::Kind::Listing));
  const CURLcode rc = RunListing("LIST", parser, listing);
  if (listing.handlerError) std::rethrow_exception(listing.handlerError);
  if (listing.stop == StopReason::Cancelled) return Outcome(listing, rc, "Listing");
  if (rc != CURLE_OK || listing.stop != StopReason::None) return ftpstatus::Ok;

  std::unordered_set<std::string> folders;
  for (const std::string& name : suspects) {
    std::vector<std::string> path = folders_;
    path.push_back(name);
    Set<CURLOPT_URL>(FolderUrl(path, absolute_).c_str());
    Set<CURLOPT_NOBODY>(1L);
    Transfer probe = NewTransfer(static_cast<int>(Transfer::Kind::Command));
    const CURLcode changed = Run(probe);
    if (probe.handlerError) std::rethrow_exception(probe.handlerError);
    if (probe.stop == StopReason::Cancelled) return Outcome(probe, changed, "Listing");
    if (changed == CURLE_OK) folders.insert(name);
  }
  names.erase(
      std::remove_if(names.begin(), names.end(), [&](const std::string& name) { return folders.count(name) > 0; }),
      names.end());
  return ftpstatus::Ok;
}

int16_t CurlFtpClient::GetFile(const std::string& localFile, const std::string& remoteName) {
  const int16_t status = Download(localFile, remoteName);
  // The local file's failures are told by their status texts alone: the last one is the reason.
  if (status != ftpstatus::Ok && status != ftpstatus::Busy && lastError_.empty()) lastError_ = lastStatus_;
  return status;
}

int16_t CurlFtpClient::Download(const std::string& localFile, const std::string& remoteName) {
  if (const int16_t ready = CheckReady(); ready != ftpstatus::Ok) return ready;
  CallGuard guard(busy_);
  if (!IsBareFileName(remoteName))
    return Fail(ftpstatus::UnsafeName, "Refusing to download unsafe name: " + PrintableName(remoteName));
  const std::filesystem::path target(localFile);
  if (!IsBareFileName(target.filename().string()))
    return Fail(ftpstatus::UnsafeName, "Not a usable local file name: " + PrintableName(localFile));
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return Fail(ftpstatus::LocalFileError, "Local folder not found: " + PrintableName(folder.string()));
  std::optional<AtomicFile> temp;
  try {
    temp.emplace((folder / target.filename()).string(), std::nullopt, AtomicFile::Links::Replace);
  } catch (const std::system_error& e) {
    Status("Cannot create a file in " + PrintableName(folder.string()) + ": " + std::strerror(e.code().value()));
    return ftpstatus::LocalFileError;
  }

  const bool binary = transferType_ != ftptype::Ascii;
  const std::string what = "Downloading " + PrintableName(remoteName);
  Status(what);
  if (events_) events_->FtpClient_Progress(0);
  Set<CURLOPT_URL>((FolderUrl(folders_, absolute_) + Escape(handle_.get(), remoteName)).c_str());
  Set<CURLOPT_NOBODY>(0L);
  Set<CURLOPT_TRANSFERTEXT>(binary ? 0L : 1L);
  auto attempt = [&](bool withoutSize) {
    Set<CURLOPT_IGNORE_CONTENT_LENGTH>(withoutSize ? 1L : 0L);  // no SIZE asked
    Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Download));
    transfer.fd = temp->Fd();
    transfer.flushToDisk = flushToDisk_;
    transfer.reportProgress = true;
    Run(transfer);
    return transfer;
  };
  Transfer transfer = attempt(sizeRefused_);
  if (!sizeRefused_ && transfer.rc == CURLE_REMOTE_FILE_NOT_FOUND && transfer.sizeRefused &&
      transfer.bytesWritten == 0 && transfer.stop == StopReason::None && !transfer.handlerError) {
    // SIZE is an extension, and a server may refuse it (550) for a file it serves, which libcurl takes
    // for a missing file. The file is asked for without it; a missing one is refused again then.
    transfer = attempt(true);
    sizeRefused_ = transfer.rc == CURLE_OK;
  }
  const int16_t status = Outcome(transfer, transfer.rc, what);
  if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
  if (status != ftpstatus::Ok) return status;

  // libcurl checks the size too, but only against what it was told; the check here also covers a
  // server whose SIZE and RETR replies disagree, and, where SIZE was refused, the byte count of the
  // opening reply. In ASCII mode line ends change the count.
  curl_off_t announced = -1;
  if (binary &&
      (curl_easy_getinfo(handle_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) != CURLE_OK || announced < 0))
    announced = transfer.announcedBytes;
  if (binary && announced >= 0 && static_cast<uint64_t>(announced) != transfer.bytesWritten)
    return Fail(ftpstatus::ShortFile, "Download of " + PrintableName(remoteName) +
                                          " incomplete: " + std::to_string(transfer.bytesWritten) + " of " +
                                          std::to_string(announced) + " bytes");
  try {
    temp->Commit(flushToDisk_);
  } catch (const std::system_error& e) {
    Status("Cannot write " + PrintableName(localFile) + ": " + std::strerror(e.code().value()));
    return ftpstatus::LocalFileError;
  }
  if (events_) events_->FtpClient_Progress(100);
  Status("Downloaded " + PrintableName(remoteName));
  return ftpstatus::Ok;
}

int16_t CurlFtpClient::Disconnect() {
  if (busy_) return ftpstatus::Busy;
  if (CancelRequested() || !connected_ || !handle_) {
    const int16_t status = CheckReady();
    CloseHandle();
    return status;
  }
  CallGuard guard(busy_);
  lastError_.clear();
  Status("Disconnecting");
  // QUIT after the (empty) request on the current folder, so that libcurl has no CWD left to send on
  // a connection the server is closing; the server's 221 is what makes the close a clean one. The NOOP
  // before it starts libcurl's reply clock afresh: a request that has nothing to send at first would
  // otherwise count the time since the last command, and fail on a client left idle for a while.
  Set<CURLOPT_URL>(FolderUrl(folders_, absolute_).c_str());
  Set<CURLOPT_NOBODY>(1L);
  Set<CURLOPT_QUOTE>(noop_.get());
  Set<CURLOPT_POSTQUOTE>(quit_.get());
  Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Command));
  const CURLcode rc = Run(transfer);
  Set<CURLOPT_QUOTE>(nullptr);
  Set<CURLOPT_POSTQUOTE>(nullptr);
  const int16_t status = Outcome(transfer, rc, "Disconnecting");
  CloseHandle();
  if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
  if (status == ftpstatus::Ok) Status("Disconnected");
  return status;
}

}  // namespace kestrun::platform
