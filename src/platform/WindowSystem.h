#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace kestrun::platform {

// Message box styles and answers, with the Windows numbers so that stored or compared values agree.
namespace mb {
inline constexpr int OkOnly = 0;
inline constexpr int OkCancel = 1;
inline constexpr int YesNo = 4;
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;

inline constexpr int AnswerOk = 1;
inline constexpr int AnswerCancel = 2;
inline constexpr int AnswerYes = 6;
inline constexpr int AnswerNo = 7;
}  // namespace mb

// Facts about the running program, as its version resource would hold them.
struct AppFacts {
  std::string Title;    // "Kestrun"
  std::string EXEName;  // executable file name without extension
  std::string Path;     // folder holding the executable, without a trailing separator
  int Major = 0;
  int Minor = 0;
  int Revision = 0;
  std::string CompanyName;
  std::string Comments;
  std::string LegalCopyright;
  std::string FileDescription;
  std::string ProductName;
  std::string WebAddress;  // the maker's page about the program
};

// "Kestrun V1.03.01": the title, then the major version, the minor and the revision as two digits each.
std::string TitleWithVersion(const AppFacts& app);

// The desktop work area in pixels; Ok is false when it could not be asked for.
struct WorkArea {
  bool Ok = false;
  long Left = 0;
  long Top = 0;
  long Right = 0;
  long Bottom = 0;
};

// A display mode of the screen: size in pixels, colour depth in bits per pixel, refresh rate in hertz.
struct DisplayMode {
  long Width = 0;
  long Height = 0;
  long BitsPerPixel = 0;
  long Frequency = 0;
  bool operator==(const DisplayMode&) const = default;
};

// Twips per pixel on a screen of `dotsPerInch` logical dots per inch (1440 twips make an inch); 15, the
// factor at 96 dpi, when the screen does not tell.
constexpr double TwipsPerPixel(double dotsPerInch) { return dotsPerInch > 0 ? 1440.0 / dotsPerInch : 15.0; }

// One of the program's windows as its front end knows it (a QWidget under Qt); null for none.
using WindowHandle = void*;

// The window system the program talks to: dialogs, the message pump, timed waits and facts.
// One implementation draws real Qt windows, one talks on the console, tests script the answers.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // A modal message box. `buttons` combines the mb:: style numbers; an empty caption means the
  // application's title. Returns the mb::Answer* of the button pressed.
  virtual int MsgBox(const std::string& prompt, int buttons = mb::OkOnly, const std::string& caption = {}) = 0;

  // A modal input box. Returns the text typed, or the empty text on Cancel.
  virtual std::string InputBox(const std::string& prompt, const std::string& caption = {},
                               const std::string& defaultText = {}) = 0;

  // Lets pending window messages (repaints, clicks, keys) be handled once.
  virtual void DoEvents() = 0;

  // Handles window messages for at most `duration`, sleeping while there are none.
  virtual void WaitFor(std::chrono::milliseconds duration) = 0;

  virtual WorkArea GetWorkArea() = 0;
  virtual double TwipsPerPixelX() { return TwipsPerPixel(96); }
  virtual double TwipsPerPixelY() { return TwipsPerPixel(96); }

  // Runs the message loop until the program's last window has closed (at once when none is open).
  virtual void RunUntilLastWindowClosed() {}

  // Says something the user must act on (a damaged settings store) where it is seen even when the log
  // is not read: the console writes it to standard error and answers true; a window system answers
  // false, and the caller writes it into the window's log.
  virtual bool Notice(const std::string& text) {
    (void)text;
    return false;
  }

  // The desktop's share of the system utilities. Without windows there is nothing to keep on top, no
  // display mode to list or change, and the About dialog is a message box.
  virtual void SetAlwaysOnTop(WindowHandle window, bool onTop) {
    (void)window;
    (void)onTop;
  }
  virtual std::vector<DisplayMode> DisplayModes() { return {}; }
  virtual bool SetDisplayMode(const DisplayMode& mode) {
    (void)mode;
    return false;
  }
  virtual void ShowSystemAbout(WindowHandle owner, const std::string& appText, const std::string& notice) {
    (void)owner;
    MsgBox(appText + "\n" + notice, mb::Information, "About " + appText);
  }
};

// The window system of this process. Front ends and tests install theirs; without one a console
// window system is used, so library code never meets a missing window system.
WindowSystem& Windows();
// Installs `ws` (not owned) and returns the one installed before, so that a scope can put it back.
WindowSystem* InstallWindowSystem(WindowSystem* ws);

// Application facts: filled once from argv[0] and the build's version.
const AppFacts& App();
void InitAppFacts(const char* argv0);

// The command-line tail the driver parses (the front end sets it from argv at start).
const std::string& CommandTail();
void SetCommandTail(std::string tail);

// Ends the process at once, without the run's clean-up, after flushing the standard streams.
// Tests may replace the action (for example by one that throws) to observe the end.
[[noreturn]] void EndProgramAtOnce(int exitStatus);
using EndProgramAction = void (*)(int exitStatus);
EndProgramAction SetEndProgramAction(EndProgramAction action);

}  // namespace kestrun::platform
