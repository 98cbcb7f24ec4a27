#pragma once
#include <string>

namespace kestrun {

// One package found in the local folder: where it lies and its name as the file system gives it.
struct SDAT {
  std::string Path;
  std::string Name;
};

}  // namespace kestrun
