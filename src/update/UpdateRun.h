#pragma once
#include <string_view>

#include "platform/Cancellation.h"
#include "ui/frmMain.h"

namespace kestrun::update {

// True once the user closed the main window or interrupted the program: the run then stops at its
// next step, copies nothing more and records nothing more.
inline bool RunStopped(const frmMain& form) { return form.Unloaded() || platform::CancelRequested(); }

// A name holding a control character (a line break, an escape) would forge or garble log lines and
// stored values; such a file is no package of ours.
inline bool HasControlCharacter(std::string_view name) {
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace kestrun::update
