#include "util/ProcessUtilities.h"

#include <optional>

#include "platform/Machine.h"
#include "platform/Processes.h"
#include "platform/Text.h"
#include "platform/WindowSystem.h"

namespace kestrun {
namespace {

using text::IsBlank;

const std::string& WorkingFolder(const std::string& strPath) {
  return strPath.empty() ? platform::App().Path : strPath;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view s) {
  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  if (i == n) return words;

  // The program: up to the closing quote, or to the first blank.
  std::string program;
  if (s[i] == '"') {
    const std::size_t close = s.find('"', i + 1);
    program = s.substr(i + 1, (close == std::string_view::npos ? n : close) - i - 1);
    i = close == std::string_view::npos ? n : close + 1;
  } else {
    while (i < n && !IsBlank(s[i])) program += s[i++];
  }
  words.push_back(std::move(program));

  for (;;) {
    while (i < n && IsBlank(s[i])) ++i;
    if (i == n) return words;
    std::string word;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(s[i]))) {
      if (s[i] == '\\') {
        std::size_t j = i;
        while (j < n && s[j] == '\\') ++j;
        const std::size_t count = j - i;
        if (j < n && s[j] == '"') {
          word.append(count / 2, '\\');
          if (count % 2 == 1) {
            word += '"';
            ++j;
          }
        } else {
          word.append(count, '\\');
        }
        i = j;
      } else if (s[i] == '"') {
        if (quoted && i + 1 < n && s[i + 1] == '"') {
          word += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        word += s[i++];
      }
    }
    words.push_back(std::move(word));
  }
}

void ProcessUtilities::ShellDoc(const std::string& strFile) {
  platform::Machine& machine = platform::ThisMachine();
  if (machine.OpenDocument(strFile) == platform::OpenOutcome::NoAssociation) machine.ChooseApplication(strFile);
}

int16_t ProcessUtilities::ShellWait(const std::string& strCommand, const std::string& strPath) {
  const platform::ChildRun run = platform::RunChild(platform::Processes(), SplitCommandLine(strCommand),
                                                    WorkingFolder(strPath), false, std::nullopt);
  return run.started && run.status.state == platform::ChildStatus::Ended ? 0 : -1;
}

int32_t ProcessUtilities::StartProcess(const std::string& strCommand, const std::string& strPath) {
  platform::ProcessControl& processes = platform::Processes();
  const int pid = processes.Spawn(SplitCommandLine(strCommand), WorkingFolder(strPath), false);
  if (pid > 0) processes.Release(pid);  // reaped in the background when it ends
  return pid > 0 ? pid : 0;
}

int32_t ProcessUtilities::GetPocID() { return platform::Processes().CurrentId(); }

bool ProcessUtilities::CheckIfProcessIDIsRunning(int32_t lngProcessID) {
  return lngProcessID > 0 && platform::Processes().IsRunning(lngProcessID);
}

bool ProcessUtilities::KillProcess(int32_t hProcessID, int32_t /*ExitCode*/) {
  platform::ProcessControl& processes = platform::Processes();
  // 0 and -1 would address whole groups of processes, 1 is init; this program never ends itself.
  if (hProcessID <= 1 || hProcessID == processes.CurrentId()) return false;
  return processes.IsRunning(hProcessID) && processes.EndProcess(hProcessID);
}

}  // namespace kestrun
