#pragma once
// The command line of the host process.

#include <string>
#include <vector>

namespace qzplatform {

// The host's command-line parameters without the program name, read from /proc/self/cmdline; empty when
// it cannot be read.
std::vector<std::string> CommandLineParameters();

}  // namespace qzplatform
