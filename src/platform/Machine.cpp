#include "platform/Machine.h"

#include "platform/LinuxMachine.h"

namespace kestrun::platform {
namespace {
Machine* g_installed = nullptr;
}  // namespace

Machine& ThisMachine() {
  static LinuxMachine system(SystemProcesses());
  return g_installed ? *g_installed : system;
}

Machine* InstallMachine(Machine* m) {
  Machine* before = g_installed;
  g_installed = m;
  return before;
}

}  // namespace kestrun::platform
