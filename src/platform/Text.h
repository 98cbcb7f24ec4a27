#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Text is UTF-8. Case mapping is locale-independent; it covers ASCII and Latin-1 and never changes the
// number of bytes, so positions found in a case-mapped copy hold in the original.
namespace kestrun::text {

std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
char32_t UpperChar(char32_t c);
char32_t LowerChar(char32_t c);

// Number of characters (code points); a stray byte that is not valid UTF-8 counts as one character.
std::size_t CharCount(std::string_view s);
// Byte offset of 0-based character index `chars` (s.size() when past the end).
std::size_t ByteOffset(std::string_view s, std::size_t chars);
// Decodes the character at byte offset `pos` and advances `pos` past it. A byte that does not start a
// well-formed sequence (overlong forms, surrogates and values above U+10FFFF are not) decodes as itself.
char32_t NextChar(std::string_view s, std::size_t& pos);
// Whether the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view s);
void AppendChar(std::string& out, char32_t c);

// ASCII character classes, the same in every locale: names, numbers and protocol lines here are ASCII
// where these are asked, and the C library's classes would count bytes above 127 in a Latin-1 locale.
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsAsciiAlnum(char c) { return IsDigit(c) || IsAsciiLetter(c); }
// The value of a hexadecimal digit (0 to 9, a to f, A to F); -1 for any other character.
constexpr int HexDigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
// A blank is a space or a tab.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
std::string_view TrimBlanks(std::string_view s);

// A control character of ASCII: C0 (below U+0020) or DEL.
constexpr bool IsAsciiControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
// Whether the text holds a control character: C0, DEL or C1 (U+0080 to U+009F, in UTF-8 0xC2 0x80 to
// 0xC2 0x9F). A name holding one would forge or garble a log line, a stored value or a terminal.
bool HasControlCharacter(std::string_view s);

// The text with every CR LF pair turned into a line feed, as a console or a stream writes lines; a CR
// or LF on its own stays.
std::string WithLineFeeds(std::string_view s);

// VB-style helpers counting characters: Left, Right, Mid (1-based start).
std::string Left(std::string_view s, std::size_t chars);
std::string Right(std::string_view s, std::size_t chars);
std::string Mid(std::string_view s, std::size_t start1, std::size_t chars = std::string_view::npos);

}  // namespace kestrun::text
