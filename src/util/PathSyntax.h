#pragma once

namespace kestrun {

// Which path syntax the path functions follow. The program uses the native one; the Windows one is
// kept so that paths as a Windows user writes them can be handled and tested anywhere.
struct PathSyntax {
  bool Windows = false;

  // The separator a folder path ends in: "\" on Windows, "/" on Linux.
  char Separator() const { return Windows ? '\\' : '/'; }
  // True for every character that separates folders ("\" and "/" on Windows, "/" on Linux).
  bool IsSeparator(char c) const { return c == '/' || (Windows && c == '\\'); }
  // True for characters that end a folder part: separators and, on Windows, the drive's ":".
  bool IsFolderEnd(char c) const { return IsSeparator(c) || (Windows && c == ':'); }

  static PathSyntax WindowsSyntax() { return PathSyntax{true}; }
  static PathSyntax PosixSyntax() { return PathSyntax{false}; }
  static PathSyntax Native() {
#ifdef _WIN32
    return WindowsSyntax();
#else
    return PosixSyntax();
#endif
  }
};

}  // namespace kestrun
