#include "platform/Text.h"

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
    // A byte that is not UTF-8 stays as it was: read as Latin-1 it would be mapped into a character of
    // two bytes (0xE9 into "É"), changing the text's length and bytes.
    const bool stray = pos - start == 1 && c >= 0x80;
    char32_t m = stray ? c : Map(c);
    if (m == c) {
      out.append(s.substr(start, pos - start));
    } else {
      AppendChar(out, m);
    }
  }
  return out;
}
}  // namespace

std::string UCase(std::string_view s) { return MapCase<UpperChar>(s); }
std::string LCase(std::string_view s) { return MapCase<LowerChar>(s); }

// Well-formed UTF-8 as the Unicode standard defines it (its table of well-formed byte sequences): the
// second byte's range depends on the first, which rules out overlong forms (C0, C1, E0 80..9F,
// F0 80..8F), the surrogates U+D800..U+DFFF (ED A0..BF) and anything above U+10FFFF (F4 90.., F5..FF).
char32_t NextChar(std::string_view s, std::size_t& pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = byte(pos);
  std::size_t len = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (b0 < 0x80) {
    ++pos;
    return b0;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  }
  if (len == 0 || pos + len > s.size() || byte(pos + 1) < low || byte(pos + 1) > high) {
    ++pos;
    return b0;
  }
  char32_t c = b0 & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i) {
    const unsigned char b = byte(pos + i);
    if ((b >> 6) != 0x2) {
      ++pos;
      return b0;
    }
    c = (c << 6) | (b & 0x3F);
  }
  pos += len;
  return c;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t start = pos;
    NextChar(s, pos);
    // A byte that decodes as itself is well-formed only when it is ASCII.
    if (pos - start == 1 && static_cast<unsigned char>(s[start]) >= 0x80) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool HasControlCharacter(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (IsAsciiControl(c)) return true;
    if (c == 0xC2 && i + 1 < s.size()) {
      const auto next = static_cast<unsigned char>(s[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
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

std::string WithLineFeeds(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
    out += s[i];
  }
  return out;
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
