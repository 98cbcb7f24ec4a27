#include "ui/frmAbout.h"

#include <cmath>
#include <optional>

#include "platform/Processes.h"
#include "platform/WindowSystem.h"
#include "registry/RegUtilities.h"
#include "ui/ViewPlacement.h"
#include "util/ErrorReport.h"
#include "util/FileSystemObject.h"
#include "util/ProcessUtilities.h"
#include "util/StringUtilities.h"
#include "util/SysUtilities.h"

namespace kestrun {

namespace {
constexpr const char* kClass = "frmAbout";

// Where an installer records the system-information program: its full name, or the folder that holds
// it under its standard file name.
constexpr const char* kSysInfoKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kSysInfoValue = "PATH";
constexpr const char* kSysInfoFolderKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kSysInfoFolderValue = "MSINFO";
constexpr const char* kSysInfoFile = "MSINFO32.EXE";

// Starts the program named by `program` as it stands: the text is never split into words nor handed
// to a shell. It runs in a session of its own, so that stopping this program leaves it open.
bool StartProgram(const std::string& program) {
  platform::ProcessControl& processes = platform::Processes();
  const int pid = processes.Spawn({program}, "", true);
  if (pid <= 0) return false;
  processes.Release(pid);
  return true;
}

// Every layout value is taken as its absolute value: a window smaller than its content gets folded,
// positive places instead of negative ones.
long Folded(double twips) { return std::lround(std::fabs(twips)); }
}  // namespace

frmAbout::frmAbout(std::unique_ptr<ui::AboutView> view) : view_(std::move(view)) {
  view_->SetEvents(this);
  Form_Load();
  Link(platform::App().WebAddress);
  ShowLink(true);
  ShowLogo(true);
}

frmAbout::~frmAbout() { view_->SetEvents(nullptr); }

void frmAbout::Form_Load() {
  try {
    ui::ViewPlacement<ui::AboutView> placement(*view_);
    SysUtilities su;
    su.CenterForm(placement);
    const platform::AppFacts& app = platform::App();
    view_->SetCaption("About " + app.Title);
    AddText(platform::TitleWithVersion(app));
    AddText(app.CompanyName);
    AddText(su.GetOSVersionString());
    AddText("System UpTime: " + su.UpTime());
    AddText("");
    AddText(app.Comments);
    AddText("");
    AddText(app.LegalCopyright);
    AddText("");
  } catch (const std::exception&) {
    ReportError(kClass, "Form_Load");
  }
}

void frmAbout::AddText(const std::string& strText) {
  try {
    view_->InsertAtEnd(strText + "\r\n");
    view_->MoveInsertionPointToStart();
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    ReportError(kClass, "AddText");
  }
}

void frmAbout::Link(const std::string& strLink) {
  link_ = strLink;
  view_->SetLinkCaption(strLink);
}

void frmAbout::ShowLink(bool blnShow) {
  showLink_ = blnShow;
  view_->SetLinkVisible(blnShow);
}

void frmAbout::ShowLogo(bool blnShow) {
  showLogo_ = blnShow;
  view_->SetLogoVisible(blnShow);
  Form_Resize();
}

void frmAbout::InitMyObjects(ui::WindowDriver* objA) {
  try {
    // Without a controller or its window the icon stays the one the box was drawn with.
    if (const ui::MainView* mainWindow = objA ? objA->MainWindow() : nullptr) view_->TakeIconFrom(*mainWindow);
  } catch (const std::exception&) {
    ReportError(kClass, "InitMyObjects");
  }
}

void frmAbout::Show(bool modal) { view_->Show(modal); }

void frmAbout::StartSysInfo() {
  try {
    RegUtilities reg;
    const std::string program = reg.GetKeyValue(kSysInfoKey, kSysInfoValue, "");
    if (!program.empty()) {
      if (StartProgram(program)) return;
    } else if (const std::string folder = reg.GetKeyValue(kSysInfoFolderKey, kSysInfoFolderValue, "");
               !folder.empty()) {
      // The file's name is found in any letter case, as on the system it comes from.
      FileSystemObject fso;
      const std::string file = StringUtilities().CheckPathEnding(folder) + kSysInfoFile;
      const std::optional<std::string> found = fso.FileExists(file) ? fso.ResolveExisting(file) : std::nullopt;
      if (found && StartProgram(*found)) return;
    }
  } catch (const std::exception&) {
    // Any failure on the way ends in the same message.
  }
  platform::Windows().MsgBox("System Information Is Unavailable At This Time", platform::mb::OkOnly);
}

void frmAbout::cmdOK_Click() { view_->Close(); }

void frmAbout::lblLink_Click() { ProcessUtilities().ShellDoc(link_); }

void frmAbout::Form_Resize() {
  try {
    using ui::AboutControl;
    using ui::AboutLine;
    const double W = static_cast<double>(view_->ScaleWidth());
    const double H = static_cast<double>(view_->ScaleHeight());
    const ui::TwipsRect logo = view_->ControlRect(AboutControl::imgLogo);
    const double m = static_cast<double>(logo.Left);
    ui::TwipsRect sysInfo = view_->ControlRect(AboutControl::cmdSysInfo);
    ui::TwipsRect ok = view_->ControlRect(AboutControl::cmdOK);
    ui::TwipsRect text = view_->ControlRect(AboutControl::txtText);

    // The buttons stacked in the bottom right corner, the separator above them, the text filling the rest.
    sysInfo.Top = Folded(H - sysInfo.Height - m);
    sysInfo.Left = Folded(W - sysInfo.Width - m);
    ok.Top = Folded(H - sysInfo.Height - ok.Height - 1.5 * m);
    ok.Left = sysInfo.Left;
    const long separator = Folded(H - sysInfo.Height - ok.Height - 2 * m);
    const long rightEnd = Folded(W - m);
    for (AboutLine line : {AboutLine::lnLine0, AboutLine::lnLine1, AboutLine::lnLogoLine0, AboutLine::lnLogoLine1}) {
      ui::TwipsLine position = view_->LinePosition(line);
      if (line == AboutLine::lnLine0 || line == AboutLine::lnLine1) position.Y1 = position.Y2 = separator;
      position.X2 = rightEnd;
      view_->SetLinePosition(line, position);
    }
    text.Width = Folded(W - text.Left - m);
    text.Height = Folded(H - text.Top - sysInfo.Height - ok.Height - 2.5 * m);

    view_->SetControlRect(AboutControl::cmdSysInfo, sysInfo);
    view_->SetControlRect(AboutControl::cmdOK, ok);
    if (!showLogo_) {
      // Without the logo the link goes to the bottom left corner, and icon and text move up into its place.
      ui::TwipsRect link = view_->ControlRect(AboutControl::lblLink);
      ui::TwipsRect icon = view_->ControlRect(AboutControl::imgIcon);
      link.Top = Folded(H - link.Height - link.Left);
      icon.Top = logo.Top;
      text.Top = logo.Top;
      view_->SetControlRect(AboutControl::lblLink, link);
      view_->SetControlRect(AboutControl::imgIcon, icon);
    }
    view_->SetControlRect(AboutControl::txtText, text);
  } catch (const std::exception&) {
    ReportError(kClass, "Form_Resize");
  }
}

}  // namespace kestrun
