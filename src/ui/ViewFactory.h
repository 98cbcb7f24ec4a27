#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/MainView.h"

namespace kestrun::ui {

// Creates the views of the program's windows for the front end in use (Qt or console).
class ViewFactory {
 public:
  virtual ~ViewFactory() = default;
  virtual std::unique_ptr<MainView> CreateMainView() = 0;

  // Shows the About box with `lines` below the program's facts; modal (1) returns when it is closed.
  // Without a window the lines go to standard output.
  virtual void ShowAboutBox(const std::vector<std::string>& lines, int32_t modal);

  // A /Silent run shows no main window. Where the main view is the console, it then writes only the
  // failure (red) lines, to standard error, so that a scheduler hears of a run only when it went wrong.
  virtual void SetSilent(bool /*silent*/) {}
};

// The factory of this process; installed by the front end at start or by a test. Without one no main
// window can be made.
ViewFactory& Views();
ViewFactory* InstallViewFactory(ViewFactory* factory);

}  // namespace kestrun::ui
