#include "support/HeadlessMainView.h"

#include "platform/Text.h"
#include "util/StringUtilities.h"

namespace kestrun::testing {

HeadlessMainView::HeadlessMainView() {
  for (MainControl control :
       {MainControl::tboOutput, MainControl::ProgressBar, MainControl::sbInfo, MainControl::imgPin})
    controls_[control] = ui::DesignRect(control);
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

}  // namespace kestrun::testing
