// What one log line costs as the log grows: the Qt window (offscreen) and the console writing to
// /dev/null. Prints the time of the first 1,000 and of 100,000 lines and the cost per line at each end.
// Run with QT_QPA_PLATFORM=offscreen; BENCH_HIDDEN=1 leaves the window unshown (no painting), and a
// first argument changes the number of lines.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

#include "platform/WindowSystem.h"
#include "ui/console/ConsoleMainView.h"
#include "ui/frmMain.h"
#include "ui/qt/QtMainView.h"
#include "ui/qt/QtWindowSystem.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void Measure(const char* name, kestrun::frmMain& form, int total) {
  constexpr int kEdge = 1000;
  const std::string text = "Downloading sdat4300.exe from ftp.example.com ... done";
  Clock::duration first{}, last{};
  const auto start = Clock::now();
  auto mark = start;
  for (int i = 1; i <= total; ++i) {
    form.AddText(text + " #" + std::to_string(i), i % 10 == 0 ? 255 : 0);
    if (i == kEdge) {
      first = Clock::now() - mark;
    }
    if (i == total - kEdge) mark = Clock::now();
  }
  const auto end = Clock::now();
  last = end - mark;
  std::printf("%-8s first %d lines: %8.3f s  (%7.1f us/line)\n", name, kEdge, Seconds(first),
              Seconds(first) * 1e6 / kEdge);
  std::printf("%-8s all %d lines: %8.3f s  last %d lines: %7.1f us/line\n", name, total, Seconds(end - start), kEdge,
              Seconds(last) * 1e6 / kEdge);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  kestrun::ui::qt::QtWindowSystem windows;
  kestrun::platform::InstallWindowSystem(&windows);
  const int total = argc > 1 ? std::atoi(argv[1]) : 100000;

  {
    auto owned = std::make_unique<kestrun::ui::qt::QtMainView>();
    kestrun::frmMain form(std::move(owned));
    form.SetCloseDelay(std::chrono::milliseconds(0));
    if (!std::getenv("BENCH_HIDDEN")) form.Show();
    QCoreApplication::processEvents();
    Measure("Qt", form, total);
    form.Terminate();
  }
  {
    std::ofstream devNull("/dev/null");
    kestrun::frmMain form(std::make_unique<kestrun::ui::ConsoleMainView>(devNull, devNull, false, false));
    Measure("console", form, total);
    form.Terminate();
  }
  kestrun::platform::InstallWindowSystem(nullptr);
  return 0;
}
