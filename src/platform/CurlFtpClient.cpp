#include "platform/CurlFtpClient.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Cancellation.h"
#include "platform/CurlTransfer.h"
#include "platform/FtpAddress.h"
#include "platform/FtpListing.h"
#include "util/StringUtilities.h"

namespace kestrun::platform {
namespace {

using curl::StopReason;
using curl::Transfer;

// Big reads keep a fast local transfer from being held up by callback overhead; it is also all the
// buffering a download has, whatever the file's size.
constexpr long kReceiveBufferBytes = 512 * 1024;
// A listing may hold any number of unsafe names; the first few are reported one by one.
constexpr long kMaxReportedUnsafeNames = 10;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
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

bool HasControlCharacter(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  return false;
}

std::string Escape(CURL* handle, const std::string& text) {
  char* escaped = curl_easy_escape(handle, text.c_str(), static_cast<int>(text.size()));
  std::string out = escaped ? escaped : "";
  curl_free(escaped);
  return out;
}

long WholeSeconds(std::chrono::milliseconds ms) { return std::max<long>(1, static_cast<long>((ms.count() + 999) / 1000)); }

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

CurlFtpClient::CurlFtpClient() : idle_(std::make_unique<Transfer>()) {
  InitCurlOnce();
  connectTimeout_ = TimeoutFromEnvironment("KESTRUN_FTP_CONNECT_TIMEOUT", connectTimeout_);
  stallTimeout_ = TimeoutFromEnvironment("KESTRUN_FTP_STALL_TIMEOUT", stallTimeout_);
  const char* trace = std::getenv("KESTRUN_FTP_TRACE");
  trace_ = trace && *trace && std::string(trace) != "0";
}

CurlFtpClient::~CurlFtpClient() { CloseHandle(); }

std::unique_ptr<FtpClient> CreateFtpClient() { return std::make_unique<CurlFtpClient>(); }

void CurlFtpClient::Status(const std::string& text) {
  if (events_) events_->FtpClient_Status(text);
}

int16_t CurlFtpClient::CheckReady() {
  if (busy_) return ftpstatus::Busy;
  if (CancelRequested()) {
    Status("Cancelled");
    return static_cast<int16_t>(CURLE_ABORTED_BY_CALLBACK);
  }
  if (!connected_ || !handle_) {
    Status("Not connected");
    return ftpstatus::NotConnected;
  }
  return ftpstatus::Ok;
}

void CurlFtpClient::CloseHandle() {
  connected_ = false;
  if (!handle_) return;
  // No callbacks while libcurl closes the connection: nobody is listening any more.
  curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 1L);
  curl_easy_setopt(handle_, CURLOPT_VERBOSE, 0L);
  curl_easy_cleanup(handle_);
  handle_ = nullptr;
}

void CurlFtpClient::ConfigureHandle() {
  CURL* h = handle_;
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
  if (!user_.empty()) curl_easy_setopt(h, CURLOPT_USERNAME, user_.c_str());
  curl_easy_setopt(h, CURLOPT_PASSWORD, password_.c_str());
  // Passive: the client opens the data connection, which works through firewalls and NAT. Active:
  // the server connects back to the address of the control connection.
  curl_easy_setopt(h, CURLOPT_FTPPORT, passive_ ? nullptr : "-");
  // Paths go to the server as given: no "." or ".." resolved on our side.
  curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_MULTICWD));
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, curl::WriteCallback);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, curl::ProgressCallback);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, curl::DebugCallback);
  curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, idle_.get());
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, idle_.get());
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, idle_.get());
}

