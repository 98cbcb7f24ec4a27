// The registry in memory and its REGEDIT4 text form; the registry editor's UTF-16 export reads too.
//
// The file is read strictly: anything this store could not write back exactly (an unknown line, a bad
// escape, a broken hex list, a value outside a key, a missing header, control characters) makes the
// whole file unreadable as a registry, because rewriting a file we only half understood would throw
// away what we skipped. Layout that carries no data is accepted: blank lines, ";" comments, CRLF line
// ends, blanks around "=", hex lists continued with "\" over several lines, and the registry editor's
// own "[-key]" and "name"=- deletions, which are applied in order as the editor applies them. A file
// that is refused says where and why, so that its owner can mend it.
#include <algorithm>
#include <cstdio>

#include "platform/RegistryDocument.h"
#include "platform/Text.h"

namespace kestrun::platform::reg::detail {

// ---- keys and values ------------------------------------------------------------------------------

namespace {

// The lookup form of a name. Most names are ASCII, and mapping those here keeps reading a large store
// quick; anything else goes through the full case mapping.
std::string UpperKey(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) >= 0x80) return text::UCase(name);
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

}  // namespace

const Value* Key::FindValue(std::string_view name) const {
  auto it = valueIndex_.find(UpperKey(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void Key::SetValue(std::string_view name, DWORD type, std::string data) {
  auto [it, inserted] = valueIndex_.try_emplace(UpperKey(name), values_.size());
  if (inserted) {
    values_.push_back(Value{std::string(name), type, std::move(data)});
  } else {
    Value& v = values_[it->second];
    v.type = type;
    v.data = std::move(data);
  }
}

bool Key::DeleteValue(std::string_view name, bool deferCompact) {
  auto it = valueIndex_.find(UpperKey(name));
  if (it == valueIndex_.end()) return false;
  values_[it->second].erased = true;
  ++erasedCount_;
  valueIndex_.erase(it);
  if (!deferCompact) Compact();
  return true;
}

void Key::Compact() {
  if (erasedCount_ == 0) return;
  std::erase_if(values_, [](const Value& v) { return v.erased; });
  erasedCount_ = 0;
  valueIndex_.clear();
  for (std::size_t i = 0; i < values_.size(); ++i) valueIndex_.emplace(UpperKey(values_[i].name), i);
}

void Key::CompactTree() {
  // Iterative, so that a deep tree cannot exhaust the stack.
  std::vector<Key*> pending{this};
  while (!pending.empty()) {
    Key* key = pending.back();
    pending.pop_back();
    key->Compact();
    for (auto& [upper, sub] : key->subKeys_) pending.push_back(sub.get());
  }
}

Key* Key::FindSubKey(std::string_view name) const {
  auto it = subKeys_.find(UpperKey(name));
  return it == subKeys_.end() ? nullptr : it->second.get();
}

Key& Key::SubKey(std::string_view name, bool& created) {
  auto [it, inserted] = subKeys_.try_emplace(UpperKey(name));
  if (inserted) it->second = std::make_unique<Key>(std::string(name));
  created = inserted;
  return *it->second;
}

bool Key::DeleteSubKey(std::string_view name) { return subKeys_.erase(UpperKey(name)) > 0; }

int RootIndex(HKEY handle) {
  for (std::size_t i = 0; i < Roots.size(); ++i) {
    if (Roots[i].handle == handle) return static_cast<int>(i);
  }
  return -1;
}

int RootIndexOfName(std::string_view name) {
  std::string upper = UpperKey(name);
  for (std::size_t i = 0; i < Roots.size(); ++i) {
    if (upper == Roots[i].name) return static_cast<int>(i);
  }
  return -1;
}

Document::Document() {
  for (const RootInfo& root : Roots) roots_.push_back(std::make_unique<Key>(root.name));
}

namespace {

bool HasControlOtherThanTab(std::string_view s) {
  for (char c : s) {
    if (text::IsAsciiControl(static_cast<unsigned char>(c)) && c != '\t') return true;
  }
  return false;
}

}  // namespace

LONG SplitKeyPath(std::string_view path, std::vector<std::string_view>& names, std::size_t maxNames) {
  names.clear();
  if (path.empty()) return ERROR_SUCCESS;
  if (path.back() == '\\') path.remove_suffix(1);
  std::size_t start = 0;
  while (true) {
    std::size_t end = path.find('\\', start);
    std::string_view name = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (name.empty()) return ERROR_BAD_PATHNAME;
    if (name.size() > MaxKeyNameBytes || HasControlOtherThanTab(name)) return ERROR_INVALID_PARAMETER;
    names.push_back(name);
    if (names.size() > maxNames) return ERROR_INVALID_PARAMETER;
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

bool IsValidValueName(std::string_view name) { return !HasControlOtherThanTab(name); }

// ---- reading --------------------------------------------------------------------------------------

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

// 1 to 8 hexadecimal digits, the whole text.
bool ParseHexNumber(std::string_view s, DWORD& out) {
  if (s.empty() || s.size() > 8) return false;
  out = 0;
  for (char c : s) {
    int d = text::HexDigitValue(c);
    if (d < 0) return false;
    out = (out << 4) | static_cast<DWORD>(d);
  }
  return true;
}

// "01,ff, 0a" (blanks allowed around the commas, one trailing comma tolerated) into bytes.
bool ParseHexList(std::string_view s, std::string& out) {
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < s.size() && text::IsBlank(s[i])) ++i;
  };
  skipBlanks();
  while (i < s.size()) {
    int value = 0;
    int digits = 0;
    while (i < s.size() && digits < 2 && text::HexDigitValue(s[i]) >= 0) {
      value = value * 16 + text::HexDigitValue(s[i]);
      ++digits;
      ++i;
    }
    if (digits == 0) return false;
    out += static_cast<char>(value);
    skipBlanks();
    if (i == s.size()) break;
    if (s[i] != ',') return false;
    ++i;
    skipBlanks();
  }
  return true;
}

// UTF-16LE code units to UTF-8, appended to `out`. Nullptr, or what is wrong with them: a surrogate
// without its partner, or an odd number of bytes. What came before a fault is in `out`.
const char* Utf16ToUtf8(std::string_view bytes, std::string& out) {
  auto unit = [&](std::size_t i) -> char32_t {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  out.reserve(out.size() + bytes.size() + bytes.size() / 2);
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDFFF) {
      const char32_t low = i + 3 < bytes.size() ? unit(i + 2) : 0;
      if (c > 0xDBFF || low < 0xDC00 || low > 0xDFFF) return "a UTF-16 surrogate without its partner";
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    text::AppendChar(out, c);
  }
  return i == bytes.size() ? nullptr : "half a UTF-16 character at the end";
}

// The registry editor writes two formats: "REGEDIT4" in the 8-bit code page (UTF-8 here), and, in
// later versions, UTF-16LE with a byte-order mark headed "Windows Registry Editor Version 5.00", where
// the data of text values written as hex(1), hex(2) and hex(7) is UTF-16 as well. Both read into the
// same registry, texts in UTF-8, as the 8-bit registry functions give them.
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view Utf16Bom = "\xFF\xFE";
constexpr std::string_view Header4 = "REGEDIT4";
constexpr std::string_view Header5 = "Windows Registry Editor Version 5.00";

class Parser {
 public:
  explicit Parser(std::string_view file) : text_(file) {}

  std::optional<Document> Run() {
    std::string_view header = Header4;
    if (text_.substr(0, Utf16Bom.size()) == Utf16Bom) {
      if (const char* fault = Utf16ToUtf8(text_.substr(Utf16Bom.size()), decoded_)) {
        line_ = 1 + static_cast<std::size_t>(std::count(decoded_.begin(), decoded_.end(), '\n'));
        Fail(fault);
        return std::nullopt;
      }
      text_ = decoded_;
      header = Header5;
      utf16_ = true;
    } else if (text_.substr(0, Utf8Bom.size()) == Utf8Bom) {
      pos_ = Utf8Bom.size();
    }
    Document doc;
    bool seenHeader = false;
    Key* current = nullptr;
    std::string_view line;
    while (NextLine(line)) {
      std::string_view t = text::TrimBlanks(line);
      bool good = true;
      if (t.empty() || (seenHeader && t.front() == ';')) {
        continue;
      } else if (!seenHeader) {
        good = t == header || Fail(HeaderFault(t));
        seenHeader = true;
      } else if (t.front() == '[') {
        good = Section(doc, t, current);
      } else if (t.front() == '"' || t.front() == '@') {
        good = current ? ValueLine(*current, t) : Fail("a value before the first key");
      } else {
        good = Fail("a line that is neither a key, a value nor a comment");
      }
      if (!good) return std::nullopt;
    }
    if (failure_) return std::nullopt;
    for (int i = 0; i < static_cast<int>(Roots.size()); ++i) doc.Root(i).CompactTree();
    return doc;
  }

  const std::optional<ParseFailure>& Failure() const { return failure_; }

 private:
  // Records the first fault, at `line` (the current line when 0); always false.
  bool Fail(std::string what, std::size_t line = 0) {
    if (!failure_) failure_ = ParseFailure{line ? line : line_, std::move(what)};
    return false;
  }

  std::string HeaderFault(std::string_view first) const {
    if (utf16_) return "a UTF-16 file that does not begin with \"" + std::string(Header5) + "\"";
    if (first == Header5) return "\"" + std::string(Header5) + "\" in a file that is not UTF-16 (saved as Unicode)";
    return "the file begins with neither \"" + std::string(Header4) + "\" nor, in UTF-16, \"" + std::string(Header5) +
           "\"";
  }

  // The next physical line without its line end. A control character other than a tab (a stray CR,
  // a NUL, binary junk) spoils the file.
  bool NextLine(std::string_view& line) {
    if (pos_ >= text_.size() || failure_) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    ++line_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (char c : line) {
      if (text::IsAsciiControl(static_cast<unsigned char>(c)) && c != '\t') {
        char what[48];
        std::snprintf(what, sizeof what, "a control character (code %u)", static_cast<unsigned char>(c));
        return Fail(what);
      }
    }
    return true;
  }

  bool Section(Document& doc, std::string_view t, Key*& current) {
    if (t.back() != ']' || t.size() < 2) return Fail("a key line without its closing \"]\"");
    std::string_view inner = t.substr(1, t.size() - 2);
    bool erase = !inner.empty() && inner.front() == '-';
    if (erase) inner.remove_prefix(1);
    // The root name comes on top of the deepest path the store allows below it.
    const LONG split = SplitKeyPath(inner, names_, MaxKeyDepth + 1);
    if (split == ERROR_BAD_PATHNAME || (split == ERROR_SUCCESS && names_.empty())) return Fail("an empty key name");
    if (split != ERROR_SUCCESS) return Fail("a key name over 255 bytes, or keys nested more than 512 deep");
    int root = RootIndexOfName(names_.front());
    if (root < 0) return Fail("an unknown root key \"" + std::string(names_.front()) + "\"");
    Key* key = &doc.Root(root);
    if (erase) {
      if (names_.size() < 2) return Fail("a root key cannot be deleted");
      for (std::size_t i = 1; key && i + 1 < names_.size(); ++i) key = key->FindSubKey(names_[i]);
      if (key) key->DeleteSubKey(names_.back());
      current = nullptr;
      return true;
    }
    bool created = false;
    for (std::size_t i = 1; i < names_.size(); ++i) key = &key->SubKey(names_[i], created);
    current = key;
    return true;
  }

  // A quoted text starting at t[i] == '"', with the escapes \\ and \"; i ends after the closing quote.
  bool QuotedText(std::string_view t, std::size_t& i, std::string& out) {
    ++i;
    while (i < t.size()) {
      std::size_t stop = i;
      while (stop < t.size() && t[stop] != '"' && t[stop] != '\\') ++stop;
      if (stop == t.size()) break;
      out.append(t.substr(i, stop - i));
      i = stop;
      if (t[i] == '"') {
        ++i;
        return true;
      }
      if (i + 1 >= t.size() || (t[i + 1] != '\\' && t[i + 1] != '"')) {
        return Fail("a backslash in a quoted text that is neither \\\\ nor \\\"");
      }
      out += t[i + 1];
      i += 2;
    }
    return Fail("a quoted text without its closing quote");
  }

  bool ValueLine(Key& key, std::string_view t) {
    const std::size_t first = line_;
    std::size_t i = 0;
    std::string name;
    if (t.front() == '@') {
      i = 1;
    } else if (!QuotedText(t, i, name)) {
      return false;
    }
    while (i < t.size() && text::IsBlank(t[i])) ++i;
    if (i >= t.size() || t[i] != '=') return Fail("no \"=\" after the value name");
    ++i;
    while (i < t.size() && text::IsBlank(t[i])) ++i;
    std::string_view rest = t.substr(i);

    if (rest == "-") {
      key.DeleteValue(name, /*deferCompact=*/true);
      return true;
    }
    std::string data;
    if (!rest.empty() && rest.front() == '"') {
      std::size_t j = 0;
      if (!QuotedText(rest, j, data)) return false;
      if (j != rest.size()) return Fail("something after the closing quote of the data");
      data += '\0';
      key.SetValue(name, REG_SZ, std::move(data));
      return true;
    }
    if (StartsWithNoCase(rest, "dword:")) {
      DWORD n = 0;
      if (!ParseHexNumber(rest.substr(6), n)) return Fail("a dword that is not 1 to 8 hexadecimal digits");
      for (int b = 0; b < 4; ++b) data += static_cast<char>((n >> (8 * b)) & 0xFF);
      key.SetValue(name, REG_DWORD, std::move(data));
      return true;
    }
    DWORD type = REG_BINARY;
    if (StartsWithNoCase(rest, "hex:")) {
      rest.remove_prefix(4);
    } else if (StartsWithNoCase(rest, "hex(")) {
      std::size_t close = rest.find("):");
      if (close == std::string_view::npos || !ParseHexNumber(rest.substr(4, close - 4), type)) {
        return Fail("a hex(type) whose type is not 1 to 8 hexadecimal digits");
      }
      rest.remove_prefix(close + 2);
    } else {
      return Fail("data that is none of \"text\", dword:, hex: and hex(type):");
    }
    std::string joined;
    if (!rest.empty() && rest.back() == '\\') {
      // The list goes on over the following lines, each ending in "\" but the last.
      joined.assign(rest.substr(0, rest.size() - 1));
      std::string_view more;
      while (true) {
        if (!NextLine(more)) return Fail("a hex list continued past the end of the file", first);
        more = text::TrimBlanks(more);
        if (!more.empty() && more.back() == '\\') {
          joined.append(more.substr(0, more.size() - 1));
        } else {
          joined.append(more);
          break;
        }
      }
      rest = joined;
    }
    if (!ParseHexList(rest, data))
      return Fail("a hex list that is not bytes of two hexadecimal digits and commas", first);
    if (utf16_ && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) {
      std::string converted;
      if (const char* fault = Utf16ToUtf8(data, converted)) {
        return Fail("text data of hex(" + std::to_string(type) + ") with " + fault, first);
      }
      data = std::move(converted);
    }
    key.SetValue(name, type, std::move(data));
    return true;
  }

  std::string_view text_;
  std::string decoded_;  // the text of a UTF-16 file
  bool utf16_ = false;
  std::size_t pos_ = 0;
  std::size_t line_ = 0;
  std::optional<ParseFailure> failure_;
  std::vector<std::string_view> names_;
};

}  // namespace

std::optional<Document> ParseDocument(std::string_view file, ParseFailure* failure) {
  if (file.size() > MaxStoreFileBytes) {
    if (failure) *failure = {0, TooLargeFault};
    return std::nullopt;
  }
  Parser parser(file);
  std::optional<Document> doc = parser.Run();
  if (!doc && failure && parser.Failure()) *failure = *parser.Failure();
  return doc;
}

// ---- writing --------------------------------------------------------------------------------------

namespace {

void AppendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// Text data goes into the file as readable text when that text gives back exactly the same bytes and a
// person can edit it safely: one terminating NUL and no other, no control characters, valid UTF-8.
bool FitsShortText(std::string_view data) {
  if (data.empty() || data.back() != '\0') return false;
  data.remove_suffix(1);
  for (unsigned char c : data) {
    if (text::IsAsciiControl(c)) return false;
  }
  return text::IsValidUtf8(data);
}

const char HexDigits[] = "0123456789abcdef";

void AppendValue(std::string& out, const Value& v) {
  std::size_t lineStart = out.size();
  if (v.name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, v.name);
  }
  out += '=';
  if (v.type == REG_SZ && FitsShortText(v.data)) {
    AppendQuoted(out, std::string_view(v.data).substr(0, v.data.size() - 1));
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    DWORD n = 0;
    for (int b = 3; b >= 0; --b) n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<std::size_t>(b)]);
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(n));
    out += buf;
  } else {
    if (v.type == REG_BINARY) {
      out += "hex:";
    } else {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
      out += buf;
    }
    // Lines of at most about 80 characters, continued with "\" as the registry editor writes them.
    for (std::size_t j = 0; j < v.data.size(); ++j) {
      unsigned char b = static_cast<unsigned char>(v.data[j]);
      out += HexDigits[b >> 4];
      out += HexDigits[b & 0xF];
      if (j + 1 < v.data.size()) {
        out += ',';
        if (out.size() - lineStart >= 77) {
          out += "\\\n  ";
          lineStart = out.size() - 2;
        }
      }
    }
  }
  out += '\n';
}

// A key gets its own section when it holds values or has nothing below it; the keys above a section
// are implied by its path, as the registry editor reads them.
void AppendKey(std::string& out, const Key& key, std::string& path, bool isRoot) {
  if (!key.Values().empty() || (!isRoot && key.SubKeys().empty())) {
    out += '[';
    out += path;
    out += "]\n";
    for (const Value& v : key.Values()) AppendValue(out, v);
    out += '\n';
  }
  for (const auto& [upper, sub] : key.SubKeys()) {
    std::size_t mark = path.size();
    path += '\\';
    path += sub->Name();
    AppendKey(out, *sub, path, false);
    path.resize(mark);
  }
}

}  // namespace

std::string SerializeDocument(const Document& doc) {
  std::string out = "REGEDIT4\n\n";
  std::string path;
  for (std::size_t i = 0; i < Roots.size(); ++i) {
    path = Roots[i].name;
    AppendKey(out, doc.Root(static_cast<int>(i)), path, true);
  }
  return out;
}

}  // namespace kestrun::platform::reg::detail
