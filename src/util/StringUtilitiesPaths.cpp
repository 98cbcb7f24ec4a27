// Path functions. They follow the instance's path syntax: in the Windows syntax a folder part ends in
// "\" (or "/") or in a drive's ":"; in the Linux syntax it ends in "/" and ":" is an ordinary character.
// All characters tested for are ASCII, so scanning UTF-8 bytes never stops inside a character.
#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "util/StringUtilities.h"

namespace kestrun {

std::string StringUtilities::ExtractPath(const std::string& strPath) const {
  std::size_t last = strPath.size();
  if (syntax_.Windows) {
    // What follows a second ":" (an alternate data stream, "file:stream") is not part of the folder.
    std::size_t first = strPath.find(':');
    if (first != std::string::npos) {
      std::size_t second = strPath.find(':', first + 1);
      if (second != std::string::npos) last = second;
    }
  }
  for (std::size_t i = last; i > 0; --i) {
    if (syntax_.IsFolderEnd(strPath[i - 1])) return strPath.substr(0, i);
  }
  return {};
}

std::string StringUtilities::ExtractFilename(const std::string& strPath) const {
  return strPath.substr(ExtractPath(strPath).size());
}

std::string StringUtilities::ExtractExtension(const std::string& strFile) const {
  std::size_t dot = strFile.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = strFile.substr(dot + 1);
  // A dot in a folder name is no extension of the file.
  for (char c : extension) {
    if (syntax_.IsFolderEnd(c)) return {};
  }
  return extension;
}

std::string StringUtilities::RemoveDriveFromPath(const std::string& strPath) const {
  if (!syntax_.Windows) {
    // No drives: what is left is the path without its leading separators.
    std::size_t i = 0;
    while (i < strPath.size() && syntax_.IsSeparator(strPath[i])) ++i;
    return strPath.substr(i);
  }
  if (text::CharCount(strPath) <= 3) return {};
  // The first character (drive letter, or the first "\" of a network path) always goes, then every ":"
  // and separator that follows it.
  std::size_t i = 0;
  text::NextChar(strPath, i);
  while (i < strPath.size() && syntax_.IsFolderEnd(strPath[i])) ++i;
  return strPath.substr(i);
}

std::string StringUtilities::ResolvePath(const std::string& strFile) const {
  return ResolvePath(strFile, platform::App().Path);
}

std::string StringUtilities::ResolvePath(const std::string& strFile, const std::string& strBase) const {
  const std::string sep(1, syntax_.Separator());
  if (GetPosSep(strFile, sep, 1) != "..") return strFile;
  std::string file = strFile;
  std::string base = strBase;
  // Each leading ".." takes the last folder off the base. Every round shortens the file by at least "..".
  while (GetPosSep(file, sep, 1) == "..") {
    file = LTrimText(file, "..");
    file = LTrimText(file, sep);
    base = RTrimText(base, sep);
    base = RTrimText(base, GetPosSep(base, sep, GetPosNum(base, sep)));
  }
  return CheckPathEnding(base) + file;
}

}  // namespace kestrun
