// A window module as another version of the program would build it: the program must refuse it.
// Were it used, its run would end the program with status 99.
#include "ui/WindowModule.h"

namespace {
void NoProblem(char* why, std::size_t size, int) {
  if (size > 0) why[0] = '\0';
}
int Run(int, char**) { return 99; }
const KestrunWindowModule kModule{"0.0.0-other", &NoProblem, &Run};
}  // namespace

extern "C" __attribute__((visibility("default"))) const KestrunWindowModule* kestrun_window_module() {
  return &kModule;
}
