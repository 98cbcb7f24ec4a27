// The FTP retrieval's own decisions, with a scripted FTP client in place of the window's: the outcomes
// a real server gives only with difficulty (a failed goodbye, an error inside the run, a client that
// passes names on unchecked) and what the window does with the client's events.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/Cancellation.h"
#include "platform/FtpClient.h"
#include "registry/RegUtilities.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/frmMain.h"
#include "util/RuntimeError.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Answers every request from its script; a download writes the name as the file's content.
class ScriptedFtpClient final : public platform::FtpClient {
 public:
  std::vector<std::string> names;
  std::vector<std::string> statuses;  // status texts raised during the listing
  std::vector<std::string> skipped;   // names reported skipped during the listing, as the client words them
  int16_t connect = 0, disconnect = 0;
  std::string throwOn;  // a download that raises a runtime error (53, file not found)
  std::vector<std::string> calls;

  void SetEvents(platform::FtpClientEvents* events) override { events_ = events; }
  void SetRemotePort(int) override {}
  void SetUserName(const std::string&) override {}
  void SetHostName(const std::string& host) override { calls.push_back("host " + host); }
  void SetPassiveMode(bool) override {}
  void SetTransferType(int16_t) override {}
  void SetConnectTimeout(std::chrono::milliseconds) override {}
  void SetStallTimeout(std::chrono::milliseconds) override {}
  void SetFlushToDisk(bool) override {}
  int16_t Connect() override { return connect; }
  int16_t ChangeDirectory(const std::string&) override { return 0; }
  int16_t GetFileList(const std::string&, bool) override {
    for (const auto& text : statuses) events_->FtpClient_Status(text);
    for (const auto& text : skipped) events_->FtpClient_NameSkipped(text);
    for (const auto& name : names) events_->FtpClient_FileList(name);
    return 0;
  }
  int16_t GetFile(const std::string& localFile, const std::string& remoteName) override {
    calls.push_back("get " + localFile);
    if (remoteName == throwOn) Raise(err::FileNotFound);
    events_->FtpClient_Progress(100);
    std::ofstream(localFile, std::ios::binary) << remoteName;
    return 0;
  }
  int16_t Disconnect() override { return disconnect; }
  std::string LastError() const override { return "421 Service not available"; }

 private:
  platform::FtpClientEvents* events_ = nullptr;
};

class FtpRetrievalTest : public ::testing::Test {
 protected:
  AppMain& Start(std::unique_ptr<ScriptedFtpClient> scripted) {
    platform::ResetCancel();
    client = scripted.get();
    app = std::make_unique<Application>("");
    app->AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
    app->AM().frm().SetFtpClient(std::move(scripted));
    AppMain& am = app->AM();
    am.HostName = "primary";
    am.RemotePath = "/pub";
    am.FileMask = "sdat*.exe";
    am.LocalPath = local.string() + "/";
    am.SDATsToKeep = 10;
    first_ = View().Lines().size();
    return am;
  }
  Lines Run() {
    app->AM().CheckForUpdates();
    const Lines all = View().Lines();
    return {all.begin() + static_cast<long>(first_), all.end()};
  }
  testing::HeadlessMainView& View() { return dynamic_cast<testing::HeadlessMainView&>(app->AM().frm().View()); }
  void TearDown() override {
    if (app) app->Terminate();
    platform::ResetCancel();
  }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  const fs::path local = sandbox.Folder("local");
  ScriptedFtpClient* client = nullptr;
  std::unique_ptr<Application> app;

 private:
  std::size_t first_ = 0;
};

TEST_F(FtpRetrievalTest, OutcomesOfTheCall) {
  const std::string none = "Latest download on this PC:  ()";
  const std::string get1 = "Get sdat1.exe " + local.string() + "/sdat1.exe";
  struct Row {
    const char* what;
    std::vector<std::string> names;
    int16_t disconnect;
    std::string throwOn;
    bool alternate;
    Lines lines;
    std::size_t boxes;
    std::string box;  // a piece of every error report
    bool failed;
    std::vector<std::string> statuses = {};  // raised by the client during the listing
    std::vector<std::string> skipped = {};
  };
  const Row rows[] = {
      // Names the client would not use are reported in the log, since they tell of the server rather
      // than of the moment; a status text is not.
      {"a goodbye the server does not confirm", {"sdat1.exe"}, 7, "", false,
       {none, "Connecting to primary", "cd /pub", "Get file list", "Skipping unsafe name: ../x.exe",
        "Skipped 12 unsafe names in all", get1, "sdat1.exe copied!", "Disconnect", "Unable to Disconnect!",
        "421 Service not available", "Removing old SDATs...", "Finished"},
       0, "", true, {"Getting the file list"}, {"Skipping unsafe name: ../x.exe", "Skipped 12 unsafe names in all"}},
      {"an error ends the call and the alternate is tried", {"sdat1.exe", "sdat2.exe"}, 0, "sdat1.exe", true,
       {none, "Connecting to primary", "cd /pub", "Get file list", get1, " ", none, "Connecting to alternate", "cd /pub",
        "Get file list", get1, "Removing old SDATs...", "Finished"},
       2, ".frmMain.GetUpdatesFTP: 53, ", true},
      {"names no client should pass on", {"../sdat1.exe", "sdat\\x.exe", "..", "sdat\x1b.exe", "sdat2.exe"}, 0, "", false,
       {none, "Connecting to primary", "cd /pub", "Get file list", "Skipping unsafe name: ../sdat1.exe",
        "Skipping unsafe name: sdat\\\\x.exe", "Skipping unsafe name: ..", "Skipping unsafe name: sdat\\x1B.exe",
        "Get sdat2.exe " + local.string() + "/sdat2.exe", "sdat2.exe copied!", "Disconnect", "Removing old SDATs...", "Finished"},
       0, "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto scripted = std::make_unique<ScriptedFtpClient>();
    scripted->names = row.names;
    scripted->disconnect = row.disconnect;
    scripted->throwOn = row.throwOn;
    scripted->statuses = row.statuses;
    scripted->skipped = row.skipped;
    fs::remove(sandbox.RegistryFile());
    ws.boxes.clear();
    AppMain& am = Start(std::move(scripted));
    if (row.alternate) am.AltHostName = "alternate", am.AltRemotePath = "/pub";
    EXPECT_EQ(Run(), row.lines);
    EXPECT_EQ(am.LastSourceFailed, row.failed);
    EXPECT_EQ(ws.boxes.size(), row.boxes);
    for (const auto& box : ws.boxes) EXPECT_NE(box.prompt.find(row.box), std::string::npos) << box.prompt;
    for (const auto& piece : View().Log()) {
      if (piece.text.rfind("Skip", 0) == 0 || piece.text.rfind("421 ", 0) == 0) {
        EXPECT_EQ(piece.color, platform::ColorRed) << piece.text;
      }
    }
    if (row.boxes == 0) {  // the progress bar ends full and hidden
      EXPECT_EQ(View().ProgressValue(), 100.0f);
      EXPECT_FALSE(View().ProgressVisible());
    }
    for (const auto& entry : fs::directory_iterator(sandbox.Root()))
      EXPECT_TRUE(entry.path() == local || entry.path().filename().string().rfind("registry.reg", 0) == 0) << entry.path();
    for (const auto& entry : fs::directory_iterator(local)) fs::remove(entry.path());
  }
  app->AM().frm().FtpClient_Status("Downloading sdat1.exe");
  EXPECT_EQ(View().StatusText(), "Downloading sdat1.exe");
}

}  // namespace
}  // namespace kestrun
