// The libcurl FTP client against the test FTP server on 127.0.0.1: what only the client shows. How a run
// copes with transfers that break off is in FtpRun_test.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/Cancellation.h"
#include "platform/CurlFtpClient.h"
#include "support/FolderNames.h"
#include "support/FtpServer.h"
#include "support/Sandbox.h"
#include "util/StringUtilities.h"

namespace kestrun::platform {
namespace {

namespace fs = std::filesystem;
using kestrun::testing::FtpServer;
using kestrun::testing::FtpServerOptions;
using Names = std::vector<std::string>;

class RecordingEvents : public FtpClientEvents {
 public:
  void FtpClient_FileList(const std::string& name) override { names.push_back(name); }
  void FtpClient_Progress(int16_t percent) override {
    progress.push_back(percent);
    if (onProgress) onProgress(percent);
  }
  void FtpClient_Status(const std::string&) override {}
  void FtpClient_NameSkipped(const std::string& text) override { skipped.push_back(text); }

  Names names, skipped;
  std::vector<int16_t> progress;
  std::function<void(int16_t)> onProgress;
};

class FtpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KESTRUN_REQUIRE_FTP_SERVER();
    ResetCancel();
  }
  void TearDown() override { ResetCancel(); }

  std::unique_ptr<FtpServer> Serve(const std::function<void(FtpServerOptions&)>& adjust = nullptr) {
    FtpServerOptions options;
    if (adjust) adjust(options);
    options.root = root_;
    return std::make_unique<FtpServer>(options);
  }
  // A client set up as the program sets it up, with the program's mask matcher and short time-outs.
  std::unique_ptr<CurlFtpClient> NewClient(const FtpServer& server) {
    auto client = std::make_unique<CurlFtpClient>(
        [](const std::string& name, const std::string& mask) { return StringUtilities().MatchesFileMask(name, mask); });
    client->SetEvents(&events_);
    client->SetRemotePort(21);
    client->SetUserName("anonymous");
    client->SetHostName(server.HostName());
    client->SetPassiveMode(true);
    client->SetConnectTimeout(std::chrono::seconds(5));
    client->SetStallTimeout(std::chrono::seconds(2));
    return client;
  }
  std::unique_ptr<CurlFtpClient> Connected(const FtpServer& server) {
    auto client = NewClient(server);
    EXPECT_EQ(client->Connect(), 0);
    events_ = {};
    return client;
  }
  std::string LocalPath(const std::string& name) const { return (local_ / name).string(); }
  std::set<std::string> LocalNames() const { return kestrun::testing::NamesIn(local_); }

  kestrun::testing::Sandbox sandbox_;
  const fs::path root_ = sandbox_.Folder("served");
  const fs::path local_ = sandbox_.Folder("local");
  RecordingEvents events_;
};

TEST_F(FtpClientTest, LoginAcceptedOrRefused) {
  for (bool refuse : {false, true}) {
    auto server = Serve([&](FtpServerOptions& o) { o.refuseLogin = refuse; });
    auto client = NewClient(*server);
    EXPECT_EQ(client->Connect() != 0, refuse);
    EXPECT_EQ(client->LastError(), refuse ? "530 Login refused." : "") << "the server's own words";
    EXPECT_EQ(client->ChangeDirectory("/") != 0, refuse) << "no requests without a login";
    EXPECT_EQ(client->Disconnect() != 0, refuse);
    if (refuse) continue;
    EXPECT_NE(client->Disconnect(), 0) << "nothing left to close";
    EXPECT_EQ(client->LastError(), "Not connected");
  }
  CurlFtpClient client(nullptr);
  for (const char* host : {"", "host/path", "user@127.0.0.1"}) {
    client.SetHostName(host);
    EXPECT_EQ(client.Connect(), ftpstatus::BadHostName) << host;
  }
}

