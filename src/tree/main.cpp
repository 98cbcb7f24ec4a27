// kestrun-tree: the file-tree engine driven from the console.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "filetree/FileTree.h"
#include "platform/Cancellation.h"
#include "platform/WindowSystem.h"
#include "tree/TreeCommand.h"
#include "tree/TreeConsole.h"

namespace {

using kestrun::tree::TreeCommand;

std::string VersionText() {
  const auto& app = kestrun::platform::App();
  char text[64];
  std::snprintf(text, sizeof text, "%d.%02d.%02d", app.Major, app.Minor, app.Revision);
  return text;
}

void Run(const TreeCommand& command, kestrun::FileTree& engine) {
  switch (command.action) {
    case TreeCommand::Action::Mirror:
      engine.SourceDir = command.paths[0];
      engine.DestinationDir = command.paths[1];
      engine.OnlyLogErrors = command.onlyErrors;
      engine.DontReplaceExistingFiles = command.keepExisting;
      for (const auto& extension : command.skip) engine.ExtensionToSkip(extension);
      engine.UpdateTree();
      break;
    case TreeCommand::Action::Empty:
      engine.SourceDir = command.paths[0];
      engine.EmptyFolder(command.days);
      break;
    case TreeCommand::Action::RemoveOld:
      engine.SourceDir = command.paths[0];
      engine.RemoveOldFile(command.days);
      break;
    case TreeCommand::Action::RemoveEmpty:
      engine.SourceDir = command.paths[0];
      engine.RemoveEmptySubFolders();
      break;
    case TreeCommand::Action::Create: engine.CreatePath(command.paths[0]); break;
    case TreeCommand::Action::Delete: engine.DeleteFolder(command.paths[0]); break;
    case TreeCommand::Action::Help:
    case TreeCommand::Action::Version: break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  kestrun::platform::InitAppFacts(argv[0]);
  std::string error;
  const auto command = kestrun::tree::ParseTreeCommand(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!command) {
    std::cerr << "kestrun-tree: " << error << "\nTry 'kestrun-tree --help' for more information.\n";
    return 2;
  }
  if (command->action == TreeCommand::Action::Help) {
    std::cout << kestrun::tree::TreeUsage();
    return 0;
  }
  if (command->action == TreeCommand::Action::Version) {
    std::cout << "kestrun-tree " << VersionText() << "\n";
    return 0;
  }

  // Ctrl-C or SIGTERM stops the walk before the next folder or file; the copy under way is finished
  // or abandoned whole. A second Ctrl-C ends the program at once.
  kestrun::platform::InstallInterruptHandlers();
  const bool outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
  kestrun::tree::TreeConsole console(std::cout, std::cerr, outIsTerminal && std::getenv("NO_COLOR") == nullptr,
                                     outIsTerminal, ::isatty(STDERR_FILENO) == 1);
  kestrun::platform::InstallWindowSystem(&console);

  kestrun::FileTree engine;
  engine.InitMyObjects(console);
  engine.SetEvents(&console);
  Run(*command, engine);

  std::cout.flush();
  kestrun::platform::InstallWindowSystem(nullptr);
  return console.Failed() || kestrun::platform::CancelRequested() || !std::cout ? 1 : 0;
}
