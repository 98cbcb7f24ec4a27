#include "app/StartOptions.h"

#include <getopt.h>

#include <cstdio>
#include <iostream>

#include "platform/WindowSystem.h"

namespace kestrun {

namespace {
constexpr const char* kProgram = "kestrun";
}

StartOptions ReadStartOptions(int argc, char** argv) {
  // getopt names the program by argv[0] in its messages and reorders the array it is given: hand it a
  // copy that names us as users type it.
  std::vector<char*> args(argv, argv + argc);
  std::string name = kProgram;
  if (args.empty()) args.push_back(nullptr);
  args[0] = name.data();
  args.push_back(nullptr);
  // clang-format off
  static const option longOptions[] = {
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, 'V'},
      {nullptr, 0, nullptr, 0},
  };
  // clang-format on

  StartOptions result;
  const int count = static_cast<int>(args.size()) - 1;
  optind = 0;  // glibc starts afresh, whatever an earlier call left behind
  opterr = 1;
  for (;;) {
    const int c = getopt_long(count, args.data(), "h", longOptions, nullptr);
    if (c == -1) break;
    if (c == 'h') {
      result.action = StartOptions::Action::Help;
      return result;
    }
    if (c == 'V') {
      result.action = StartOptions::Action::Version;
      return result;
    }
    std::cerr << "Try '" << kProgram << " --help'." << std::endl;
    result.action = StartOptions::Action::Refused;
    return result;
  }
  for (int i = optind; i < count; ++i) result.arguments.emplace_back(args[static_cast<std::size_t>(i)]);
  return result;
}

std::string VersionText() {
  const auto& app = platform::App();
  char version[64];
  std::snprintf(version, sizeof version, "%s %d.%02d.%02d\n", kProgram, app.Major, app.Minor, app.Revision);
  return version;
}

std::string HelpText() {
  return R"(Usage: kestrun [/Init] [/Rename:FILE] [/Copy] [/Minimized] [/Silent] [/?]
       kestrun --help | --version
Keeps a folder supplied with the newest antivirus signature packages. One start is one update run:
fetch every package newer than the one recorded, record it, prune the folder to the newest few.

  /Init           ask for the settings (also done by itself when one is missing)
  /Rename:FILE    copy each fetched package to FILE in the local folder, remove the fetched file
  /Copy           take the packages from a folder (the remote path) instead of an FTP server
  /Minimized      start the window minimised
  /Silent         show nothing: no window; on the console no log on standard output, while
                  failure lines and error reports still go to standard error
  /?              show the usage in the About box and end
  -h, --help      show this help and end
      --version   show the version and end
Switches may be typed in any letter case. An unknown switch is named in the log and ignored.

Settings: a REGEDIT4 text file, the one KESTRUN_REGISTRY names; else, for root (the machine's
settings, shared by 'sudo kestrun /Init' and a root timer), /var/lib/kestrun/registry.reg; else
$XDG_CONFIG_HOME/kestrun/registry.reg (~/.config/kestrun/registry.reg). A leading ~/ in LocalPath,
and in RemotePath and AlternateRemotePath when they name folders (/Copy), means the home folder.

One run at a time: a run holds a lock on the file beside the settings store whose name ends in
".run.lock". A second run waits for it up to 10 minutes, then gives up with exit status 3. Under the
lock a run first removes unfinished downloads (".NAME.XXXXXX.part") that a killed run left behind.

Environment:
  KESTRUN_REGISTRY       the settings store file
  KESTRUN_LOG=FILE       append every log line, with its local time (ISO 8601), to FILE
  KESTRUN_UI             'console' or 'gui' forces the front end; otherwise windows when a display
                         answers (DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM), else the console
  KESTRUN_RUN_LOCK_WAIT  seconds a run waits for another one to finish (default 600)
  KESTRUN_FTP_CONNECT_TIMEOUT, KESTRUN_FTP_STALL_TIMEOUT
                         seconds to connect (default 30), and for a transfer that moves nothing (60)
  KESTRUN_FTP_TRACE=1    print the FTP conversation on standard error
  NO_COLOR               no colours on the console

Exit status:
  0  the run went through (nothing new is success too)
  1  the last source failed, an error report was shown, something could not be recorded, the
     run was stopped (window closed, Ctrl-C, SIGTERM), or no window could be opened for KESTRUN_UI=gui
  2  bad command line: an unrecognized option, or a switch given twice
  3  another run still held the lock
)";
}

}  // namespace kestrun
