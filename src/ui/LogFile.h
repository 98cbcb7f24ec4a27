#pragma once
#include <iosfwd>
#include <string>

namespace kestrun::ui {

// KESTRUN_LOG=FILE: every log line of the run, after its local time in ISO 8601, appended to FILE for
// runs nobody watches. The file is opened at the first line (created 0644, never truncated) and each
// line goes out in one write of its own, so lines of two runs never mix and a killed run loses none it
// wrote. A file that cannot be opened or written is said once on `err`; the run goes on without it.
class LogFile {
 public:
  LogFile(std::string path, std::ostream& err);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // `text` as the main window logs it: lines ended by CR LF; empty lines are not written.
  void Append(const std::string& text);

 private:
  void Fail(const char* what, int error);

  std::string path_;
  std::ostream& err_;
  int fd_ = -1;
  bool failed_ = false;
};

// This process's log file, from KESTRUN_LOG; nullptr when that is unset or empty.
LogFile* ProcessLogFile();

}  // namespace kestrun::ui
