#pragma once
// Update runs with no driver, controller or window behind them: the run alone, a recording window, its
// settings, a local folder and a store of their own. The source (a folder, a scripted or a real FTP
// client) is the test's.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/Cancellation.h"
#include "registry/RegUtilities.h"
#include "support/RecordingRunWindow.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "update/UpdateRun.h"
#include "util/FileSystemObject.h"

namespace kestrun::testing {

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
