#include "platform/FtpListing.h"

#include <algorithm>
#include <cstring>

namespace kestrun::platform {
namespace {

// The line buffer holds one byte more than the longest name and one for a CR before the LF; anything
// longer is a name no local file system takes, so its tail need not be kept.
constexpr std::size_t kLineKeep = kMaxFileNameBytes + 2;

bool IsControlByte(unsigned char c) { return c < 0x20 || c == 0x7f; }

}  // namespace

RemoteNameKind ClassifyRemoteName(std::string_view name) {
  if (name.empty()) return RemoteNameKind::Empty;
  if (name == "." || name == "..") return RemoteNameKind::DotEntry;
  if (name.size() > kMaxFileNameBytes) return RemoteNameKind::Unsafe;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c == '/' || c == '\\' || IsControlByte(c)) return RemoteNameKind::Unsafe;
    // The C1 control characters U+0080 to U+009F, as UTF-8.
    if (c == 0xc2 && i + 1 < name.size()) {
      const auto next = static_cast<unsigned char>(name[i + 1]);
      if (next >= 0x80 && next <= 0x9f) return RemoteNameKind::Unsafe;
    }
  }
  return RemoteNameKind::Bare;
}

std::string PrintableName(std::string_view name, std::size_t maxBytes) {
  static const char* const hex = "0123456789ABCDEF";
  std::string out;
  out.reserve(std::min(name.size(), maxBytes) + 8);
  for (char ch : name) {
    if (out.size() >= maxBytes) {
      out += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (IsControlByte(c)) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 0xf];
        } else {
          out += ch;
        }
    }
  }
  return out;
}

NameListParser::NameListParser(LineHandler onLine) : onLine_(std::move(onLine)) { line_.reserve(kLineKeep); }

void NameListParser::Feed(const char* data, std::size_t size) {
  while (size > 0) {
    const auto* lf = static_cast<const char*>(std::memchr(data, '\n', size));
    const std::size_t take = lf ? static_cast<std::size_t>(lf - data) : size;
    const std::size_t room = kLineKeep - line_.size();
    if (take > room) tooLong_ = true;
    line_.append(data, std::min(take, room));
    if (!lf) return;
    Deliver();
    data = lf + 1;
    size -= take + 1;
  }
}

void NameListParser::Finish() {
  if (!line_.empty() || tooLong_) Deliver();
}

void NameListParser::Deliver() {
  std::string_view line = line_;
  bool tooLong = tooLong_;
  if (!tooLong && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > kMaxFileNameBytes) {
    tooLong = true;
    line = line.substr(0, kMaxFileNameBytes);
  }
  // Start the next line afresh even when the handler throws.
  struct Restart {
    NameListParser* parser;
    ~Restart() {
      parser->line_.clear();
      parser->tooLong_ = false;
    }
  } restart{this};
  onLine_(line, tooLong);
}

}  // namespace kestrun::platform
