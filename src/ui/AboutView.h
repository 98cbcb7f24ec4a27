#pragma once
#include <string>

#include "ui/MainView.h"

namespace kestrun::ui {

enum class AboutControl { txtText, cmdOK, cmdSysInfo, imgLogo, lblLink, imgIcon };

// The two etched separators, each a grey and a white line at one height: under the logo, and above the
// buttons.
enum class AboutLine { lnLogoLine0, lnLogoLine1, lnLine0, lnLine1 };

// A line from (X1, Y1) to (X2, Y2) in twips.
struct TwipsLine {
  long X1 = 0;
  long Y1 = 0;
  long X2 = 0;
  long Y2 = 0;
};

// The About box's client area and its controls' places as designed, in twips. The logo's left offset is
// the margin of the whole layout.
inline constexpr long AboutDesignScaleWidth = 5775;
inline constexpr long AboutDesignScaleHeight = 4065;
constexpr TwipsRect AboutDesignRect(AboutControl control) {
  switch (control) {
    case AboutControl::imgLogo: return {120, 120, 2895, 720};
    case AboutControl::lblLink: return {120, 960, 300, 195};
    case AboutControl::imgIcon: return {120, 1440, 495, 495};
    case AboutControl::txtText: return {720, 1440, 4935, 1455};
    case AboutControl::cmdOK: return {4320, 3120, 1335, 345};
    case AboutControl::cmdSysInfo: return {4320, 3600, 1335, 345};
  }
  return {};
}
constexpr TwipsLine AboutDesignLine(AboutLine line) {
  switch (line) {
    case AboutLine::lnLogoLine0: return {135, 1320, 5699, 1320};
    case AboutLine::lnLogoLine1: return {120, 1320, 5669, 1320};
    case AboutLine::lnLine0: return {105, 3000, 5654, 3000};
    case AboutLine::lnLine1: return {120, 3000, 5684, 3000};
  }
  return {};
}
// Which line of each pair is the grey one (the other is white).
constexpr bool AboutLineIsGrey(AboutLine line) { return line == AboutLine::lnLogoLine0 || line == AboutLine::lnLine1; }

// What the About box's view reports back to its logic, from inside its message handling.
class AboutViewEvents {
 public:
  virtual ~AboutViewEvents() = default;
  virtual void Form_Resize() = 0;
  virtual void cmdOK_Click() = 0;
  virtual void cmdSysInfo_Click() = 0;
  virtual void lblLink_Click() = 0;
  // The window was closed (OK, Escape, the title-bar button, a stop of the program).
  virtual void Form_Unload() = 0;
};

// The controls of the About box as its logic sees them. The Qt view owns real widgets; the text view
// prints the text when the box is shown.
class AboutView {
 public:
  virtual ~AboutView() = default;

  virtual void SetEvents(AboutViewEvents* events) = 0;
  virtual void SetCaption(const std::string& caption) = 0;

  // Inserts `text` at the end of the text box.
  virtual void InsertAtEnd(const std::string& text) = 0;
  // Puts the insertion point at the start of the text with nothing selected, so the top is in view.
  virtual void MoveInsertionPointToStart() = 0;

  virtual void SetLinkCaption(const std::string& caption) = 0;
  virtual void SetLinkVisible(bool visible) = 0;
  // Shows or hides the logo with the separator drawn under it.
  virtual void SetLogoVisible(bool visible) = 0;
  // The icon picture and the window's own icon become those of the main window.
  virtual void TakeIconFrom(const MainView& mainWindow) = 0;

  // Geometry in twips, for the layout and for placing the window on the desktop.
  virtual long ScaleWidth() const = 0;
  virtual long ScaleHeight() const = 0;
  virtual TwipsRect ControlRect(AboutControl control) const = 0;
  virtual void SetControlRect(AboutControl control, const TwipsRect& rect) = 0;
  virtual TwipsLine LinePosition(AboutLine line) const = 0;
  virtual void SetLinePosition(AboutLine line, const TwipsLine& position) = 0;
  virtual TwipsRect WindowRect() const = 0;
  virtual void MoveWindow(long left, long top) = 0;

  // Shows the window; a modal one returns when it has been closed, an ordinary one at once.
  virtual void Show(bool modal) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual bool IsShown() const = 0;
};

}  // namespace kestrun::ui
