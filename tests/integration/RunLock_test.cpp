// Runs of one settings store overlap (a cron entry whose last run is still downloading): each package
// is fetched once, the later run waits for the earlier, and one that may not wait long enough gives up.
#include <gtest/gtest.h>

#include <string>

#include "support/FtpServer.h"
#include "support/KestrunProgram.h"

namespace kestrun {
namespace {

TEST(RunLock, OverlappingRunsFetchEachPackageOnce) {
  KESTRUN_REQUIRE_FTP_SERVER();
  KESTRUN_REQUIRE_PROGRAM();
  testing::Sandbox sandbox;
  sandbox.WriteFile("served/pub/sdat4301.exe", std::string(300000, 'x'));
  testing::FtpServerOptions options;
  options.root = sandbox.Root() / "served";
  options.rate = 100000;  // a download of about three seconds
  testing::FtpServer server(options);
  testing::WriteSettings(sandbox, {{"HostName", server.HostName()},
                                   {"RemotePath", "/pub"},
                                   {"AlternateHostName", server.HostName()},
                                   {"AlternateRemotePath", "/pub"}});
  sandbox.Folder("local");

  testing::KestrunProgram first(sandbox, "first"), impatient(sandbox, "impatient"), patient(sandbox, "patient");
  impatient.environment.push_back("KESTRUN_RUN_LOCK_WAIT=0.5");
  first.Start({});
  ASSERT_TRUE(first.WaitForOutput("Get sdat4301.exe")) << first.Out();
  patient.Start({});
  EXPECT_EQ(impatient.Run({}), 3);
  EXPECT_NE(impatient.Out().find("\nAnother run is still in progress\n"), std::string::npos) << impatient.Out();
  EXPECT_EQ(first.Wait(), 0) << first.Out();
  EXPECT_EQ(patient.Wait(), 0) << patient.Out();
  for (const testing::KestrunProgram* later : {&impatient, &patient}) {
    EXPECT_EQ(later->Out().find("Get sdat4301.exe"), std::string::npos) << later->Out();
  }
  EXPECT_EQ(testing::Sandbox::ReadFile(sandbox.Root() / "local" / "sdat4301.exe").size(), 300000u);
}

}  // namespace
}  // namespace kestrun
