#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/Cancellation.h"
#include "platform/RunWindow.h"
#include "platform/WindowSystem.h"

namespace kestrun::testing {

// Stands in for the main window around an update run: records each log line with its colour, the last
// status text and the progress bar. Like the main window it lets pending messages be handled after each
// line. The run counts as stopped once `stopWhen` has said so (the user closed the window at that
// moment) or the program was asked to stop.
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
