#include "tree/TreeCommand.h"

#include <cstddef>
#include <cstdint>

namespace kestrun::tree {

namespace {

struct Verb {
  const char* name;
  TreeCommand::Action action;
  std::size_t operands;  // DAYS included
  bool days;
  const char* synopsis;
};

// clang-format off
constexpr Verb kVerbs[] = {
    {"mirror", TreeCommand::Action::Mirror, 2, false, "SOURCE DEST"},
    {"empty", TreeCommand::Action::Empty, 2, true, "FOLDER DAYS"},
    {"remove-old", TreeCommand::Action::RemoveOld, 2, true, "FILE DAYS"},
    {"remove-empty", TreeCommand::Action::RemoveEmpty, 1, false, "FOLDER"},
    {"create", TreeCommand::Action::Create, 1, false, "PATH"},
    {"delete", TreeCommand::Action::Delete, 1, false, "FOLDER"},
};
// clang-format on

// A number of days: decimal digits only, at most 2147483647.
std::optional<int32_t> Days(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

void AddSkip(TreeCommand& command, std::string extension) {
  // ".tmp" and "tmp" mean the same extension.
  if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
  command.skip.push_back(extension);
}

}  // namespace

std::optional<TreeCommand> ParseTreeCommand(const std::vector<std::string>& args, std::string& error) {
  TreeCommand command;
  std::vector<std::string> words;
  bool mirrorOptionSeen = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      command.action = TreeCommand::Action::Help;
      return command;
    } else if (arg == "--version") {
      command.action = TreeCommand::Action::Version;
      return command;
    } else if (arg == "--only-errors") {
      command.onlyErrors = mirrorOptionSeen = true;
    } else if (arg == "--keep-existing") {
      command.keepExisting = mirrorOptionSeen = true;
    } else if (arg.rfind("--skip=", 0) == 0) {
      AddSkip(command, arg.substr(7));
      mirrorOptionSeen = true;
    } else if (arg == "--skip") {
      if (i + 1 == args.size()) {
        error = "option '--skip' requires an argument";
        return std::nullopt;
      }
      AddSkip(command, args[++i]);
      mirrorOptionSeen = true;
    } else {
      error = (arg.rfind("--", 0) == 0 ? "unrecognized option '" + arg : "invalid option -- '" + arg.substr(1)) + "'";
      return std::nullopt;
    }
  }

  if (words.empty()) {
    error = "missing command";
    return std::nullopt;
  }
  const Verb* verb = nullptr;
  for (const Verb& v : kVerbs) {
    if (words[0] == v.name) verb = &v;
  }
  if (!verb) {
    error = "unknown command '" + words[0] + "'";
    return std::nullopt;
  }
  if (words.size() - 1 != verb->operands) {
    error = std::string("usage: kestrun-tree ") + verb->name + " " + verb->synopsis;
    return std::nullopt;
  }
  if (mirrorOptionSeen && verb->action != TreeCommand::Action::Mirror) {
    error = "--skip, --only-errors and --keep-existing go with mirror only";
    return std::nullopt;
  }
  command.action = verb->action;
  command.paths.assign(words.begin() + 1, words.end());
  if (verb->days) {
    auto days = Days(command.paths.back());
    if (!days) {
      error = "invalid number of days '" + command.paths.back() + "'";
      return std::nullopt;
    }
    command.days = *days;
    command.paths.pop_back();
  }
  return command;
}

std::string TreeUsage() {
  return "Usage: kestrun-tree COMMAND ARGUMENTS...\n"
         "Keeps folder trees: mirrors one into another, clears out old files and empty folders.\n"
         "\n"
         "  mirror SOURCE DEST   copy every file of SOURCE that DEST lacks or holds in an older version\n"
         "      --skip EXT         leave files with this extension out (may be repeated)\n"
         "      --only-errors      report failures only, not each copy and new folder\n"
         "      --keep-existing    never replace a file that DEST already has\n"
         "  empty FOLDER DAYS    delete the files below FOLDER that were neither changed nor read\n"
         "                       within DAYS days, and the folders that this leaves empty\n"
         "  remove-old FILE DAYS delete FILE if it was neither changed nor read within DAYS days\n"
         "  remove-empty FOLDER  delete each subfolder of FOLDER that holds no file at any depth\n"
         "  create PATH          create a folder and any missing parents\n"
         "  delete FOLDER        delete a folder with everything in it\n"
         "\n"
         "  -h, --help           show this help and exit\n"
         "      --version        show the version and exit\n"
         "\n"
         "Symbolic links inside a tree are never followed: a link to a folder is not mirrored and keeps\n"
         "its folder when emptying; deleting removes the link only.\n"
         "\n"
         "Exit status: 0 success, 1 something failed (red lines, error reports, interrupted), 2 bad usage.\n";
}

}  // namespace kestrun::tree
