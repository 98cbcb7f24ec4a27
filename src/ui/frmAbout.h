#pragma once
#include <memory>
#include <string>

#include "ui/AboutView.h"
#include "ui/MainWindowHost.h"

namespace kestrun {

// The About box: who the program is, where it runs and, opened by the driver, how it is started. Its
// state and behaviour live here; the view (Qt widgets, or text on standard output) only shows it.
// Creating it loads it: the window is centred, captioned and holds its nine lines of facts before the
// first line from the driver arrives.
class frmAbout : public ui::AboutViewEvents {
 public:
  explicit frmAbout(std::unique_ptr<ui::AboutView> view);
  ~frmAbout() override;
  frmAbout(const frmAbout&) = delete;
  frmAbout& operator=(const frmAbout&) = delete;

  // Appends one line to the text and shows the text from its top.
  void AddText(const std::string& strText);

  // The link label's target and caption; clicking it opens the target.
  const std::string& Link() const { return link_; }
  void Link(const std::string& strLink);
  bool ShowLink() const { return showLink_; }
  void ShowLink(bool blnShow);
  // Showing or hiding the logo lays the window out again.
  bool ShowLogo() const { return showLogo_; }
  void ShowLogo(bool blnShow);

  // Takes the main window's icon when the driver (null for none) has a controller with a window.
  void InitMyObjects(ui::WindowDriver* objA);
  void Show(bool modal);
  // Starts the system-information program the settings store names, or says it is unavailable.
  void StartSysInfo();

  // Window events.
  void Form_Load();
  void Form_Resize() override;
  void cmdOK_Click() override;
  void cmdSysInfo_Click() override { StartSysInfo(); }
  void lblLink_Click() override;
  void Form_Unload() override {}

  ui::AboutView& View() { return *view_; }

 private:
  std::unique_ptr<ui::AboutView> view_;
  std::string link_;
  bool showLink_ = false;
  bool showLogo_ = false;
};

}  // namespace kestrun
