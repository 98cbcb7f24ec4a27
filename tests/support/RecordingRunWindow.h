#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/Cancellation.h"
#include "platform/RunWindow.h"
#include "platform/WindowSystem.h"

namespace kestrun::testing {

// The main window around an update run: keeps each log line with its colour, the status text and the
// progress bar, and handles pending messages after each line as the window does. The run is stopped once
// `stopWhen` says so (the user closed the window then) or the program was asked to stop.
class RecordingRunWindow : public platform::RunWindow {
 public:
  struct Line {
    std::string text;
    int32_t color;
  };

  void AddText(std::string strText, int32_t Color) override {
    if (!strText.empty()) log.push_back({std::move(strText), Color});
    platform::Windows().DoEvents();
  }
  void UpdateStatusBar(const std::string& strText) override { status = strText; }
  void ShowProgress(bool visible) override { progressVisible = visible; }
  void SetProgress(float percent) override { progress = percent; }
  bool RunStopped() const override {
    if (!stopped && stopWhen) stopped = stopWhen();
    return stopped || platform::CancelRequested();
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const Line& line : log) lines.push_back(line.text);
    return lines;
  }
  std::string LastLine() const { return log.empty() ? std::string() : log.back().text; }
  // The colour of the first line with this text; -1 when there is none.
  int32_t ColorOf(const std::string& text) const {
    for (const Line& line : log) {
      if (line.text == text) return line.color;
    }
    return -1;
  }

  std::vector<Line> log;
  std::string status;
  bool progressVisible = false;
  float progress = 0;
  std::function<bool()> stopWhen;
  mutable bool stopped = false;
};

}  // namespace kestrun::testing