// A client left idle for longer than the stall time (a big rename, a long listing) still says its
// goodbye, though that request has no command of its own to send at first.
TEST_F(FtpClientTest, IdleLongerThanTheStallTime) {
  auto server = Serve();
  auto client = Connected(*server);
  ASSERT_EQ(client->GetFileList("*", false), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(client->Disconnect(), 0) << client->LastError();
}

TEST_F(FtpClientTest, ChangeDirectoryIsVerifiedAndKeepsAbsolutePaths) {
  for (const char* file : {"pub/sdat/in-sdat.exe", "pub/in-pub.exe", "sub/pub/in-sub-pub.exe", "in-root.exe"})
    sandbox_.WriteFile("served/" + std::string(file), "x");
  auto server = Serve();
  // From the login folder: the steps, whether the last succeeds, and the listing seen afterwards.
  const struct {
    Names steps;
    bool lastOk;
    std::string listed;
  } cases[] = {
      {{"/pub"}, true, "in-pub.exe"},
      {{"pub", "sdat"}, true, "in-sdat.exe"},
      {{"pub/sdat", ".."}, true, "in-pub.exe"},
      {{"sub", "/pub"}, true, "in-pub.exe"},  // absolute stays absolute, not sub/pub
      {{"sub", "pub"}, true, "in-sub-pub.exe"},
      {{"pub", "missing"}, false, "in-pub.exe"},  // a failed change leaves the folder as it was
      {{"/pub", "/sub/missing"}, false, "in-pub.exe"},
      {{"in-root.exe"}, false, "in-root.exe"},  // a file is no folder
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps.back());
    auto client = Connected(*server);
    int16_t status = 0;
    for (const auto& step : c.steps) status = client->ChangeDirectory(step);
    EXPECT_EQ(status == 0, c.lastOk);
    ASSERT_EQ(client->GetFileList("*.exe", false), 0);
    EXPECT_EQ(events_.names, Names{c.listed});
  }
}

// Names that could leave the local folder or garble the log are dropped and reported, with MLSD or
// without it; only the first ten are reported one by one.
TEST_F(FtpClientTest, HostileListingNamesAreDroppedAndReported) {
  const std::string listing = std::string("good1.exe\r\n../evil1.exe\r\n/etc/evil2.exe\r\nsub/evil3.exe\r\n") +
                              "..\\evil4.exe\r\nevil5\r.exe\r\nevil6\x1b.exe\r\n.\r\n..\r\n\r\n" +
                              std::string(300, 'e') + ".exe\r\ngood2.exe";
  const fs::path listingFile = sandbox_.WriteFile("listing.bin", listing);
  Names skipped;
  for (const char* name :
       {"../evil1.exe", "/etc/evil2.exe", "sub/evil3.exe", "..\\\\evil4.exe", "evil5\\r.exe", "evil6\\x1B.exe"})
    skipped.push_back("Skipping unsafe name: " + std::string(name));
  skipped.push_back("Skipping unsafe name: " + std::string(80, 'e') + "...");
  for (bool noMlsd : {false, true}) {
    SCOPED_TRACE(noMlsd ? "NLST" : "MLSD");
    auto server = Serve([&](FtpServerOptions& o) { o.listingFile = listingFile, o.noMlsd = noMlsd; });
    auto client = Connected(*server);
    ASSERT_EQ(client->GetFileList("*.exe", false), 0);
    EXPECT_EQ(events_.names, (Names{"good1.exe", "good2.exe"}));
    EXPECT_EQ(events_.skipped, skipped);
  }
}

// The file list holds files only. With MLSD each entry says what it is; without it, a folder shows in
// LIST and is confirmed by a change into it. A link counts as what it leads to; a file whose name is the
// tail of a folder's name ("old sdat4301.exe") stays a file.
TEST_F(FtpClientTest, ListingLeavesOutFolders) {
  sandbox_.WriteFile("served/sdat4301.exe", "x");
  sandbox_.WriteFile("served/sdat9999.exe/inside.exe", "x");
  sandbox_.Folder("served/old sdat4301.exe");
  fs::create_symlink("sdat4301.exe", root_ / "sdat4302.exe");
  fs::create_directory_symlink("sdat9999.exe", root_ / "sdat9998.exe");
  for (bool noMlsd : {false, true}) {
    SCOPED_TRACE(noMlsd ? "NLST" : "MLSD");
    auto server = Serve([&](FtpServerOptions& o) { o.noMlsd = noMlsd; });
    auto client = Connected(*server);
    ASSERT_EQ(client->GetFileList("sdat*.exe", false), 0);
    std::sort(events_.names.begin(), events_.names.end());
    EXPECT_EQ(events_.names, (Names{"sdat4301.exe", "sdat4302.exe"}));
    // The folder checks leave the client where it was.
    EXPECT_EQ(client->GetFile(LocalPath("sdat4302.exe"), "sdat4302.exe"), 0);
    EXPECT_EQ(client->Disconnect(), 0);
  }
}

