#include "ui/About.h"

#include <algorithm>
#include <vector>

#include "ui/ViewFactory.h"
#include "ui/frmAbout.h"
#include "util/ErrorReport.h"

namespace kestrun {

namespace {
constexpr const char* kClass = "About";

std::vector<std::unique_ptr<frmAbout>>& OpenWindows() {
  static std::vector<std::unique_ptr<frmAbout>> windows;
  return windows;
}
}  // namespace

About::About() : frm_(std::make_unique<frmAbout>(ui::Views().CreateAboutView())) {}

About::~About() {
  ui::AboutView& view = frm_->View();
  if (!view.IsShown() || !view.IsOpen()) return;
  // Shown as an ordinary window: it stays until the user closes it. Boxes closed since are let go here,
  // outside their own event handling.
  auto& windows = OpenWindows();
  windows.erase(std::remove_if(windows.begin(), windows.end(), [](const auto& w) { return !w->View().IsOpen(); }),
                windows.end());
  windows.push_back(std::move(frm_));
}

void About::AddText(const std::string& strText) {
  try {
    frm_->AddText(strText);
  } catch (const std::exception&) {
    ReportError(kClass, "AddText");
  }
}

const std::string& About::Link() const { return frm_->Link(); }
void About::Link(const std::string& strLink) { frm_->Link(strLink); }
bool About::ShowLink() const { return frm_->ShowLink(); }
void About::ShowLink(bool blnShow) { frm_->ShowLink(blnShow); }
bool About::ShowLogo() const { return frm_->ShowLogo(); }
void About::ShowLogo(bool blnShow) { frm_->ShowLogo(blnShow); }

void About::ShowMain(int32_t Modal) {
  try {
    frm_->InitMyObjects(objA_);
    frm_->Show(Modal == 1);
  } catch (const std::exception&) {
    ReportError(kClass, "ShowMain");
  }
}

void About::ReleaseOpenWindows() { OpenWindows().clear(); }

std::size_t About::OpenWindowCount() {
  const auto& windows = OpenWindows();
  return static_cast<std::size_t>(
      std::count_if(windows.begin(), windows.end(), [](const auto& w) { return w->View().IsOpen(); }));
}

}  // namespace kestrun
