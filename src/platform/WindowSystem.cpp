#include "platform/WindowSystem.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "BuildConfig.h"

namespace kestrun::platform {
namespace {

// Used until a front end installs its own: message boxes go to standard error, input boxes cancel.
class FallbackWindowSystem final : public WindowSystem {
 public:
  int MsgBox(const std::string& prompt, int buttons, const std::string&) override {
    std::cerr << prompt << std::endl;
    return (buttons & 0x7) == mb::YesNo ? mb::AnswerYes : mb::AnswerOk;
  }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override { return {}; }
  void DoEvents() override {}
  void WaitFor(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
  WorkArea GetWorkArea() override { return {}; }
};

FallbackWindowSystem g_fallback;
WindowSystem* g_installed = nullptr;
AppFacts g_facts;
bool g_factsReady = false;
std::string g_tail;

[[noreturn]] void DefaultEnd(int exitStatus) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  ::_exit(exitStatus);
}
EndProgramAction g_endAction = &DefaultEnd;

void FillFacts(const std::filesystem::path& exe) {
  g_facts.Title = "Kestrun";
  g_facts.EXEName = exe.empty() ? "kestrun" : exe.stem().string();
  g_facts.Path = exe.has_parent_path() ? exe.parent_path().string() : std::filesystem::current_path().string();
  g_facts.Major = KESTRUN_VERSION_MAJOR;
  g_facts.Minor = KESTRUN_VERSION_MINOR;
  g_facts.Revision = KESTRUN_VERSION_PATCH;
  g_facts.CompanyName = KESTRUN_COMPANY;
  g_facts.Comments = KESTRUN_COMMENTS;
  g_facts.LegalCopyright = KESTRUN_LEGAL_COPYRIGHT;
  g_facts.WebAddress = KESTRUN_WEB_ADDRESS;
  g_facts.FileDescription = "Kestrun";
  g_facts.ProductName = "Kestrun";
  g_factsReady = true;
}

}  // namespace

WindowSystem& Windows() { return g_installed ? *g_installed : g_fallback; }

WindowSystem* InstallWindowSystem(WindowSystem* ws) {
  WindowSystem* before = g_installed;
  g_installed = ws;
  return before;
}

void InitAppFacts(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) {
    exe = argv0 ? std::filesystem::absolute(argv0, ec) : std::filesystem::path();
  }
  FillFacts(exe);
}

std::string TitleWithVersion(const AppFacts& app) {
  char version[48];
  std::snprintf(version, sizeof version, " V%d.%02d.%02d", app.Major, app.Minor, app.Revision);
  return app.Title + version;
}

const AppFacts& App() {
  if (!g_factsReady) InitAppFacts(nullptr);
  return g_facts;
}

const std::string& CommandTail() { return g_tail; }
void SetCommandTail(std::string tail) { g_tail = std::move(tail); }

void EndProgramAtOnce(int exitStatus) {
  g_endAction(exitStatus);
  DefaultEnd(exitStatus);  // an action that returns still ends the program
}

EndProgramAction SetEndProgramAction(EndProgramAction action) {
  EndProgramAction before = g_endAction;
  g_endAction = action ? action : &DefaultEnd;
  return before;
}

}  // namespace kestrun::platform
