#pragma once
#include <cstdint>
#include <string>

namespace kestrun::platform {

// Log colours: blue * 65536 + green * 256 + red.
inline constexpr int32_t ColorBlack = 0;
inline constexpr int32_t ColorRed = 255;
inline constexpr int32_t ColorBlue = 16711680;

// The window an update run reports to: the main window in the program. The run itself lets the window
// system process pending messages (Windows().DoEvents()) at each file of a scan and each event of the
// FTP client; this is all else it asks of a window.
class RunWindow {
 public:
  virtual ~RunWindow() = default;
  // Appends one line to the log in `Color`.
  virtual void AddText(std::string strText, int32_t Color = ColorBlack) = 0;
  // Shows `strText` in the status bar; the empty text clears it.
  virtual void UpdateStatusBar(const std::string& strText) = 0;
  // The download progress bar: shown or hidden, and its value from 0 to 100.
  virtual void ShowProgress(bool visible) = 0;
  virtual void SetProgress(float percent) = 0;
  // True once the user closed the window or the program was asked to stop: the run then stops at its
  // next step, copies nothing more and records nothing more.
  virtual bool RunStopped() const = 0;
};

}  // namespace kestrun::platform
