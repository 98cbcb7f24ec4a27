#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace kestrun::platform {

// Where to connect: the host as a URL needs it (an IPv6 address in brackets) and the port.
struct FtpAddress {
  std::string host;
  uint16_t port = 21;

  // "host:port", "[v6]:port": the authority part of an ftp:// URL.
  std::string Authority() const;
};

// Reads a host name setting: "name", "name:port", "a.b.c.d:port", "[v6]", "[v6]:port" or a bare IPv6
// address (two colons or more, no port). Blanks around it are ignored. A port in the host name wins
// over `defaultPort`. Nothing when the text cannot be an FTP host: empty, a port outside 1 to 65535,
// or characters that would change the meaning of the URL built from it ("/", "@", "?", "#", "%",
// blanks, control characters, ...).
std::optional<FtpAddress> ParseFtpHostName(const std::string& hostName, int defaultPort);

}  // namespace kestrun::platform
