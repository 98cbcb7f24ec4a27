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

// VB-style helpers counting characters: Left, Right, Mid (1-based start).
std::string Left(std::string_view s, std::size_t chars);
std::string Right(std::string_view s, std::size_t chars);
std::string Mid(std::string_view s, std::size_t start1, std::size_t chars = std::string_view::npos);

}  // namespace kestrun::text
