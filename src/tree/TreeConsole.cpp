#include "tree/TreeConsole.h"

#include <ostream>
#include <thread>

#include "platform/FtpListing.h"

namespace kestrun::tree {

TreeConsole::TreeConsole(std::ostream& out, std::ostream& err, bool colour, bool interactive, bool status)
    : out_(out), err_(err), colour_(colour), interactive_(interactive), status_(status) {}

void TreeConsole::ClearStatus() {
  if (!statusShown_) return;
  err_ << "\r\x1b[K" << std::flush;
  statusShown_ = false;
}

void TreeConsole::UpdateStatusBar(const std::string& strText) {
  if (!status_) return;
  ClearStatus();
  if (strText.empty()) return;
  err_ << platform::PrintableName(strText, 200) << std::flush;
  statusShown_ = true;
}

void TreeConsole::FTC_FileTreeChange(const std::string& strText, int32_t Color) {
  if (Color == treecolor::Red) ++failures_;
  ClearStatus();
  const char* colour = !colour_                   ? nullptr
                       : Color == treecolor::Red  ? "\x1b[31m"
                       : Color == treecolor::Blue ? "\x1b[34m"
                                                  : nullptr;
  if (colour) out_ << colour;
  out_ << strText;
  if (colour) out_ << "\x1b[0m";
  out_ << '\n';
  // Piped or redirected, the lines go out in large writes: emptying a big tree reports every file.
  if (interactive_) out_.flush();
}

int TreeConsole::MsgBox(const std::string& prompt, int buttons, const std::string& /*caption*/) {
  ++failures_;
  ClearStatus();
  out_.flush();
  // The report's Windows line breaks become the console's.
  std::string text = prompt;
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  err_ << text << std::endl;
  return (buttons & 0x7) == platform::mb::YesNo ? platform::mb::AnswerYes : platform::mb::AnswerOk;
}

void TreeConsole::WaitFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace kestrun::tree
