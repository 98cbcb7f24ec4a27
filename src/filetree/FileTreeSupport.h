#pragma once
#include <string>
#include <string_view>

namespace kestrun::filetree {

// Shows the error report for the failure being handled, as ReportError does, with the place the engine
// was working on added on a line of its own: "(" place ")". Call it from a catch block.
void ReportWithPlace(std::string_view procedure, const std::string& place);

// True when `path` itself is a symbolic link (a trailing separator is not followed).
bool IsLink(const std::string& path);

// True when something is there under exactly this name. The file-system object also finds a name
// written in another letter case; within a tree that would be another file.
bool ExistsExactly(const std::string& path);

// True when anything but a folder lies anywhere below `folder`, links not followed. A folder that cannot
// be read through counts as holding something: nothing in it is known to be unneeded.
bool HoldsAnythingButFolders(const std::string& folder);

}  // namespace kestrun::filetree
