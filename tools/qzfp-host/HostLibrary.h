#pragma once
// The driver library as a host sees it: loaded with dlopen, its exports found with dlsym, texts handed over
// as OLE strings allocated (and released) with the library's own allocator.

#include <cstdint>
#include <optional>
#include <string>

namespace qzhost {

// What one export call answered.
struct CallResult {
  std::int32_t fResult = -1;
  std::string fError;
  std::string fOutput;                  // the output text (not OPEN)
  std::optional<std::int32_t> fHandle;  // OPEN only
};

enum class SmacAnswer { Helper, Yes, No, Cancel };

class HostLibrary {
 public:
  // Throws std::runtime_error with dlerror() when the library cannot be loaded or lacks an export.
  explicit HostLibrary(const std::string& aPath);
  ~HostLibrary();
  HostLibrary(const HostLibrary&) = delete;
  HostLibrary& operator=(const HostLibrary&) = delete;

  static bool IsExportName(const std::string& aName);
  // Runs the export aName ("OPEN", "PROCESSRECEIPT", ...) on the request text (UTF-8).
  CallResult Call(const std::string& aName, const std::string& aRequest);

  // Helper leaves the question to the library (the qzfp-confirm helper); the others register a callback
  // that answers at once and prints the question it was asked.
  void SetSmacAnswer(SmacAnswer aAnswer);

 private:
  void* Symbol(const char* aName);

  void* fHandle = nullptr;
};

// The library next to this program, else the build tree's (this program in build/tools/qzfp-host/).
std::string DefaultLibraryPath();

}  // namespace qzhost
