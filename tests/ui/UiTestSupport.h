#pragma once
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/HeadlessMainView.h"
#include "ui/ViewFactory.h"

namespace kestrun::testing {

// Hands out in-memory main windows and records About box requests instead of showing them.
// Installs itself for its lifetime.
class RecordingViews : public ui::ViewFactory {
 public:
  RecordingViews() : previous_(ui::InstallViewFactory(this)) {}
  ~RecordingViews() override { ui::InstallViewFactory(previous_); }

  std::unique_ptr<ui::MainView> CreateMainView() override {
    if (failCreate) throw std::runtime_error("no window");
    return std::make_unique<ui::HeadlessMainView>();
  }
  void ShowAboutBox(const std::vector<std::string>& lines, int32_t modal) override {
    aboutBoxes.push_back({lines, modal});
  }

  struct About {
    std::vector<std::string> lines;
    int32_t modal;
  };
  std::vector<About> aboutBoxes;
  bool failCreate = false;

 private:
  ui::ViewFactory* previous_;
};

}  // namespace kestrun::testing
