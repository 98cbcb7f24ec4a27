#include "ui/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>

namespace kestrun::ui {

namespace {

// "2026-12-06T21:43:05+01:00"
std::string LocalTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  if (!localtime_r(&now, &t)) return "0000-00-00T00:00:00Z";
  char text[80];
  const int offset = static_cast<int>(t.tm_gmtoff / 60) % (24 * 60);
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, offset < 0 ? '-' : '+', std::abs(offset) / 60,
                std::abs(offset) % 60);
  return text;
}

bool WriteAll(int fd, const std::string& data) {
  for (std::size_t done = 0; done < data.size();) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

LogFile::LogFile(std::string path, std::ostream& err) : path_(std::move(path)), err_(err) {}

LogFile::~LogFile() {
  if (fd_ >= 0) ::close(fd_);
}

void LogFile::Fail(const char* what, int error) {
  failed_ = true;
  err_ << "kestrun: cannot " << what << " the log file " << path_ << ": " << std::strerror(error) << "; the run goes on"
       << std::endl;
}

void LogFile::Append(const std::string& text) {
  if (failed_ || text.empty()) return;
  if (fd_ < 0) {
    // Created readable for all, whatever the umask, as log files are; an existing file keeps its mode.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd_ >= 0) {
      ::fchmod(fd_, 0644);
    } else if (errno == EEXIST) {
      fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
    }
    if (fd_ < 0) return Fail("open", errno);
  }
  const std::string stamp = LocalTimestamp();
  std::string lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines += stamp + ' ' + text.substr(start, end - start) + '\n';
    start = end + 2;
  }
  if (!WriteAll(fd_, lines)) Fail("write", errno);
}

LogFile* ProcessLogFile() {
  static const std::unique_ptr<LogFile> file = []() -> std::unique_ptr<LogFile> {
    const char* path = std::getenv("KESTRUN_LOG");
    if (!path || !*path) return nullptr;
    return std::make_unique<LogFile>(path, std::cerr);
  }();
  return file.get();
}

}  // namespace kestrun::ui
