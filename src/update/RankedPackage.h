#pragma once
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "update/SDAT.h"

namespace kestrun::update {

// A package with its rank. Packages rank by their upper-cased names, compared byte by byte (SDAT999.EXE
// above SDAT1000.EXE), as the recorded latest package is compared; names that differ only in letter
// case follow the names as stored. Fetching in this order makes the package recorded and renamed last
// the newest one, whatever order a server or a folder gives.
struct RankedPackage {
  RankedPackage(std::string path, std::string name)
      : upper(text::UCase(name)), package{std::move(path), std::move(name)} {}
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
