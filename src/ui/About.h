#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ui/MainWindowHost.h"

namespace kestrun {

class frmAbout;

// The About box as the driver uses it: one new window per showing, filled through AddText, then shown.
// A box shown as an ordinary window stays open after its wrapper is gone, until the user closes it.
class About {
 public:
  // Creates and loads the window; raises when no window can be made.
  About();
  ~About();
  About(const About&) = delete;
  About& operator=(const About&) = delete;

  void AddText(const std::string& strText);
  const std::string& Link() const;
  void Link(const std::string& strLink);
  bool ShowLink() const;
  void ShowLink(bool blnShow);
  bool ShowLogo() const;
  void ShowLogo(bool blnShow);

  // The driver whose main window lends the box its icon (not owned; null for none).
  void SetDriver(ui::WindowDriver* objA) { objA_ = objA; }
  // Modal (1) returns when the box has been closed; any other value shows it as an ordinary window.
  void ShowMain(int32_t Modal);

  frmAbout& Form() { return *frm_; }

  // Boxes kept after their wrapper has gone. The program lets go of them once its message loop has
  // ended; a box the user has closed is let go of when the next one is kept. The count is of those
  // still open.
  static void ReleaseOpenWindows();
  static std::size_t OpenWindowCount();

 private:
  std::unique_ptr<frmAbout> frm_;
  ui::WindowDriver* objA_ = nullptr;
};

}  // namespace kestrun
