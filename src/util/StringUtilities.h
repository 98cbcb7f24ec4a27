#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "util/PathSyntax.h"

namespace kestrun {

// Stateless text and path functions. Every user creates its own instance. The path functions follow
// the path syntax given at construction (the native one unless a caller asks otherwise).
class StringUtilities {
 public:
  explicit StringUtilities(PathSyntax syntax = PathSyntax::Native()) : syntax_(syntax) {}
  const PathSyntax& Syntax() const { return syntax_; }

  // Paths (StringUtilitiesPaths.cpp)
  std::string ExtractFilename(const std::string& strPath) const;
  std::string ExtractExtension(const std::string& strFile) const;
  std::string ExtractPath(const std::string& strPath) const;

  // Replacing (StringUtilitiesReplace.cpp). With ignore-case the window handles pending messages once
  // per replacement.
  std::string ReplaceString(const std::string& strInString, const std::string& strFromString,
                            const std::string& strToString, bool blnIgnoreCase = false) const;
  std::string BinaryInStringToHexInString(const std::string& ConvertThis, int32_t lngOutFormat) const;

  // Separated fields, trims and path endings (StringUtilities.cpp)
  std::string CheckPathEnding(const std::string& strPath) const;
  std::string RemovePathEnding(const std::string& strPath) const;
  int32_t GetSepPos(const std::string& strInput, const std::string& StrSep, int32_t lngSep) const;
  int32_t GetPosNum(const std::string& strInput, const std::string& StrSep, bool blnKeepTogether = false) const;
  std::string GetPosSep(const std::string& strInput, const std::string& StrSep, int32_t lngPos,
                        bool blnKeepTogether = false) const;
  // Visits fields 1 to GetPosNum in order, giving each the text GetPosSep would give, in one pass
  // (asking GetPosSep for every field would rescan the text once per field).
  void ForEachField(const std::string& strInput, const std::string& StrSep, bool blnKeepTogether,
                    const std::function<void(const std::string&)>& visit) const;
  std::vector<std::string> SplitFields(const std::string& strInput, const std::string& StrSep,
                                       bool blnKeepTogether = false) const;
  std::string TrimText(const std::string& strText, const std::string& strTrimText) const;
  std::string RTrimText(const std::string& strText, const std::string& strTrimText, bool blnIgnoreCase = false) const;
  std::string LTrimText(const std::string& strText, const std::string& strTrimText, bool blnIgnoreCase = false) const;

  // Resolves leading ".." steps against the program's folder (or against `strBase`).
  std::string ResolvePath(const std::string& strFile) const;
  std::string ResolvePath(const std::string& strFile, const std::string& strBase) const;
  bool StartsWith(const std::string& strText, const std::string& strTest) const;
  bool EndsWith(const std::string& strText, const std::string& strTest) const;

  // File masks (FileMask.cpp). Raises a runtime error for a mask that breaks the list rules.
  bool MatchesFileMask(const std::string& strFileName, const std::string& strMask, bool blnCaseSensitive = false) const;

  std::string GetTextBetweenSeparators(const std::string& strInput, const std::string& strFirstSeparator,
                                       const std::string& strEndSeparator) const;
  std::string RemoveDriveFromPath(const std::string& strPath) const;
  std::string ReplacePartOfKeywordString(const std::string& strLongOriginalString, const std::string& strKeyword,
                                         const std::string& strStringWithKeyword) const;
  std::string ReplaceNthOccuranceOfString(const std::string& strOriginal, const std::string& strToBeReplaced,
                                          const std::string& strToReplace, int32_t lngOccurance) const;
  std::string ReplaceStringBetween(const std::string& strOriginalText, const std::string& strFirstString,
                                   const std::string& strSecondString, const std::string& strNewString) const;

 private:
  // Byte offset of the next separator at or after byte offset `start`, or npos.
  std::size_t FindSeparator(std::size_t start, const std::string& strInput, const std::string& StrSep,
                            bool blnKeepTogether) const;

  PathSyntax syntax_;
};

}  // namespace kestrun
