#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/Cancellation.h"
#include "registry/RegUtilities.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/HeadlessMainView.h"
#include "ui/frmMain.h"

namespace kestrun::testing {

// A scripted window system that also runs a test's hook at every pending-message pass, the one point
// where the user can act during a run.
class HookedWindowSystem : public ScriptedWindowSystem {
 public:
  std::function<void()> onDoEvents;
  void DoEvents() override {
    ScriptedWindowSystem::DoEvents();
    if (onDoEvents) onDoEvents();
  }
};

// One update run in copy mode, in-process: the driver and controller as a /Copy start builds them, with
// the settings put straight into the controller, a source folder, a local folder and a store of its own.
class UpdateRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetCancel();
    source = sandbox.Folder("source");
    local = sandbox.Folder("local");
  }
  void TearDown() override {
    ws.onDoEvents = nullptr;
    if (app) app->Terminate();
    app.reset();
    platform::ResetCancel();
  }

  AppMain& Start(const std::string& tail = "/Copy") {
    app = std::make_unique<Application>(tail);
    app->AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
    AppMain& am = app->AM();
    am.HowToCopy = 1;
    am.RemotePath = source.string();
    am.FileMask = "sdat*.exe";
    am.LocalPath = local.string();  // the run adds the trailing separator
    am.SDATsToKeep = 10;
    firstLine_ = View().Lines().size();
    return am;
  }

  // Runs the update and returns the log lines it wrote.
  std::vector<std::string> Run() {
    app->AM().CheckForUpdates();
    return RunLines();
  }
  std::vector<std::string> RunLines() {
    auto all = View().Lines();
    return {all.begin() + static_cast<std::ptrdiff_t>(firstLine_), all.end()};
  }

  ui::HeadlessMainView& View() { return dynamic_cast<ui::HeadlessMainView&>(app->AM().frm().View()); }

  // The colour the log line was written in; -1 when no such line was written.
  int32_t ColorOf(const std::string& line) {
    for (const auto& piece : View().Log()) {
      if (piece.text == line + "\r\n") return piece.color;
    }
    return -1;
  }

  static void Record(const std::string& name, const std::string& value) {
    RegUtilities().SetKeyValue(Application::AppRegKey(), name, value);
  }
  static std::string Recorded(const std::string& name) {
    return RegUtilities().GetKeyValue(Application::AppRegKey(), name, "<none>");
  }

  void Put(const std::filesystem::path& folder, const std::string& name, const std::string& content = {}) {
    sandbox.WriteFile(std::filesystem::relative(folder / name, sandbox.Root()).string(),
                      content.empty() ? "package " + name : content);
  }
  static std::set<std::string> Names(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
  }
  std::string LocalSlash() const { return local.string() + "/"; }
  std::string CopyLine(const std::filesystem::path& from, const std::string& name) const {
    return "copy " + (from / name).string() + " " + LocalSlash() + name;
  }

  Sandbox sandbox;
  HookedWindowSystem ws;
  std::filesystem::path source;
  std::filesystem::path local;
  std::unique_ptr<Application> app;

 private:
  std::size_t firstLine_ = 0;
};

}  // namespace kestrun::testing
