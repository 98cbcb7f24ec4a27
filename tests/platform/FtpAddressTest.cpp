#include <gtest/gtest.h>

#include "platform/FtpAddress.h"

namespace kestrun::platform {
namespace {

TEST(ParseFtpHostName, HostPortAndIpv6) {
  const struct {
    const char* input;
    int defaultPort;
    const char* authority;  // nullptr: rejected
  } cases[] = {
      {"ftp.example.com", 2121, "ftp.example.com:2121"},
      {"ftp.example.com:2121", 990, "ftp.example.com:2121"},  // the host's port wins
      {"  ftp.example.com  ", 21, "ftp.example.com:21"},
      {"127.0.0.1:65535", 21, "127.0.0.1:65535"},
      {"[::1]:2121", 21, "[::1]:2121"},
      {"[2001:db8::7]:21", 99, "[2001:db8::7]:21"},
      {"2001:db8::7", 21, "[2001:db8::7]:21"},
      {"::ffff:192.0.2.1", 21, "[::ffff:192.0.2.1]:21"},
      {"", 21, nullptr},
      {"host:", 21, nullptr},
      {"host:0", 21, nullptr},
      {"host:65536", 21, nullptr},
      {"host:21x", 21, nullptr},
      {"host", 0, nullptr},
      {"[::1", 21, nullptr},
      {"[::1]x", 21, nullptr},
      {"[host]", 21, nullptr},
      {"a:b:c", 21, nullptr},  // colons and hex digits alone make no address
      {"[1:2:3:4:5:6:7:8:9]", 21, nullptr},
      {"1::2::3", 21, nullptr},
      {"ftp://host", 21, nullptr},
      {"user@host", 21, nullptr},
      {"host/path", 21, nullptr},
      {"ho st", 21, nullptr},
      {"host\r\nQUIT", 21, nullptr},
      {"%68ost", 21, nullptr},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseFtpHostName(c.input, c.defaultPort);
    if (c.authority) {
      ASSERT_TRUE(parsed) << c.input;
      EXPECT_EQ(parsed->Authority(), c.authority) << c.input;
    } else {
      EXPECT_FALSE(parsed) << c.input << " gave " << parsed->Authority();
    }
  }
}

}  // namespace
}  // namespace kestrun::platform
