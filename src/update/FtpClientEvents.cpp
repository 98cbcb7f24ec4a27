// What the run does with the events of its FTP client component. Each handler lets the window process
// pending messages: during a long listing or download this is what keeps it responsive and lets the
// user close it.
#include <exception>
#include <string>

#include "platform/WindowSystem.h"
#include "update/FtpRetrieval.h"
#include "util/ErrorReport.h"

namespace kestrun::update {

void FtpRetrieval::FtpClient_FileList(const std::string& name) {
  try {
    // Appending keeps a listing of any length linear; GetUpdatesFTP splits the buffer in one pass.
    listingBuffer_.append(name).append("\r\n");
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    ReportError(kReportClass, "FtpClient_FileList");
  }
}

void FtpRetrieval::FtpClient_Progress(int16_t percent) {
  try {
    context_.Window().SetProgress(static_cast<float>(percent));
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    // A progress display that fails must not stop the download.
  }
}

void FtpRetrieval::FtpClient_Status(const std::string& text) {
  try {
    context_.Window().UpdateStatusBar(text);
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    // A status text that cannot be shown must not stop the transfer.
  }
}

void FtpRetrieval::FtpClient_NameSkipped(const std::string& text) {
  try {
    // A name the client would not use (a path separator, a control character, overlong) is the
    // server's doing and matters to whoever reads the log later, not only for a moment in the status bar.
    context_.Window().AddText(text, platform::ColorRed);
  } catch (const std::exception&) {
    // A line that cannot be written must not stop the listing.
  }
}

}  // namespace kestrun::update
