#pragma once
#include <cstdint>
#include <string>

#include "platform/RunWindow.h"

namespace kestrun {

// What the file-tree engine needs of the program around it. The engine sits below the controller and
// the windows, so it knows them only through these small interfaces: the controller (or a console
// front end) implements them and hands itself over through InitMyObjects.

// Colours of the engine's report lines: blue * 65536 + green * 256 + red, as the log takes them.
namespace treecolor {
inline constexpr int32_t Black = platform::ColorBlack;
inline constexpr int32_t Red = platform::ColorRed;    // something failed
inline constexpr int32_t Blue = platform::ColorBlue;  // something was left in place
}  // namespace treecolor

// The controller's status bar, where the engine shows the folder it is working on.
class TreeStatusBar {
 public:
  virtual ~TreeStatusBar() = default;
  virtual void UpdateStatusBar(const std::string& strText) = 0;
};

// The driver the engine is wired to; it leads to the controller.
class TreeDriver {
 public:
  virtual ~TreeDriver() = default;
  // The controller, or nullptr when there is none (yet).
  virtual TreeStatusBar* TreeController() = 0;
};

// Receives the engine's report lines, one call per line, in the order they happen.
class FileTreeEvents {
 public:
  virtual ~FileTreeEvents() = default;
  virtual void FTC_FileTreeChange(const std::string& strText, int32_t Color) = 0;
};

}  // namespace kestrun
