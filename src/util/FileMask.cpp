// File masks: which names in a folder or a server listing are update packages.
//
// The mask is compiled once into tokens (one per character it matches, stars collapsed) and a name is
// matched by the greedy-star method: on a mismatch the match goes back only to the last star, which then
// swallows one more character. That needs no extra memory and at most (name length x mask length) steps,
// so no mask, however it is written, can make a match take exponential time.
//
// Without case sensitivity, the mask's letters from "A" (U+0041) to "ö" (U+00F6) match both their forms,
// as if each had been written as the list [aA]; a mask character above U+00F6 matches only itself (the
// mask "sdatø*" does not take "sdatØ1"). This applies to the characters a mask matches, not to its
// syntax: "[", "]", "!" and "-" keep their meaning, so lists such as [0-9] or [a-c] work in either mode.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "util/RuntimeError.h"
#include "util/StringUtilities.h"

namespace kestrun {

namespace {

enum class Kind : std::uint8_t { Literal, AnyChar, Digit, List, Star };

struct Range {
  char32_t lo;
  char32_t hi;
};

struct Token {
  Kind kind;
  bool negated;
  char32_t ch;          // Literal: the character as the mask gives it
  char32_t alt;         // Literal: its other letter case when that matches too, else `ch` again
  std::uint32_t first;  // List: its ranges in CompiledMask::ranges
  std::uint32_t count;
};

struct CompiledMask {
  std::string mask;
  bool caseSensitive = false;
  bool valid = false;
  std::vector<Token> tokens;
  std::vector<Range> ranges;
};

// The mask characters that match either letter case when case does not count.
bool FoldsCase(char32_t c) { return c >= 0x41 && c <= 0xF6; }

Token LiteralToken(char32_t c, bool caseSensitive) {
  char32_t alt = c;
  if (!caseSensitive && FoldsCase(c)) alt = text::LowerChar(c) != c ? text::LowerChar(c) : text::UpperChar(c);
  return {Kind::Literal, false, c, alt, 0, 0};
}

void Compile(const std::string& mask, bool caseSensitive, CompiledMask& out) {
  out.tokens.clear();
  out.ranges.clear();
  out.valid = false;
  std::size_t pos = 0;
  while (pos < mask.size()) {
    char32_t c = text::NextChar(mask, pos);
    switch (c) {
      case U'*':
        if (out.tokens.empty() || out.tokens.back().kind != Kind::Star)
          out.tokens.push_back({Kind::Star, false, 0, 0, 0, 0});
        break;
      case U'?': out.tokens.push_back({Kind::AnyChar, false, 0, 0, 0, 0}); break;
      case U'#': out.tokens.push_back({Kind::Digit, false, 0, 0, 0, 0}); break;
      case U'[': {
        Token list{Kind::List, false, 0, 0, static_cast<std::uint32_t>(out.ranges.size()), 0};
        if (pos < mask.size() && mask[pos] == '!') {
          list.negated = true;
          ++pos;
        }
        bool first = true;
        bool closed = false;
        while (pos < mask.size()) {
          char32_t lo = text::NextChar(mask, pos);
          if (lo == U']') {
            closed = true;
            break;
          }
          char32_t hi = lo;
          // "x-y" is a range unless the "-" is the list's last character; a leading "-" is itself.
          if (!(first && lo == U'-') && pos + 1 < mask.size() && mask[pos] == '-' && mask[pos + 1] != ']') {
            ++pos;
            hi = text::NextChar(mask, pos);
            if (hi < lo) Raise(err::InvalidPattern);
          }
          out.ranges.push_back({lo, hi});
          first = false;
        }
        if (!closed) Raise(err::InvalidPattern);
        list.count = static_cast<std::uint32_t>(out.ranges.size()) - list.first;
        if (list.count > 0) {
          out.tokens.push_back(list);
        } else if (list.negated) {
          out.tokens.push_back(LiteralToken(U'!', caseSensitive));  // "[!]" is "!"
        }
        // "[]" matches the empty text: no token.
        break;
      }
      default: out.tokens.push_back(LiteralToken(c, caseSensitive)); break;
    }
  }
  out.mask = mask;
  out.caseSensitive = caseSensitive;
  out.valid = true;
}

bool InList(const CompiledMask& m, const Token& t, char32_t c) {
  const Range* r = m.ranges.data() + t.first;
  const Range* end = r + t.count;
  auto inRanges = [&](char32_t x) {
    for (const Range* p = r; p != end; ++p) {
      if (x >= p->lo && x <= p->hi) return true;
    }
    return false;
  };
  bool found = inRanges(c);
  if (!found && !m.caseSensitive) {
    // A list member takes the name's character in its other case only when that member is itself one
    // of the letters that fold: a list holding "ø" (U+00F8) does not take "Ø".
    auto partnerListed = [&](char32_t partner) { return partner != c && FoldsCase(partner) && inRanges(partner); };
    found = partnerListed(text::LowerChar(c)) || partnerListed(text::UpperChar(c));
  }
  return found != t.negated;
}

// Matches one character of `name` at byte offset `pos` against a non-star token; advances on success.
bool MatchOne(const CompiledMask& m, const Token& t, const std::string& name, std::size_t& pos) {
  std::size_t next = pos;
  char32_t c = text::NextChar(name, next);
  bool ok = false;
  switch (t.kind) {
    case Kind::AnyChar: ok = true; break;
    case Kind::Digit: ok = c >= U'0' && c <= U'9'; break;
    case Kind::Literal: ok = c == t.ch || c == t.alt; break;
    case Kind::List: ok = InList(m, t, c); break;
    case Kind::Star: break;
  }
  if (ok) pos = next;
  return ok;
}

bool Match(const CompiledMask& m, const std::string& name) {
  const std::vector<Token>& tokens = m.tokens;
  const std::size_t count = tokens.size();
  std::size_t t = 0;
  std::size_t pos = 0;
  std::size_t starToken = SIZE_MAX;  // token after the last star met
  std::size_t starPos = 0;           // where that star's run currently ends in the name
  while (pos < name.size()) {
    if (t < count && tokens[t].kind == Kind::Star) {
      starToken = ++t;
      starPos = pos;
      continue;
    }
    if (t < count && MatchOne(m, tokens[t], name, pos)) {
      ++t;
      continue;
    }
    if (starToken == SIZE_MAX) return false;
    text::NextChar(name, starPos);  // the star takes one more character
    pos = starPos;
    t = starToken;
  }
  while (t < count && tokens[t].kind == Kind::Star) ++t;
  return t == count;
}

}  // namespace

bool StringUtilities::MatchesFileMask(const std::string& strFileName, const std::string& strMask,
                                      bool blnCaseSensitive) const {
  // A folder scan asks with the same mask for every file: keep the last compiled one.
  thread_local CompiledMask compiled;
  if (!compiled.valid || compiled.caseSensitive != blnCaseSensitive || compiled.mask != strMask) {
    Compile(strMask, blnCaseSensitive, compiled);
  }
  return Match(compiled, strFileName);
}

}  // namespace kestrun
