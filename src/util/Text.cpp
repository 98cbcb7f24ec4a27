#include "util/Text.h"

namespace kestrun::text {

char32_t UpperChar(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  return c;
}

char32_t LowerChar(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  return c;
}

namespace {
template <char32_t (*Map)(char32_t)>
std::string MapCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t pos = 0;
  while (pos < s.size()) {
    std::size_t start = pos;
    char32_t c = NextChar(s, pos);
    char32_t m = Map(c);
    if (m == c) {
      out.append(s.substr(start, pos - start));  // keeps invalid bytes as they were
    } else {
      AppendChar(out, m);
    }
  }
  return out;
}
}  // namespace

std::string UCase(std::string_view s) { return MapCase<UpperChar>(s); }
std::string LCase(std::string_view s) { return MapCase<LowerChar>(s); }

char32_t NextChar(std::string_view s, std::size_t& pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(pos);
  std::size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
  if (len <= 1 || pos + len > s.size()) {
    ++pos;
    return b0;
  }
  char32_t c = b0 & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i) {
    unsigned char b = byte(pos + i);
    if ((b >> 6) != 0x2) {
      ++pos;
      return b0;
    }
    c = (c << 6) | (b & 0x3F);
  }
  pos += len;
  return c;
}

void AppendChar(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::size_t CharCount(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < s.size(); ++n) NextChar(s, pos);
  return n;
}

std::size_t ByteOffset(std::string_view s, std::size_t chars) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < chars && pos < s.size(); ++i) NextChar(s, pos);
  return pos;
}

std::string Left(std::string_view s, std::size_t chars) { return std::string(s.substr(0, ByteOffset(s, chars))); }

std::string Right(std::string_view s, std::size_t chars) {
  std::size_t n = CharCount(s);
  return chars >= n ? std::string(s) : std::string(s.substr(ByteOffset(s, n - chars)));
}

std::string Mid(std::string_view s, std::size_t start1, std::size_t chars) {
  if (start1 < 1) start1 = 1;
  std::size_t from = ByteOffset(s, start1 - 1);
  std::string_view rest = s.substr(from);
  if (chars == std::string_view::npos) return std::string(rest);
  return std::string(rest.substr(0, ByteOffset(rest, chars)));
}

}  // namespace kestrun::text