// A handler that throws takes the temporary file with it and leaves the older file as it was.
TEST_F(FtpClientTest, DownloadIsByteExactInPassiveAndActiveModeAndSafeFromItsHandlers) {
  const std::string data = kestrun::testing::RandomBytes(3 * 1024 * 1024 + 17, 42);
  sandbox_.WriteFile("served/sdat4301.exe", data);
  auto server = Serve();
  for (bool passive : {true, false}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    auto client = NewClient(*server);
    client->SetPassiveMode(passive);
    ASSERT_EQ(client->Connect(), 0);
    sandbox_.WriteFile("local/sdat4301.exe", "an older file under the same name");
    events_.progress.clear();
    client->SetTransferType(ftptype::Binary);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(client->GetFile(LocalPath("sdat4301.exe"), "sdat4301.exe"), 0);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_TRUE(kestrun::testing::Sandbox::ReadFile(local_ / "sdat4301.exe") == data);
    EXPECT_EQ(LocalNames(), std::set<std::string>{"sdat4301.exe"}) << "no temporary file left";
    ASSERT_GE(events_.progress.size(), 2u);
    EXPECT_EQ(events_.progress.front(), 0);
    EXPECT_EQ(events_.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(events_.progress.begin(), events_.progress.end()));
    EXPECT_LE(static_cast<long>(events_.progress.size()), ms.count() / 50 + 3) << "about 20 progress events a second";
    EXPECT_EQ(client->Disconnect(), 0);
  }
  auto client = Connected(*server);
  sandbox_.WriteFile("local/sdat4301.exe", "older");
  events_.onProgress = [](int16_t percent) {
    if (percent == 0) throw std::runtime_error("handler failed");
  };
  EXPECT_THROW(client->GetFile(LocalPath("sdat4301.exe"), "sdat4301.exe"), std::runtime_error);
  EXPECT_EQ(LocalNames(), std::set<std::string>{"sdat4301.exe"});
  EXPECT_EQ(kestrun::testing::Sandbox::ReadFile(local_ / "sdat4301.exe"), "older");
  // A handler calling back into the client is refused rather than corrupting the request under way.
  int16_t nested = 0;
  events_.onProgress = [&](int16_t) { nested = client->Disconnect(); };
  EXPECT_EQ(client->GetFile(LocalPath("sdat4301.exe"), "sdat4301.exe"), 0);
  EXPECT_EQ(nested, ftpstatus::Busy);
}

// A denied file fails with the server's words and the next succeeds on the same connection, also where
// the server refuses SIZE; a missing file fails, and names that would leave the local folder are refused.
TEST_F(FtpClientTest, DeniedMissingOrUnsafeFilesFailAndTheNextSucceeds) {
  sandbox_.WriteFile("served/sdat4300.exe", "denied");
  sandbox_.WriteFile("served/sdat4301.exe", "allowed");
  sandbox_.WriteFile("served/sdat4302.exe", "allowed too");
  const struct {
    std::string local, remote;
    int16_t status;
  } unsafe[] = {
      {LocalPath("x.exe"), "../sdat4301.exe", ftpstatus::UnsafeName},
      {LocalPath("x.exe"), "a\rb", ftpstatus::UnsafeName},
      {LocalPath(".."), "sdat4301.exe", ftpstatus::UnsafeName},
      {LocalPath("missing/x.exe"), "sdat4301.exe", ftpstatus::LocalFileError},
  };
  for (bool refuseSize : {false, true}) {
    SCOPED_TRACE(refuseSize ? "SIZE refused" : "SIZE answered");
    fs::remove_all(local_);
    fs::create_directory(local_);
    auto server = Serve([&](FtpServerOptions& o) { o.deny = {"sdat4300.exe"}, o.refuseSize = refuseSize; });
    auto client = Connected(*server);
    EXPECT_NE(client->GetFile(LocalPath("sdat4300.exe"), "sdat4300.exe"), 0);
    EXPECT_EQ(client->LastError(), "550 Permission denied.");
    for (const auto& c : unsafe) EXPECT_EQ(client->GetFile(c.local, c.remote), c.status) << c.local << " " << c.remote;
    EXPECT_TRUE(LocalNames().empty());
    EXPECT_TRUE(fs::exists(root_ / "sdat4301.exe"));
    for (const char* name : {"sdat4301.exe", "sdat4302.exe"})
      EXPECT_EQ(client->GetFile(LocalPath(name), name), 0) << name;
    EXPECT_EQ(LocalNames(), (std::set<std::string>{"sdat4301.exe", "sdat4302.exe"}));
    EXPECT_EQ(kestrun::testing::Sandbox::ReadFile(local_ / "sdat4302.exe"), "allowed too");
    EXPECT_EQ(client->GetFile(LocalPath("missing.exe"), "missing.exe"), CURLE_REMOTE_FILE_NOT_FOUND);
    EXPECT_EQ(client->ConnectionsOpened(), 1);
    EXPECT_EQ(client->Disconnect(), 0);
  }
}

}  // namespace
}  // namespace kestrun::platform
