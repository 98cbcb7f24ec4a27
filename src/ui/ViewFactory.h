#pragma once
#include <memory>

#include "ui/AboutView.h"
#include "ui/MainView.h"

namespace kestrun::ui {

// Creates the views of the program's windows for the front end in use (Qt or console).
class ViewFactory {
 public:
  virtual ~ViewFactory() = default;
  virtual std::unique_ptr<MainView> CreateMainView() = 0;

  // The About box's view; without windows its text goes to standard output when it is shown.
  virtual std::unique_ptr<AboutView> CreateAboutView();

  // A /Silent run shows no main window. Where the main view is the console, it then writes only the
  // failure (red) lines, to standard error, so that a scheduler hears of a run only when it went wrong.
  virtual void SetSilent(bool /*silent*/) {}
};

// The factory of this process; installed by the front end at start or by a test. Without one no main
// window can be made.
ViewFactory& Views();
ViewFactory* InstallViewFactory(ViewFactory* factory);

}  // namespace kestrun::ui
