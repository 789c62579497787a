#pragma once
// Where the system keeps its files on this platform. The environment is read on every call, so a host (or
// a test) may change it at any time.

#include <string>

namespace qzplatform {

// Full path of the host executable (the program that loaded the library, not the library): the target of
// /proc/self/exe.
std::string HostExecutablePath();
// Folder of the host executable with a trailing "/": $QZFP_APP_DIR when set and not empty (hosts that are
// interpreters, tests), else the folder of HostExecutablePath().
std::string ApplicationDirectory();
// File name of the host executable without its extension ("qzfp-host", "pos" for "pos.bin").
std::string ApplicationName();
// The system's fixed data folder, with a trailing "/": $QZFP_DATA_ROOT when set and not empty, else
// /var/lib/QZ_FPR_DB/.
std::string DataRoot();

}  // namespace qzplatform
