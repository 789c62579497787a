// qzfp-host: loads the fiscal driver library exactly as a point-of-sale program does and runs its exports.
//
//   qzfp-host [options] CALL REQUEST.xml      one call (CALL: OPEN, PROCESSRECEIPT, PROCESSZREPORT,
//                                             PROCESSXREPORT, PROCESSGETSTATUS)
//   qzfp-host [options] --script FILE         a sequence of calls in one process (see HostScript.h)
//
// Exit status: 0 when every call answered as expected, 1 when one did not, 2 for a wrong command line, an
// unreadable file or a library that cannot be loaded.

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/qzfp-host/HostLibrary.h"
#include "tools/qzfp-host/HostScript.h"

namespace {

constexpr const char* kUsage =
    "usage: qzfp-host [options] CALL REQUEST.xml\n"
    "       qzfp-host [options] --script FILE\n"
    "options:\n"
    "  --library PATH     the driver library (default: QZFP_VELMO_10.so beside this program, else the\n"
    "                     build tree's)\n"
    "  --smac ANSWER      answer the SMAC question yes, no or cancel through the confirm callback;\n"
    "                     helper (the default) leaves it to the qzfp-confirm window\n"
    "  --handle N         the value of {HANDLE} in request texts (a script's OPEN replaces it)\n"
    "  --data-root DIR    sets QZFP_DATA_ROOT (the till data folder) before the library is loaded\n"
    "  --app-dir DIR      sets QZFP_APP_DIR (log files and QZPA_VELMO_10.ini) before the library is loaded\n"
    "  --keep-going       in a script, go on after a call that did not answer as expected\n"
    "script lines: CALL FILE | !CALL FILE (expected to answer -1) | SMAC yes|no|cancel|helper | ECHO text\n";

[[noreturn]] void Usage(const std::string& aProblem) {
  std::fprintf(stderr, "qzfp-host: %s\n%s", aProblem.c_str(), kUsage);
  std::exit(2);
}

struct Options {
  std::string fLibrary;
  std::string fSmac = "helper";
  std::string fScript;
  std::string fCall;
  std::string fRequest;
  int fHandle = 0;
  bool fKeepGoing = false;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(option + " needs a value");
      return argv[++i];
    };
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (option == "--library") {
      options.fLibrary = value();
    } else if (option == "--smac") {
      options.fSmac = value();
    } else if (option == "--script") {
      options.fScript = value();
    } else if (option == "--handle") {
      options.fHandle = std::atoi(value().c_str());
    } else if (option == "--data-root") {
      setenv("QZFP_DATA_ROOT", value().c_str(), 1);
    } else if (option == "--app-dir") {
      setenv("QZFP_APP_DIR", value().c_str(), 1);
    } else if (option == "--keep-going") {
      options.fKeepGoing = true;
    } else if (option.rfind("--", 0) == 0) {
      Usage("unknown option " + option);
    } else {
      positional.push_back(option);
    }
  }
  if (options.fScript.empty()) {
    if (positional.size() != 2) Usage("one call and one request file are needed");
    options.fCall = positional[0];
    options.fRequest = positional[1];
  } else if (!positional.empty()) {
    Usage("a script takes no other call");
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseOptions(argc, argv);
  try {
    qzhost::SmacAnswer smac = qzhost::ParseSmacAnswer(options.fSmac);
    std::string libraryPath = options.fLibrary.empty() ? qzhost::DefaultLibraryPath() : options.fLibrary;
    qzhost::HostLibrary library(libraryPath);
    library.SetSmacAnswer(smac);
    qzhost::HostScript script(library);
    script.SetHandle(options.fHandle);
    bool asExpected = options.fScript.empty() ? script.RunCall(options.fCall, options.fRequest, false)
                                              : script.RunScript(options.fScript, options.fKeepGoing);
    return asExpected ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qzfp-host: %s\n", error.what());
    return 2;
  }
}
