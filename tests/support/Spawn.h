#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrun::testing {

// Starts `args` (args[0] a path; no shell) with standard input, output and error on the given
// descriptors (-1: inherited) and no other descriptor of ours, so that no file or socket of a test lives
// on in the child. -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& args, int in = -1, int out = -1, int err = -1);

}  // namespace kestrun::testing
