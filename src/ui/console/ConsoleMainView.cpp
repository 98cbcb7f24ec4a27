#include "ui/console/ConsoleMainView.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "platform/RunWindow.h"
#include "platform/Text.h"

namespace kestrun::ui {

ConsoleMainView::ConsoleMainView(std::ostream& out, std::ostream& err, bool colourOut, bool statusOnErr, bool silent)
    : out_(out), err_(err), colourOut_(colourOut), statusOnErr_(statusOnErr), silent_(silent) {}

void ConsoleMainView::AppendLog(const std::string& text, int32_t color) {
  // Written out and gone: the console keeps no copy of the log, however long the run.
  if (text.empty()) return;
  if (silent_ && color != platform::ColorRed) return;
  if (!shown_ && !silent_) {
    beforeShow_.emplace_back(text, color);
    return;
  }
  ClearStatusLine();
  // The log keeps Windows line ends; a console line ends in a line feed.
  std::string line = text::WithLineFeeds(text);
  if (!line.empty() && line.back() == '\n') line.pop_back();  // the line end the window logic added
  if (silent_) {
    err_ << line << std::endl;
    return;
  }
  if (outFailed_) return;
  const char* colour = !colourOut_                    ? nullptr
                       : color == platform::ColorRed  ? "\x1b[31m"
                       : color == platform::ColorBlue ? "\x1b[34m"
                                                      : nullptr;
  if (colour) out_ << colour;
  out_ << line;
  if (colour) out_ << "\x1b[0m";
  out_ << '\n';
  out_.flush();
  if (!out_) {
    // The packages matter more than their log: say it once and go on.
    outFailed_ = true;
    err_ << "kestrun: the log can no longer be written to standard output (" << std::strerror(errno)
         << "); the run goes on" << std::endl;
  }
}

void ConsoleMainView::Show() {
  if (shown_) return;
  shown_ = true;
  for (const auto& [text, color] : beforeShow_) AppendLog(text, color);
  beforeShow_.clear();
}

void ConsoleMainView::ClearStatusLine() {
  if (statusShown_) {
    err_ << "\r\x1b[K";
    err_.flush();
    statusShown_ = false;
  }
}

void ConsoleMainView::Close() {
  if (!open_) return;
  open_ = false;
  if (events_) events_->Form_Unload();
}

bool ConsoleMainView::SetStatusPanelText(const std::string& key, const std::string& text) {
  if (text::UCase(key) != "INFO") return false;
  if (statusOnErr_) {
    err_ << "\r\x1b[K" << text;
    err_.flush();
    statusShown_ = !text.empty();
  }
  return true;
}

void ConsoleMainView::SetProgressValue(float value) {
  const int percent = static_cast<int>(value);
  if (!statusOnErr_ || !progressVisible_ || percent == lastPercent_) return;
  lastPercent_ = percent;
  err_ << "\r\x1b[K" << percent << "%";
  err_.flush();
  statusShown_ = true;
}

void ConsoleMainView::SetProgressVisible(bool visible) {
  progressVisible_ = visible;
  if (!visible) {
    lastPercent_ = -1;
    ClearStatusLine();
  }
}

}  // namespace kestrun::ui
