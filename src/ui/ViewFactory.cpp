#include "ui/ViewFactory.h"

#include <iostream>

#include "ui/TextAboutView.h"
#include "util/RuntimeError.h"

namespace kestrun::ui {

std::unique_ptr<AboutView> ViewFactory::CreateAboutView() { return std::make_unique<TextAboutView>(std::cout); }

namespace {

// Until a front end installs its factory there is no window to make: a controller created then reports
// that its window could not be created ("object variable not set"), as it would for any other failure.
class NoViews final : public ViewFactory {
 public:
  std::unique_ptr<MainView> CreateMainView() override { Raise(err::ObjectVariableNotSet); }
};

NoViews g_none;
ViewFactory* g_views = nullptr;

}  // namespace

ViewFactory& Views() { return g_views ? *g_views : g_none; }

ViewFactory* InstallViewFactory(ViewFactory* factory) {
  ViewFactory* before = g_views;
  g_views = factory;
  return before;
}

}  // namespace kestrun::ui
