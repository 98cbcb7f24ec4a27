// What the main window does with the events of its FTP client component. Each handler lets the window
// process pending messages: during a long listing or download this is what keeps it responsive and
// lets the user close it.
#include <exception>
#include <string>

#include "app/AppMain.h"
#include "platform/WindowSystem.h"
#include "ui/frmMain.h"
#include "util/ErrorReport.h"

namespace kestrun {

void frmMain::FtpClient_FileList(const std::string& name) {
  try {
    // Appending keeps a listing of any length linear; GetUpdatesFTP splits the buffer in one pass.
    listingBuffer_.append(name).append("\r\n");
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    ReportError("frmMain", "FtpClient_FileList");
  }
}

void frmMain::FtpClient_Progress(int16_t percent) {
  try {
    view_->SetProgressValue(static_cast<float>(percent));
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    // A progress display that fails must not stop the download.
  }
}

void frmMain::FtpClient_Status(const std::string& text) {
  try {
    if (objAM_) objAM_->UpdateStatusBar(text);
    // Names the client would not use (path separators, control characters, overlong) are the
    // server's doing and matter to whoever reads the log later, not only for a moment in the status bar.
    if (text.find("unsafe name") != std::string::npos) AddText(text, ui::ColorRed);
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    // A status text that cannot be shown must not stop the transfer.
  }
}

}  // namespace kestrun
