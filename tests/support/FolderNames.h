#pragma once
#include <filesystem>
#include <set>
#include <string>

namespace kestrun::testing {

// The names in a folder, sorted: what a test compares when nothing may be left behind or added.
inline std::set<std::string> NamesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

}  // namespace kestrun::testing
