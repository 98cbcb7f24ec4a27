#pragma once
// Update runs with no driver, controller or window behind them: the run alone, a recording window, its
// settings, a local folder and a store of their own. The source (a folder, a scripted or a real FTP
// client) is the test's.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Cancellation.h"
#include "platform/RunWindow.h"
#include "platform/WindowSystem.h"
#include "registry/RegUtilities.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "update/UpdateRun.h"
#include "util/FileSystemObject.h"

namespace kestrun::testing {

// The main window around an update run: keeps each log line with its colour, the status text and the
// progress bar, and handles pending messages after each line as the window does. The run is stopped once
// `stopWhen` says so (the user closed the window then) or the program was asked to stop.
class RecordingRunWindow : public platform::RunWindow {
 public:
  struct Line {
    std::string text;
    int32_t color;
  };

  void AddText(std::string strText, int32_t Color) override {
    if (!strText.empty()) log.push_back({std::move(strText), Color});
    platform::Windows().DoEvents();
  }
  void UpdateStatusBar(const std::string& strText) override { status = strText; }
  void ShowProgress(bool visible) override { progressVisible = visible; }
  void SetProgress(float percent) override { progress = percent; }
  bool RunStopped() const override {
    if (!stopped && stopWhen) stopped = stopWhen();
    return stopped || platform::CancelRequested();
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const Line& line : log) lines.push_back(line.text);
    return lines;
  }
  std::string LastLine() const { return log.empty() ? std::string() : log.back().text; }
  // The colour of the first line with this text; -1 when there is none.
  int32_t ColorOf(const std::string& text) const {
    for (const Line& line : log) {
      if (line.text == text) return line.color;
    }
    return -1;
  }

  std::vector<Line> log;
  std::string status;
  bool progressVisible = false;
  float progress = 0;
  std::function<bool()> stopWhen;
  mutable bool stopped = false;
};

class UpdateRunFixture : public ::testing::Test {
 protected:
  inline static const std::string kDate = "2024-03-01 08.00.00";
  inline static const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun";

  void TearDown() override { platform::ResetCancel(); }

  // A fresh run; `here` are in the local folder (each holding "old " and its name), `recorded` is the
  // store's LatestUpdate ("" for none). The run's FTP client is made now, from the environment.
  update::RunSettings& Begin(const std::string& recorded, const std::vector<std::string>& here) {
    platform::ResetCancel();
    std::filesystem::remove_all(local);
    std::filesystem::remove(sandbox.RegistryFile());
    sandbox.Folder("local");
    for (const auto& name : here) sandbox.WriteFile("local/" + name, "old " + name);
    if (!recorded.empty()) {
      RegUtilities().SetKeyValue(kKey, "LatestUpdate", recorded);
      RegUtilities().SetKeyValue(kKey, "LatestUpdateDate", kDate);
    }
    ws.boxes.clear();
    ws.onDoEvents = nullptr;
    window = std::make_unique<RecordingRunWindow>();
    run = std::make_unique<update::UpdateRun>(*window);
    settings = update::RunSettings();
    settings.FileMask = "sdat*.exe", settings.LocalPath = local.string();  // the run adds the separator
    settings.SDATsToKeep = 10, settings.RegistryKey = kKey;
    run->Bind(&settings, CreateFileSystemObject());
    return settings;
  }
  std::vector<std::string> Run() {
    run->GetUpdates();
    return window->Lines();
  }
  static std::string Recorded() { return RegUtilities().GetKeyValue(kKey, "LatestUpdate", ""); }

  Sandbox sandbox;
  ScriptedWindowSystem ws;
  const std::filesystem::path local = sandbox.Root() / "local";
  update::RunSettings settings;
  std::unique_ptr<RecordingRunWindow> window;
  std::unique_ptr<update::UpdateRun> run;
};

}  // namespace kestrun::testing
