// Separated fields, repeated trims, folder endings and the begins/ends tests. Work is done on UTF-8
// bytes: the separators and trim texts are whole characters, and the case mapping keeps byte lengths,
// so byte positions found here always fall on character boundaries.
#include "util/StringUtilities.h"

#include "platform/Text.h"

namespace kestrun {

std::string StringUtilities::CheckPathEnding(const std::string& strPath) const {
  if (!strPath.empty() && syntax_.IsSeparator(strPath.back())) return strPath;
  return strPath + syntax_.Separator();
}

std::string StringUtilities::RemovePathEnding(const std::string& strPath) const {
  std::string result = RTrimText(strPath, std::string(1, syntax_.Separator()));
  // On Windows a trailing "/" is a separator as well.
  while (!result.empty() && syntax_.IsSeparator(result.back())) result.pop_back();
  return result;
}

int32_t StringUtilities::GetSepPos(const std::string& strInput, const std::string& StrSep, int32_t lngSep) const {
  if (strInput.empty() || lngSep < 1 || StrSep.empty()) return 0;
  int32_t found = 0;
  // Occurrences may overlap, so the scan moves on by one character after each match.
  std::size_t pos = 0;
  int32_t charPos = 1;
  while (pos < strInput.size()) {
    if (strInput.compare(pos, StrSep.size(), StrSep) == 0 && ++found == lngSep) return charPos;
    text::NextChar(strInput, pos);
    ++charPos;
  }
  return 0;  // fewer occurrences than asked for: no position
}

std::size_t StringUtilities::FindSeparator(std::size_t start, const std::string& strInput, const std::string& StrSep,
                                           bool blnKeepTogether) const {
  if (start >= strInput.size()) return std::string::npos;
  std::size_t p = StrSep.empty() ? start : strInput.find(StrSep, start);
  if (!blnKeepTogether) return p;
  if (p == std::string::npos) return p;
  // Only a quote standing before the separator matters; looking no further keeps a split linear.
  std::size_t q = std::string_view(strInput).substr(start, p - start).find('"');
  if (q != std::string::npos) {
    q += start;
    std::size_t closing = strInput.find('"', q + 1);
    if (closing != std::string::npos) {
      return StrSep.empty() ? closing : strInput.find(StrSep, closing);
    }
  }
  return p;
}

int32_t StringUtilities::GetPosNum(const std::string& strInput, const std::string& StrSep, bool blnKeepTogether) const {
  const std::size_t step = StrSep.empty() ? 1 : StrSep.size();
  int32_t count = 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t p = FindSeparator(start, strInput, StrSep, blnKeepTogether);
    if (p == std::string::npos || p >= strInput.size()) break;
    ++count;
    start = p + step;
  }
  return count + 1;
}

std::string StringUtilities::GetPosSep(const std::string& strInput, const std::string& StrSep, int32_t lngPos,
                                       bool blnKeepTogether) const {
  const std::size_t step = StrSep.empty() ? 1 : StrSep.size();
  if (lngPos < 1) return {};
  if (lngPos == 1) {
    std::size_t p = FindSeparator(0, strInput, StrSep, blnKeepTogether);
    if (p != std::string::npos && p > 0) return strInput.substr(0, p);
    return StartsWith(strInput, StrSep) ? std::string() : strInput;
  }
  std::size_t cur = FindSeparator(0, strInput, StrSep, blnKeepTogether);
  for (int32_t i = 0; i < lngPos - 2 && cur != std::string::npos; ++i) {
    cur = FindSeparator(cur + step, strInput, StrSep, blnKeepTogether);
    if (cur == std::string::npos) return {};
  }
  if (cur == std::string::npos) return {};
  std::size_t from = cur + step;
  if (from > strInput.size()) return {};
  std::size_t next = FindSeparator(from, strInput, StrSep, blnKeepTogether);
  return next == std::string::npos ? strInput.substr(from) : strInput.substr(from, next - from);
}

void StringUtilities::ForEachField(const std::string& strInput, const std::string& StrSep, bool blnKeepTogether,
                                   const std::function<void(const std::string&)>& visit) const {
  const std::size_t step = StrSep.empty() ? 1 : StrSep.size();
  std::size_t p = FindSeparator(0, strInput, StrSep, blnKeepTogether);
  if (p == std::string::npos || p >= strInput.size()) {
    visit(p == std::string::npos && !StartsWith(strInput, StrSep) ? strInput : std::string());
    return;
  }
  visit(strInput.substr(0, p));
  for (;;) {
    std::size_t from = p + step;
    std::size_t next = FindSeparator(from, strInput, StrSep, blnKeepTogether);
    if (next == std::string::npos || next >= strInput.size()) {
      visit(from >= strInput.size() ? std::string() : strInput.substr(from));
      return;
    }
    visit(strInput.substr(from, next - from));
    p = next;
  }
}

std::vector<std::string> StringUtilities::SplitFields(const std::string& strInput, const std::string& StrSep,
                                                      bool blnKeepTogether) const {
  std::vector<std::string> fields;
  ForEachField(strInput, StrSep, blnKeepTogether, [&](const std::string& f) { fields.push_back(f); });
  return fields;
}

std::string StringUtilities::TrimText(const std::string& strText, const std::string& strTrimText) const {
  return LTrimText(RTrimText(strText, strTrimText), strTrimText);
}

std::string StringUtilities::RTrimText(const std::string& strText, const std::string& strTrimText,
                                       bool blnIgnoreCase) const {
  if (strTrimText.empty() || strTrimText.size() > strText.size()) return strText;
  const std::string work = blnIgnoreCase ? text::LCase(strText) : strText;
  const std::string trim = blnIgnoreCase ? text::LCase(strTrimText) : strTrimText;
  std::size_t end = work.size();
  // The whole trim text goes as a unit, as often as it stands at the end.
  while (end >= trim.size() && work.compare(end - trim.size(), trim.size(), trim) == 0) end -= trim.size();
  return strText.substr(0, end);
}

std::string StringUtilities::LTrimText(const std::string& strText, const std::string& strTrimText,
                                       bool blnIgnoreCase) const {
  if (strTrimText.empty() || strTrimText.size() > strText.size()) return strText;
  const std::string work = blnIgnoreCase ? text::LCase(strText) : strText;
  const std::string trim = blnIgnoreCase ? text::LCase(strTrimText) : strTrimText;
  std::size_t begin = 0;
  while (work.size() - begin >= trim.size() && work.compare(begin, trim.size(), trim) == 0) begin += trim.size();
  return strText.substr(begin);
}

bool StringUtilities::StartsWith(const std::string& strText, const std::string& strTest) const {
  if (strTest.empty()) return true;
  if (strTest.size() > strText.size()) return false;
  return text::UCase(std::string_view(strText).substr(0, strTest.size())) == text::UCase(strTest);
}

bool StringUtilities::EndsWith(const std::string& strText, const std::string& strTest) const {
  if (strTest.empty()) return true;
  if (strTest.size() > strText.size()) return false;
  return text::UCase(std::string_view(strText).substr(strText.size() - strTest.size())) == text::UCase(strTest);
}

}  // namespace kestrun
