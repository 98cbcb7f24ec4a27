#include "platform/FtpListing.h"

#include <algorithm>
#include <cstring>

#include "platform/Text.h"

namespace kestrun::platform {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y && !(x >= 'A' && x <= 'Z' && x + 32 == y) && !(y >= 'A' && y <= 'Z' && y + 32 == x)) return false;
  }
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
    if (EqualsNoCase(text.substr(i, part.size()), part)) return true;
  return false;
}

// The kind an MLSD type fact names. Links are "OS.unix=slink:target" or "OS.unix=symlink" on servers
// that do not follow them; where the target leads is not shown.
RemoteEntryKind TypeFactKind(std::string_view value) {
  if (EqualsNoCase(value, "file")) return RemoteEntryKind::File;
  if (EqualsNoCase(value, "dir") || EqualsNoCase(value, "cdir") || EqualsNoCase(value, "pdir"))
    return RemoteEntryKind::Folder;
  if (ContainsNoCase(value, "link")) return RemoteEntryKind::Unknown;
  return RemoteEntryKind::Other;
}

}  // namespace

RemoteNameKind ClassifyRemoteName(std::string_view name) {
  if (name.empty()) return RemoteNameKind::Empty;
  if (name == "." || name == "..") return RemoteNameKind::DotEntry;
  if (name.size() > kMaxFileNameBytes || name.find_first_of("/\\") != std::string_view::npos ||
      text::HasControlCharacter(name))
    return RemoteNameKind::Unsafe;
  return RemoteNameKind::Bare;
}

std::string PrintableName(std::string_view name, std::size_t maxBytes) {
  static const char* const hex = "0123456789ABCDEF";
  std::string out;
  out.reserve(std::min(name.size(), maxBytes) + 8);
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (out.size() >= maxBytes) {
      out += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(name[i]);
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (text::IsAsciiControl(c)) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 0xf];
        } else if (c == 0xC2 && i + 1 < name.size() && (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80) {
          // A C1 control (U+0080 to U+009F), such as the terminal's one-character escape U+009B.
          const auto c1 = static_cast<unsigned char>(name[++i]);
          out += "\\u00";
          out += hex[c1 >> 4];
          out += hex[c1 & 0xf];
        } else {
          out += name[i];
        }
    }
  }
  return out;
}

MlsdEntry ParseMlsdLine(std::string_view line) {
  const std::size_t blank = line.find(' ');
  const std::string_view facts = line.substr(0, blank);
  MlsdEntry entry{RemoteEntryKind::Unknown,
                  blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1)};
  std::size_t start = 0;
  while (start < facts.size()) {
    std::size_t end = facts.find(';', start);
    if (end == std::string_view::npos) end = facts.size();
    const std::string_view fact = facts.substr(start, end - start);
    const std::size_t equals = fact.find('=');
    if (equals != std::string_view::npos && EqualsNoCase(fact.substr(0, equals), "type"))
      entry.kind = TypeFactKind(fact.substr(equals + 1));
    start = end + 1;
  }
  return entry;
}

RemoteEntryKind ListLineKind(std::string_view line) {
  if (line.empty()) return RemoteEntryKind::File;
  if (line.front() == 'd') return RemoteEntryKind::Folder;
  if (line.front() == 'l') return RemoteEntryKind::Unknown;
  if (text::IsDigit(line.front()) && line.find(" <DIR> ") != std::string_view::npos) return RemoteEntryKind::Folder;
  return RemoteEntryKind::File;
}

// The line buffer holds one byte more than the longest line wanted and one for a CR before the LF;
// anything longer is cut, so its tail need not be kept.
NameListParser::NameListParser(LineHandler onLine, std::size_t maxLineBytes)
    : onLine_(std::move(onLine)), maxLineBytes_(maxLineBytes) {
  line_.reserve(maxLineBytes_ + 2);
}

void NameListParser::Feed(const char* data, std::size_t size) {
  while (size > 0) {
    const auto* lf = static_cast<const char*>(std::memchr(data, '\n', size));
    const std::size_t take = lf ? static_cast<std::size_t>(lf - data) : size;
    const std::size_t room = maxLineBytes_ + 2 - line_.size();
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
  if (line.size() > maxLineBytes_) {
    tooLong = true;
    line = line.substr(0, maxLineBytes_);
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
