#pragma once
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Cancellation.h"
#include "platform/Text.h"
#include "ui/frmMain.h"
#include "update/SDAT.h"

namespace kestrun::update {

// True once the user closed the main window or interrupted the program: the run then stops at its
// next step, copies nothing more and records nothing more.
inline bool RunStopped(const frmMain& form) { return form.Unloaded() || platform::CancelRequested(); }

// A name holding a control character (a line break, an escape) would forge or garble log lines and
// stored values; such a file is no package of ours.
inline bool HasControlCharacter(std::string_view name) {
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// A package with its rank. Packages rank by their upper-cased names, compared byte by byte (SDAT999.EXE
// above SDAT1000.EXE), as the recorded latest package is compared; names that differ only in letter
// case follow the names as stored. Fetching in this order makes the package recorded and renamed last
// the newest one, whatever order a server or a folder gives.
struct RankedPackage {
  RankedPackage(std::string path, std::string name) : upper(text::UCase(name)), package{std::move(path), std::move(name)} {}
  std::string upper;
  SDAT package;
};

// One sort: O(n log n) however many packages a folder or a listing holds.
inline void SortByRank(std::vector<RankedPackage>& packages) {
  std::sort(packages.begin(), packages.end(), [](const RankedPackage& a, const RankedPackage& b) {
    return a.upper != b.upper ? a.upper < b.upper : a.package.Name < b.package.Name;
  });
}

}  // namespace kestrun::update
