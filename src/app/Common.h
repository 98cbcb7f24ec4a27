#pragma once

namespace kestrun {

// The program's start procedure: one Application, one run, its clean-up. Returns the exit status.
int Main();

}  // namespace kestrun
