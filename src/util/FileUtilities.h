#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "util/FileSystemObject.h"

namespace kestrun {

// A file date as the program writes and compares it: "YYYY-MM-DD HH.NN.SS" in local time. Such texts
// order chronologically when compared as strings.
std::string FileDateText(std::chrono::system_clock::time_point when);

// A folder setting as typed ("~/packages") made usable: a leading "~/" (or "~" alone) stands for the
// home folder (HOME, else the user's entry in the password file). Anything else comes back as it is.
std::string ExpandHomeFolder(const std::string& path);

// File operations over the file-system object, and the system's folder queries. Operations that return
// a boolean or a text report nothing: a failure gives false or "". Those documented as raising pass
// every failure on as a RuntimeError.
class FileUtilities {
 public:
  // The file-system object of this instance, created on first use.
  std::shared_ptr<FileSystemObject> FSO();

  // Copies over an existing destination, clearing its read-only attribute first. A destination ending in
  // a separator is a folder that receives the file under its own name.
  bool CopyFile(const std::string& strSFile, const std::string& strDFile, CopyOptions options = {});
  bool DeleteFile(const std::string& strPath);
  // Deletes the file when it was neither modified nor read within the last `lngOld` days.
  bool DeleteOldFile(const std::string& strPath, int32_t lngOld);
  // The test DeleteOldFile makes: neither modified nor read within the last `lngOld` days. Raises.
  bool IsOldFile(const std::string& strPath, int32_t lngOld);

  std::string GetFileModDate(const std::string& strPath);       // raises
  std::string GetFileAccessedDate(const std::string& strPath);  // raises
  int32_t GetFileSize(const std::string& strPath);              // raises; 6 (overflow) from 2 GiB on

  // File contents, one character per byte.
  std::string GetFileString(const std::string& strFileName);
  std::string GetFirstBytesFromFile(const std::string& strFileName, int32_t lngN);
  std::string GetLastBytesFromFile(const std::string& strFileName, int32_t lngN);
  // Name of the largest file in the folder (the first met among equals); "" when all are empty.
  std::string FindLargestFile(const std::string& strFolder);

  bool IsRealZipFile(const std::string& strFileName);
  bool IsRealRarFile(const std::string& strFileName);
  bool IsRealAceFile(const std::string& strFileName);
  bool IsRealEXEFile(const std::string& strFileName);

  // True when the path names an existing folder or file.
  bool CheckDirExists(const std::string& strPath);

  // Folder queries. Linux has no short names, so both give an existing path as it is ("" for a missing
  // one or one of 260 characters or more). The system folders stand for the Windows ones: the system
  // root "/", the programs folder "/usr/bin", and the temporary folder from TMPDIR (else "/tmp"), each in
  // upper case, the temporary folder with its trailing separator.
  std::string GetLongPath(const std::string& strShort);
  std::string GetShortPath(const std::string& strShort);
  std::string GetWindowsDir();
  std::string GetWindowsSystemDir();
  std::string GetTempDir();
  // The folder of a CSIDL folder number; "" for a number without a counterpart here.
  std::string GetSpecialPath(int32_t CSIDL);

 private:
  bool SignatureMatches(const std::string& strFileName, int32_t bytesToRead, std::size_t comparedTail,
                        const std::string& expected);

  std::shared_ptr<FileSystemObject> fso_;
};

}  // namespace kestrun
