#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrun::tree {

// What one start of kestrun-tree is asked to do.
struct TreeCommand {
  enum class Action { Mirror, Empty, RemoveOld, RemoveEmpty, Create, Delete, Help, Version };
  Action action = Action::Help;
  std::vector<std::string> paths;  // SOURCE DEST for mirror, else the one folder or file
  int32_t days = 0;
  std::vector<std::string> skip;  // extensions, without their point
  bool onlyErrors = false;
  bool keepExisting = false;
};

// Reads the arguments (without the program's name). Bad usage gives nothing and the reason in `error`.
std::optional<TreeCommand> ParseTreeCommand(const std::vector<std::string>& args, std::string& error);

// The text of --help.
std::string TreeUsage();

}  // namespace kestrun::tree
