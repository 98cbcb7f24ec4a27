// The one function the window module exports: the program finds the windows through it.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "BuildConfig.h"
#include "ui/WindowModule.h"
#include "ui/qt/DisplayProbe.h"
#include "ui/qt/QtFrontEnd.h"

namespace {

void DisplayProblem(char* why, std::size_t size, int limitMs) {
  if (size == 0) return;
  const std::string problem = kestrun::ui::qt::DisplayProblem(std::chrono::milliseconds(limitMs));
  const std::size_t length = std::min(problem.size(), size - 1);
  std::memcpy(why, problem.data(), length);
  why[length] = '\0';
}

const KestrunWindowModule kModule{KESTRUN_VERSION, &DisplayProblem, &kestrun::ui::qt::RunWithQt};

}  // namespace

extern "C" __attribute__((visibility("default"))) const KestrunWindowModule* kestrun_window_module() {
  return &kModule;
}
