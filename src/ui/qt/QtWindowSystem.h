#pragma once
#include <memory>

#include "platform/WindowSystem.h"
#include "ui/ViewFactory.h"

class QScreen;
class QSocketNotifier;

namespace kestrun::ui::qt {

// Twips per pixel on `screen` (the primary screen when null), across or down.
double ScreenTwipsPerPixel(const QScreen* screen, bool across);

// Dialogs, the message pump and the desktop facts on Qt. A QApplication must exist.
// SIGINT and SIGTERM reach the event loop through the interrupt descriptor: every open dialog then
// closes as cancelled, and so does a window left open after the run, so the program ends at once.
class QtWindowSystem final : public platform::WindowSystem, public ViewFactory {
 public:
  QtWindowSystem();
  ~QtWindowSystem() override;
  QtWindowSystem(const QtWindowSystem&) = delete;
  QtWindowSystem& operator=(const QtWindowSystem&) = delete;

  int MsgBox(const std::string& prompt, int buttons, const std::string& caption) override;
  std::string InputBox(const std::string& prompt, const std::string& caption, const std::string& defaultText) override;
  void DoEvents() override;
  void WaitFor(std::chrono::milliseconds duration) override;
  platform::WorkArea GetWorkArea() override;
  double TwipsPerPixelX() override;
  double TwipsPerPixelY() override;
  void RunUntilLastWindowClosed() override;

  // The desktop's share of the system utilities (QtWindowSystemDesktop.cpp).
  void SetAlwaysOnTop(platform::WindowHandle window, bool onTop) override;
  std::vector<platform::DisplayMode> DisplayModes() override;
  bool SetDisplayMode(const platform::DisplayMode& mode) override;
  void ShowSystemAbout(platform::WindowHandle owner, const std::string& appText, const std::string& notice) override;

  std::unique_ptr<MainView> CreateMainView() override;
  std::unique_ptr<AboutView> CreateAboutView() override;

 private:
  static void CloseEverything();

  std::unique_ptr<QSocketNotifier> interrupts_;
};

}  // namespace kestrun::ui::qt
