#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrun::testing {

// How the test FTP server (tests/integration/ftp_server.py) behaves; by default it serves `root`
// read-only to anonymous users and behaves.
struct FtpServerOptions {
  std::filesystem::path root;
  bool refuseLogin = false;
  std::vector<std::string> deny;  // RETR of these names gets 550
  // Breaks the data connection of this file halfway: "426" (close, reply 426), "226" (close early,
  // reply 226), "reset" (TCP reset, reply 426), "close" (close, no reply at all).
  std::string dropFile;
  std::string dropMode = "426";
  std::string stallFile;  // sends `stallAfter` bytes of this file, then nothing, closing nothing
  int64_t stallAfter = 0;
  // Lists these CRLF-separated names in this order: NLST gives the file's raw bytes, MLSD and LIST a line
  // for each name (a folder where the served folder holds one of that name).
  std::filesystem::path listingFile;
  long manyNames = 0;       // lists this many generated names ("file0000000.dat", ...), streamed
  bool noMlsd = false;      // knows no MLSD (as vsftpd): names are listed with NLST
  bool refuseSize = false;  // SIZE gets 550; RETR's opening reply gives the byte count instead
  long rate = 0;            // bytes a second on each data connection (0: as fast as it can)
};

// The test FTP server as a child process on 127.0.0.1 and an ephemeral port, listening once constructed
// (or the constructor throws, after a limited wait) and killed by the destructor.
class FtpServer {
 public:
  explicit FtpServer(FtpServerOptions options);
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  // "127.0.0.1:<port>", a host name as the FTP client takes it.
  std::string HostName() const;
  // Ends the server at once (SIGKILL), as if it had died; its connections break.
  void Kill();

  // Whether the server can run here: /usr/bin/python3 imports pyftpdlib. Checked once.
  static bool Available();

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

// Bytes that differ from seed to seed, served as a package: a transfer that loses or repeats a piece shows.
std::string RandomBytes(std::size_t size, unsigned seed);

}  // namespace kestrun::testing

// Skips the current test when the test FTP server cannot run on this machine.
#define KESTRUN_REQUIRE_FTP_SERVER()                                                  \
  do {                                                                                \
    if (!::kestrun::testing::FtpServer::Available())                                  \
      GTEST_SKIP() << "/usr/bin/python3 cannot import pyftpdlib (python3-pyftpdlib)"; \
  } while (0)
