#pragma once
// Runs export calls the way a till would, one after another in one process, so the handle OPEN answers
// carries over to the later calls: every "{HANDLE}" in a request text is replaced by it.
//
// Script lines (blank lines and lines starting with "#" are skipped):
//   OPEN open.xml              an export name and a request file (relative to the script's folder)
//   !PROCESSRECEIPT bad.xml    the call is expected to answer -1
//   SMAC yes|no|cancel|helper  how the following SMAC questions are answered
//   ECHO some text             prints the text

#include <cstdint>
#include <iosfwd>
#include <string>

#include "tools/qzfp-host/HostLibrary.h"

namespace qzhost {

class HostScript {
 public:
  explicit HostScript(HostLibrary& aLibrary) : fLibrary(aLibrary) {}

  // Runs one call and prints it; answers whether it answered as expected (0, or -1 when aExpectFailure).
  bool RunCall(const std::string& aName, const std::string& aRequestFile, bool aExpectFailure);
  // Runs the script file; answers whether every call answered as expected. Stops at the first call that did
  // not, unless aKeepGoing. Throws std::runtime_error for a line it cannot read.
  bool RunScript(const std::string& aScriptFile, bool aKeepGoing);

  void SetHandle(std::int32_t aHandle) { fHandle = aHandle; }
  std::int32_t Handle() const { return fHandle; }

 private:
  std::string ReadRequest(const std::string& aFile) const;

  HostLibrary& fLibrary;
  std::int32_t fHandle = 0;
};

SmacAnswer ParseSmacAnswer(const std::string& aText);  // throws std::runtime_error

}  // namespace qzhost
