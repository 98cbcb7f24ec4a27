#include "ui/HeadlessMainView.h"

#include <iostream>

#include "platform/Text.h"
#include "ui/ViewFactory.h"
#include "util/StringUtilities.h"

namespace kestrun::ui {

HeadlessMainView::HeadlessMainView() {
  panels_["INFO"] = "Some status messages will appear here!";
  // The controls at their design positions, in twips.
  controls_[MainControl::tboOutput] = {120, 120, 5895, 3015};
  controls_[MainControl::ProgressBar] = {120, 3120, 5895, 255};
  controls_[MainControl::sbInfo] = {0, 3360, 6420, 375};
  controls_[MainControl::imgPin] = {6120, 120, 255, 255};
}

void HeadlessMainView::AppendLog(const std::string& text, int32_t color) {
  if (!text.empty()) log_.push_back({text, color});
}

std::vector<std::string> HeadlessMainView::Lines() const {
  std::string all;
  for (const auto& piece : log_) all += piece.text;
  std::vector<std::string> lines = StringUtilities().SplitFields(all, "\r\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

bool HeadlessMainView::SetStatusPanelText(const std::string& key, const std::string& text) {
  auto it = panels_.find(text::UCase(key));
  if (it == panels_.end()) return false;
  it->second = text;
  return true;
}

std::string HeadlessMainView::StatusText() const {
  auto it = panels_.find("INFO");
  return it == panels_.end() ? std::string() : it->second;
}

TwipsRect HeadlessMainView::ControlRect(MainControl control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? TwipsRect{} : it->second;
}

void HeadlessMainView::SetControlRect(MainControl control, const TwipsRect& rect) { controls_[control] = rect; }

void ViewFactory::ShowAboutBox(const std::vector<std::string>& lines, int32_t /*modal*/) {
  for (const auto& line : lines) std::cout << line << '\n';
  std::cout.flush();
}

namespace {
class HeadlessViewFactory final : public ViewFactory {
 public:
  std::unique_ptr<MainView> CreateMainView() override { return std::make_unique<HeadlessMainView>(); }
};
HeadlessViewFactory g_headless;
ViewFactory* g_views = nullptr;
}  // namespace

ViewFactory& Views() { return g_views ? *g_views : g_headless; }

ViewFactory* InstallViewFactory(ViewFactory* factory) {
  ViewFactory* before = g_views;
  g_views = factory;
  return before;
}

}  // namespace kestrun::ui
