#pragma once
// The windows live in a module of their own (kestrun-gui.so, beside the program under lib/kestrun/),
// loaded only when a window is wanted: a server runs the program with no Qt or X11 library installed.
// The module takes the program's own functions from the program itself, so it only works with the
// program it was built with; its version is read and compared before anything else of it is used.
#include <cstddef>
#include <string>

extern "C" {

// What the module offers, from its one exported function `kestrun_window_module`.
struct KestrunWindowModule {
  // The program version the module was built with, "1.0.0".
  const char* version;
  // Writes why no window can be shown here into `why` (size bytes, ended by NUL), or the empty text
  // when a display answers within `limitMs`. Qt aborts on a display it cannot open, so this comes first.
  void (*displayProblem)(char* why, std::size_t size, int limitMs);
  // Runs the program with windows; returns its exit status.
  int (*run)(int argc, char** argv);
};

typedef const KestrunWindowModule* (*KestrunWindowModuleEntry)(void);

}  // extern "C"

namespace kestrun::ui {

inline constexpr const char* kWindowModuleEntry = "kestrun_window_module";

// The module's place: relative to the folder of the running program (found through /proc/self/exe, so
// an installed tree works wherever it was installed, and so does the build tree).
std::string WindowModulePath();

// Loads the module at `path` and checks its version. On success `module` is set and the text is empty;
// otherwise the text says why not, for one line on standard error, and nothing stays loaded.
std::string LoadWindowModule(const std::string& path, const KestrunWindowModule*& module);

}  // namespace kestrun::ui
