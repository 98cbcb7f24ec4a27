#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

// Opening documents, starting and waiting for processes, and ending them. Stateless: every user creates
// its own instance. Commands never pass through a shell: they are split into words as a Windows command
// line is (SplitCommandLine) and the first word is the program.
class ProcessUtilities {
 public:
  // Opens a document, folder or address with the program the desktop associates with it; when there is
  // none, offers the desktop's choice of a program. Says nothing when neither works.
  void ShellDoc(const std::string& strFile);

  // Runs the command in `strPath` (empty: the program's own folder) and waits for its end while the
  // window stays responsive. 0 when the process ran and ended (whatever its exit status), -1 when it
  // could not be started.
  int16_t ShellWait(const std::string& strCommand, const std::string& strPath = "");

  // Starts the command like ShellWait without waiting: the new process's id, or 0.
  int32_t StartProcess(const std::string& strCommand, const std::string& strPath = "");

  int32_t GetPocID();

  // Shut-down rights come with the user on Linux: nothing to enable.
  void AdjustToken() {}

  // True for a live process this program may signal.
  bool CheckIfProcessIDIsRunning(int32_t lngProcessID);

  // Ends the process (asked first, forced after a short grace period); true only when it has ended.
  // Ids 0 and below, init and this program itself are never touched. A Linux process cannot be given
  // an exit status from outside, so `ExitCode` is not used.
  bool KillProcess(int32_t hProcessID, int32_t ExitCode = 0);
};

// The words of a command line as a Windows program receives them: blanks and tabs separate words;
// double quotes group (an unclosed quote runs to the end); inside quotes "" is one quote; backslashes
// are literal except before a quote, where 2n of them give n and a grouping quote, 2n+1 give n and a
// literal quote. The first word (the program) ends at the first blank or the closing quote and keeps
// its backslashes.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace kestrun
