#include "ui/console/ConsoleMainView.h"

#include <ostream>

namespace kestrun::ui {

ConsoleMainView::ConsoleMainView(std::ostream& out, std::ostream& err, bool colourOut, bool statusOnErr)
    : out_(out), err_(err), colourOut_(colourOut), statusOnErr_(statusOnErr) {}

void ConsoleMainView::AppendLog(const std::string& text, int32_t color) {
  HeadlessMainView::AppendLog(text, color);
  if (text.empty()) return;
  ClearStatusLine();
  // The log keeps Windows line ends; a console line ends in a line feed.
  std::string line = text;
  while (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.resize(line.size() - 2);
  const bool coloured = colourOut_ && color != ColorBlack;
  if (coloured) out_ << (color == ColorRed ? "\x1b[31m" : "\x1b[34m");
  out_ << line;
  if (coloured) out_ << "\x1b[0m";
  out_ << '\n';
  out_.flush();
}

void ConsoleMainView::ClearStatusLine() {
  if (statusShown_) {
    err_ << "\r\x1b[K";
    err_.flush();
    statusShown_ = false;
  }
}

bool ConsoleMainView::SetStatusPanelText(const std::string& key, const std::string& text) {
  if (!HeadlessMainView::SetStatusPanelText(key, text)) return false;
  if (statusOnErr_) {
    err_ << "\r\x1b[K" << text;
    err_.flush();
    statusShown_ = !text.empty();
  }
  return true;
}

void ConsoleMainView::SetProgressValue(float value) {
  HeadlessMainView::SetProgressValue(value);
  const int percent = static_cast<int>(value);
  if (!statusOnErr_ || !ProgressVisible() || percent == lastPercent_) return;
  lastPercent_ = percent;
  err_ << "\r\x1b[K" << percent << "%";
  err_.flush();
  statusShown_ = true;
}

void ConsoleMainView::SetProgressVisible(bool visible) {
  HeadlessMainView::SetProgressVisible(visible);
  if (!visible) {
    lastPercent_ = -1;
    ClearStatusLine();
  }
}

}  // namespace kestrun::ui