std::string CurlFtpClient::FolderUrl(const std::vector<std::string>& folders, bool absolute) const {
  // libcurl decodes the URL's path and sends one CWD per component; a path that begins with "%2F"
  // starts with "CWD /", which makes it absolute.
  std::string url = baseUrl_ + "/";
  if (absolute) url += "%2F";
  for (const std::string& folder : folders) url += Escape(handle_, folder) + "/";
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

int16_t CurlFtpClient::Perform(Transfer& transfer, const std::string& what) {
  CURL* h = handle_;
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeout_.count()));
  curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(connectTimeout_.count()));
  // "Nothing moves for the stall time": libcurl's own speed check for data, a limit on each reply,
  // and the progress callback's watch for everything in between.
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, WholeSeconds(stallTimeout_));
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, WholeSeconds(stallTimeout_));

  const CURLcode rc = curl_easy_perform(h);

  curl_easy_setopt(h, CURLOPT_WRITEDATA, idle_.get());
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, idle_.get());
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, idle_.get());
  connectionsOpened_ += transfer.greetings;

  if (transfer.handlerError) return ftpstatus::InternalError;  // the caller rethrows it
  std::string text;
  int16_t status = ftpstatus::Ok;
  switch (transfer.stop) {
    case StopReason::Cancelled:
      status = static_cast<int16_t>(CURLE_ABORTED_BY_CALLBACK);
      text = what + " cancelled";
      break;
    case StopReason::Stalled:
      status = static_cast<int16_t>(CURLE_OPERATION_TIMEDOUT);
      text = what + " failed: nothing received for " + std::to_string(WholeSeconds(stallTimeout_)) + " s";
      break;
    case StopReason::LocalWriteFailed:
      status = ftpstatus::LocalFileError;
      text = what + " failed: cannot write the local file: " + std::strerror(transfer.writeErrno);
      break;
    default:
      if (rc != CURLE_OK) {
        status = static_cast<int16_t>(rc);
        text = what + " failed: " + curl_easy_strerror(rc);
        if (!transfer.lastReply.empty()) text += " (server: " + transfer.lastReply + ")";
      }
  }
  if (status != ftpstatus::Ok) Status(text);
  return status;
}

int16_t CurlFtpClient::Connect() {
  if (busy_) return ftpstatus::Busy;
  CallGuard guard(busy_);
  CloseHandle();
  folders_.clear();
  absolute_ = false;
  if (CancelRequested()) {
    Status("Cancelled");
    return static_cast<int16_t>(CURLE_ABORTED_BY_CALLBACK);
  }

  const std::optional<FtpAddress> address = ParseFtpHostName(host_, port_);
  if (!address) {
    Status("Not a usable host name: " + PrintableName(host_));
    return ftpstatus::BadHostName;
  }
  handle_ = curl_easy_init();
  if (!handle_) return ftpstatus::InternalError;
  baseUrl_ = "ftp://" + address->Authority();
  // An anonymous login conventionally gives an address-like password; the program sets none.
  password_ = "anonymous@";
  ConfigureHandle();

  Status("Connecting to " + PrintableName(host_) + "...");
  curl_easy_setopt(handle_, CURLOPT_URL, (baseUrl_ + "/").c_str());
  curl_easy_setopt(handle_, CURLOPT_NOBODY, 1L);
  Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Command));
  const int16_t status = Perform(transfer, "Connecting");
  if (transfer.handlerError) {
    CloseHandle();
    std::rethrow_exception(transfer.handlerError);
  }
  if (status != ftpstatus::Ok) {
    CloseHandle();
    return status;
  }
  connected_ = true;
  Status("Connected to " + PrintableName(host_));
  return ftpstatus::Ok;
}

int16_t CurlFtpClient::ChangeDirectory(const std::string& remotePath) {
  if (const int16_t ready = CheckReady(); ready != ftpstatus::Ok) return ready;
  CallGuard guard(busy_);
  if (HasControlCharacter(remotePath)) {
    Status("Not a usable remote folder: " + PrintableName(remotePath));
    return ftpstatus::BadRemotePath;
  }

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
  curl_easy_setopt(handle_, CURLOPT_URL, FolderUrl(folders, absolute || absolute_).c_str());
  curl_easy_setopt(handle_, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(handle_, CURLOPT_DIRLISTONLY, 0L);
  Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Command));
  const int16_t status = Perform(transfer, "Changing folder");
  if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
  if (status != ftpstatus::Ok) return status;
  folders_ = std::move(folders);
  absolute_ = absolute || absolute_;
  return ftpstatus::Ok;
}

