#pragma once
#include <string>
#include <vector>

namespace kestrun {

// The GNU options a start may carry beside the program's own "/" switches: --help (-h) and --version
// answer and end without touching anything; any other argument beginning with "-" is refused, so a
// mistyped option never starts a real run. "--" ends the options; "-" alone is an ordinary argument.
struct StartOptions {
  enum class Action { Run, Help, Version, Refused };
  Action action = Action::Run;
  // The arguments that are not options, in the order given: the program's switches and positionals.
  std::vector<std::string> arguments;
};

// Reads the options in the order given; the first of --help, --version or a refused option decides.
// A refused option is named on standard error in GNU's words, followed by "Try 'kestrun --help'.".
StartOptions ReadStartOptions(int argc, char** argv);

std::string HelpText();
// "kestrun 1.00.00": the build's version, minor and revision in two digits as the window shows them.
std::string VersionText();

}  // namespace kestrun
