#pragma once
#include <string>
#include <vector>

namespace kestrun {

// The command-line tail the argument parser reads, rebuilt from the arguments the program received, so
// that the parser gives back each of them as it was meant: arguments joined by one blank; a value
// holding a blank or a quote is put in quotes the way a Windows user types it (/Rename:"my setup.exe",
// "C:\My Files"); quotes the argument already carries are taken as that kind of quoting, not doubled.
std::string BuildCommandTail(const std::vector<std::string>& arguments);

}  // namespace kestrun
