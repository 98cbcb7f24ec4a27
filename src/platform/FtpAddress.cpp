#include "platform/FtpAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <string_view>

#include "platform/Text.h"

namespace kestrun::platform {
namespace {

// Letters, digits, '-', '.', '_' and non-ASCII bytes (international names, which libcurl converts).
bool IsHostNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || text::IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_';
}

bool IsHostName(std::string_view s) {
  if (s.empty() || s.size() > 253) return false;
  for (char c : s)
    if (!IsHostNameChar(c)) return false;
  return true;
}

// The system's own parser decides: "a:b:c", a group too many or two "::" are no address.
bool IsIpv6Literal(std::string_view s) {
  if (s.empty() || s.size() >= INET6_ADDRSTRLEN) return false;
  in6_addr address{};
  return ::inet_pton(AF_INET6, std::string(s).c_str(), &address) == 1;
}

std::optional<uint16_t> ParsePort(std::string_view s) {
  if (s.empty() || s.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : s) {
    if (!text::IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<uint16_t>(value);
}

}  // namespace

std::string FtpAddress::Authority() const { return host + ":" + std::to_string(port); }

std::optional<FtpAddress> ParseFtpHostName(const std::string& hostName, int defaultPort) {
  const std::string_view text = kestrun::text::TrimBlanks(hostName);
  std::optional<uint16_t> port;
  if (defaultPort >= 1 && defaultPort <= 65535) port = static_cast<uint16_t>(defaultPort);

  std::string_view host = text;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = ParsePort(rest.substr(1));
      if (!port) return std::nullopt;
    }
    if (!IsIpv6Literal(host)) return std::nullopt;
    return FtpAddress{"[" + std::string(host) + "]", *port};
  }

  const std::size_t colon = text.find(':');
  if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) {
    // Two colons or more without brackets: an IPv6 address, which cannot carry a port this way.
    if (!IsIpv6Literal(text) || !port) return std::nullopt;
    return FtpAddress{"[" + std::string(text) + "]", *port};
  }
  if (colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = ParsePort(text.substr(colon + 1));
  }
  if (!port || !IsHostName(host)) return std::nullopt;
  return FtpAddress{std::string(host), *port};
}

}  // namespace kestrun::platform