int16_t CurlFtpClient::GetFileList(const std::string& mask, bool details) {
  if (const int16_t ready = CheckReady(); ready != ftpstatus::Ok) return ready;
  CallGuard guard(busy_);
  if (details) {
    Status("Listings with details are not supported");
    return ftpstatus::Unsupported;
  }

  const StringUtilities strings;
  long unsafeNames = 0;
  NameListParser parser([&](std::string_view line, bool tooLong) {
    const RemoteNameKind kind = tooLong ? RemoteNameKind::Unsafe : ClassifyRemoteName(line);
    if (kind == RemoteNameKind::Empty || kind == RemoteNameKind::DotEntry) return;
    if (kind == RemoteNameKind::Unsafe) {
      if (++unsafeNames <= kMaxReportedUnsafeNames) Status("Skipping unsafe name: " + PrintableName(line));
      return;
    }
    const std::string name(line);
    if (events_ && strings.MatchesFileMask(name, mask)) events_->FtpClient_FileList(name);
  });

  Status("Getting the file list");
  curl_easy_setopt(handle_, CURLOPT_URL, FolderUrl(folders_, absolute_).c_str());
  curl_easy_setopt(handle_, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(handle_, CURLOPT_DIRLISTONLY, 1L);
  Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Listing));
  transfer.listing = &parser;
  const int16_t status = Perform(transfer, "Listing");
  curl_easy_setopt(handle_, CURLOPT_DIRLISTONLY, 0L);
  if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
  if (status != ftpstatus::Ok) return status;
  parser.Finish();
  if (unsafeNames > kMaxReportedUnsafeNames)
    Status("Skipped " + std::to_string(unsafeNames) + " unsafe names in all");
  return ftpstatus::Ok;
}

int16_t CurlFtpClient::GetFile(const std::string& localFile, const std::string& remoteName) {
  if (const int16_t ready = CheckReady(); ready != ftpstatus::Ok) return ready;
  CallGuard guard(busy_);
  if (!IsBareFileName(remoteName)) {
    Status("Refusing to download unsafe name: " + PrintableName(remoteName));
    return ftpstatus::UnsafeName;
  }
  const std::filesystem::path target(localFile);
  if (!IsBareFileName(target.filename().string())) {
    Status("Not a usable local file name: " + PrintableName(localFile));
    return ftpstatus::UnsafeName;
  }
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    Status("Local folder not found: " + PrintableName(folder.string()));
    return ftpstatus::LocalFileError;
  }
  std::optional<AtomicFile> temp;
  try {
    temp.emplace((folder / target.filename()).string(), std::nullopt, AtomicFile::Links::Replace);
  } catch (const std::system_error& e) {
    Status("Cannot create a file in " + PrintableName(folder.string()) + ": " + std::strerror(e.code().value()));
    return ftpstatus::LocalFileError;
  }

  const bool binary = transferType_ != ftptype::Ascii;
  Status("Downloading " + PrintableName(remoteName));
  if (events_) events_->FtpClient_Progress(0);
  curl_easy_setopt(handle_, CURLOPT_URL, (FolderUrl(folders_, absolute_) + Escape(handle_, remoteName)).c_str());
  curl_easy_setopt(handle_, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(handle_, CURLOPT_TRANSFERTEXT, binary ? 0L : 1L);
  Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Download));
  transfer.fd = temp->Fd();
  transfer.flushToDisk = flushToDisk_;
  transfer.reportProgress = true;
  const int16_t status = Perform(transfer, "Downloading " + PrintableName(remoteName));
  if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
  if (status != ftpstatus::Ok) return status;

  // libcurl checks the size too, but only against what it was told; the check here also covers a
  // server whose SIZE and RETR replies disagree. In ASCII mode line ends change the count.
  curl_off_t announced = -1;
  if (binary && curl_easy_getinfo(handle_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
      announced >= 0 && static_cast<uint64_t>(announced) != transfer.bytesWritten) {
    Status("Download of " + PrintableName(remoteName) + " incomplete: " + std::to_string(transfer.bytesWritten) +
           " of " + std::to_string(announced) + " bytes");
    return ftpstatus::ShortFile;
  }
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
  Status("Disconnecting");
  // QUIT after the (empty) request on the current folder, so that libcurl has no CWD left to send on
  // a connection the server is closing; the server's 221 is what makes the close a clean one.
  curl_slist* quit = curl_slist_append(nullptr, "QUIT");
  curl_easy_setopt(handle_, CURLOPT_URL, FolderUrl(folders_, absolute_).c_str());
  curl_easy_setopt(handle_, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(handle_, CURLOPT_POSTQUOTE, quit);
  Transfer transfer = NewTransfer(static_cast<int>(Transfer::Kind::Command));
  const int16_t status = Perform(transfer, "Disconnecting");
  curl_easy_setopt(handle_, CURLOPT_POSTQUOTE, nullptr);
  curl_slist_free_all(quit);
  CloseHandle();
  if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
  if (status == ftpstatus::Ok) Status("Disconnected");
  return status;
}

}  // namespace kestrun::platform
