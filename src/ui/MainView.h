#pragma once
#include <cstdint>
#include <string>

namespace kestrun::ui {

// Window states, with the numbers a stored or compared value uses.
inline constexpr int WindowStateNormal = 0;
inline constexpr int WindowStateMinimized = 1;

inline constexpr int KeyF1 = 112;

// A rectangle in twips.
struct TwipsRect {
  long Left = 0;
  long Top = 0;
  long Width = 0;
  long Height = 0;
};

enum class MainControl { tboOutput, ProgressBar, sbInfo, imgPin };

// The window's client area and the controls' places as designed, in twips. The window logic moves the
// controls from there when the window is resized.
inline constexpr long DesignScaleWidth = 6420;
inline constexpr long DesignScaleHeight = 3735;
constexpr TwipsRect DesignRect(MainControl control) {
  switch (control) {
    case MainControl::tboOutput: return {120, 120, 5895, 3015};
    case MainControl::ProgressBar: return {120, 3120, 5895, 255};
    case MainControl::sbInfo: return {0, 3360, 6420, 375};
    case MainControl::imgPin: return {6120, 120, 255, 255};
  }
  return {};
}

// What the main window's view reports back to the window logic. The view calls these from inside
// its message handling, so they run between two steps of a run, never in parallel with it.
class MainViewEvents {
 public:
  virtual ~MainViewEvents() = default;
  virtual void Form_Resize() = 0;
  virtual void Form_KeyUp(int KeyCode, int Shift) = 0;
  virtual void imgPin_Click() = 0;
  // The user closed the window (title-bar button, window manager, Ctrl-C on the console).
  virtual void Form_Unload() = 0;
};

// The controls of the main window as the window logic sees them. The Qt view owns real widgets; the
// console view prints.
class MainView {
 public:
  virtual ~MainView() = default;

  virtual void SetEvents(MainViewEvents* events) = 0;
  virtual void SetCaption(const std::string& caption) = 0;

  // Inserts `text` at the end of the log in `color`; the insertion point stays at the end.
  virtual void AppendLog(const std::string& text, int32_t color) = 0;

  // Sets the text of the status panel with `key`; false when the status bar has no such panel.
  virtual bool SetStatusPanelText(const std::string& key, const std::string& text) = 0;
  virtual void RepaintStatusBar() = 0;

  virtual void SetProgressValue(float value) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
  virtual bool ProgressVisible() const = 0;

  // Which picture the pin shows.
  virtual void ShowPinPicture(bool pinned) = 0;
  virtual bool PinShowsPinned() const = 0;

  virtual void SetWindowState(int state) = 0;
  virtual int WindowState() const = 0;
  virtual void Show() = 0;
  virtual void Close() = 0;
  // True from creation until the window is closed (a window never shown is open but not visible).
  virtual bool IsOpen() const = 0;
  // True once Show has put the window on screen (a /Silent run never shows it).
  virtual bool IsShown() const = 0;

  // Geometry in twips, for the layout and for placing the window on the desktop.
  virtual long ScaleWidth() const = 0;
  virtual long ScaleHeight() const = 0;
  virtual TwipsRect ControlRect(MainControl control) const = 0;
  virtual void SetControlRect(MainControl control, const TwipsRect& rect) = 0;
  virtual TwipsRect WindowRect() const = 0;
  virtual void MoveWindow(long left, long top) = 0;

  // False where there is no window to keep on screen (the console): the run's end closes at once.
  virtual bool WaitsBeforeClosing() const { return true; }
};

}  // namespace kestrun::ui
