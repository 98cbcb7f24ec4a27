// Replacing, text between separators, and bytes written out as text. Searches without regard to case
// run on upper-case copies: the case mapping keeps byte lengths, so offsets found there hold in the
// original text. Results are built front to back in one pass, never by rebuilding the whole text for
// each replacement.
#include <cstdio>

#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "util/RuntimeError.h"
#include "util/StringUtilities.h"

namespace kestrun {

std::string StringUtilities::ReplaceString(const std::string& strInString, const std::string& strFromString,
                                           const std::string& strToString, bool blnIgnoreCase) const {
  if (strFromString.empty()) return strInString;
  const std::string upperText = blnIgnoreCase ? text::UCase(strInString) : std::string();
  const std::string upperFrom = blnIgnoreCase ? text::UCase(strFromString) : std::string();
  const std::string& haystack = blnIgnoreCase ? upperText : strInString;
  const std::string& needle = blnIgnoreCase ? upperFrom : strFromString;
  std::string out;
  std::size_t i = 0;
  for (;;) {
    std::size_t match = haystack.find(needle, i);
    if (match == std::string::npos) {
      out.append(strInString, i, std::string::npos);
      return out;
    }
    out.append(strInString, i, match - i);
    out += strToString;
    i = match + needle.size();
    // A long replace keeps the window alive.
    if (blnIgnoreCase) platform::Windows().DoEvents();
  }
}

std::string StringUtilities::BinaryInStringToHexInString(const std::string& ConvertThis, int32_t lngOutFormat) const {
  std::string out;
  char number[16];
  if (lngOutFormat == 0) {
    out.reserve(ConvertThis.size() * 4);
    for (unsigned char byte : ConvertThis) {
      std::snprintf(number, sizeof number, "%02X, ", byte);
      out += number;
    }
    out = RTrimText(TrimText(out, " "), ",");
    return out;
  }
  if (lngOutFormat == 1) out = "\tszBin=\"\"; ";
  for (std::size_t i = 0; i < ConvertThis.size(); ++i) {
    out += "szBin[" + std::to_string(i) + "]=\"" + std::to_string(static_cast<unsigned char>(ConvertThis[i])) + "\"; ";
    if ((i + 1) % 15 == 0) out += "\r\n\t";
  }
  return TrimText(out, " ");
}

std::string StringUtilities::GetTextBetweenSeparators(const std::string& strInput, const std::string& strFirstSeparator,
                                                      const std::string& strEndSeparator) const {
  if (strFirstSeparator.empty() && strEndSeparator.empty()) return strInput;
  if (strFirstSeparator.empty()) {
    std::size_t end = strInput.find(strEndSeparator);
    return end == std::string::npos ? std::string() : strInput.substr(0, end);
  }
  std::size_t first = strInput.find(strFirstSeparator);
  if (first == std::string::npos) return {};
  const std::size_t from = first + strFirstSeparator.size();
  if (strEndSeparator.empty() || strInput.find(strEndSeparator) == std::string::npos) return strInput.substr(from);
  // The text up to the next first separator, then up to the end separator within it. When the end
  // separator stands only beyond that, the whole stretch is the answer.
  std::size_t next = strInput.find(strFirstSeparator, from);
  std::string field = strInput.substr(from, next == std::string::npos ? std::string::npos : next - from);
  std::size_t end = field.find(strEndSeparator);
  return end == std::string::npos ? field : field.substr(0, end);
}

std::string StringUtilities::ReplacePartOfKeywordString(const std::string& strLongOriginalString,
                                                        const std::string& strKeyword,
                                                        const std::string& strStringWithKeyword) const {
  std::string longText = strLongOriginalString;
  std::string pattern = strStringWithKeyword;
  std::string result;
  if (strKeyword.empty()) return result;
  const long keywordLength = static_cast<long>(text::CharCount(strKeyword));
  // Every round takes at least the text up to the second keyword off the pattern, or all of it.
  for (;;) {
    const int32_t fields = GetPosNum(pattern, strKeyword, true);
    if (fields <= 1) return result;
    const long first = GetSepPos(pattern, strKeyword, 1);
    if (first < 1) return result;
    const std::string before = text::Left(pattern, static_cast<std::size_t>(first - 1));
    std::string after;
    if (fields > 2) {
      const long second = GetSepPos(pattern, strKeyword, 2);
      if (second <= first) return result;
      const long between = second - first - keywordLength;
      after = text::Mid(pattern, static_cast<std::size_t>(first + keywordLength),
                        static_cast<std::size_t>(between > 0 ? between : 0));
      pattern = text::Mid(pattern, static_cast<std::size_t>(second));
    } else {
      const long room = static_cast<long>(text::CharCount(longText)) - first - keywordLength - 1;
      after = text::Mid(pattern, static_cast<std::size_t>(first + keywordLength),
                        static_cast<std::size_t>(room > 0 ? room : 0));
      pattern.clear();
    }
    const std::string piece = before + GetTextBetweenSeparators(longText, before, after) + after;
    result += piece;
    longText = text::Mid(longText, text::CharCount(piece) + 1);
  }
}

std::string StringUtilities::ReplaceNthOccuranceOfString(const std::string& strOriginal,
                                                         const std::string& strToBeReplaced,
                                                         const std::string& strToReplace, int32_t lngOccurance) const {
  if (lngOccurance < 1) Raise(err::InvalidProcedureCall);
  const int32_t position = GetSepPos(strOriginal, strToBeReplaced, lngOccurance);
  if (position < 1) return strOriginal;  // fewer occurrences than asked for
  const std::size_t at = text::ByteOffset(strOriginal, static_cast<std::size_t>(position - 1));
  return strOriginal.substr(0, at) + strToReplace + strOriginal.substr(at + strToBeReplaced.size());
}

std::string StringUtilities::ReplaceStringBetween(const std::string& strOriginalText, const std::string& strFirstString,
                                                  const std::string& strSecondString,
                                                  const std::string& strNewString) const {
  // Without both ends there is no span to replace (and no way for the search to move on).
  if (strFirstString.empty() || strSecondString.empty()) return strOriginalText;
  const std::string upperText = text::UCase(strOriginalText);
  const std::string upperFirst = text::UCase(strFirstString);
  const std::string upperSecond = text::UCase(strSecondString);
  std::string out;
  std::size_t i = 0;
  for (;;) {
    std::size_t start = upperText.find(upperFirst, i);
    if (start == std::string::npos) break;
    // The search for the second text starts at the first one's own position.
    std::size_t end = upperText.find(upperSecond, start);
    if (end == std::string::npos) break;
    out.append(strOriginalText, i, start - i);
    out += strNewString;
    i = end + upperSecond.size();
  }
  out.append(strOriginalText, i, std::string::npos);
  return out;
}

}  // namespace kestrun
