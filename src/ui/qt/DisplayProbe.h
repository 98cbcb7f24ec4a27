#pragma once
#include <chrono>
#include <string>

namespace kestrun::ui::qt {

// Whether the windows Qt would open can be shown here: the empty text when a display answers, else
// why not, for one line on standard error. Qt aborts the process when its display cannot be opened, so
// this is asked first. Every probe is bounded: a display that accepts and then says nothing (a stale
// ssh -X session) counts as none after `limit`.
std::string DisplayProblem(std::chrono::milliseconds limit = std::chrono::seconds(2));

}  // namespace kestrun::ui::qt
