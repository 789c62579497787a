#pragma once
// Small fixtures shared by the framework tests: a private host folder and data root, and request texts.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace qzfwtest {

// A fresh folder used as the host executable's folder (QZFP_APP_DIR) and, in "data/", as the data root
// (QZFP_DATA_ROOT). The previous environment comes back and the folder is removed at the end.
class HostFolders {
 public:
  HostFolders() {
    char pattern[] = "/tmp/qzfw-XXXXXX";
    fRoot = ::mkdtemp(pattern);
    Save("QZFP_APP_DIR", fSavedAppDir);
    Save("QZFP_DATA_ROOT", fSavedDataRoot);
    ::setenv("QZFP_APP_DIR", (fRoot.string() + "/").c_str(), 1);
    ::setenv("QZFP_DATA_ROOT", (fRoot.string() + "/data/").c_str(), 1);
  }
  ~HostFolders() {
    Restore("QZFP_APP_DIR", fSavedAppDir);
    Restore("QZFP_DATA_ROOT", fSavedDataRoot);
    std::error_code ignored;
    std::filesystem::remove_all(fRoot, ignored);
  }
  HostFolders(const HostFolders&) = delete;
  HostFolders& operator=(const HostFolders&) = delete;

  const std::filesystem::path& Root() const { return fRoot; }
  std::filesystem::path DataRoot() const { return fRoot / "data"; }
  std::filesystem::path LogFolder() const { return fRoot / "LogFiles" / "FiscalPrinter"; }

 private:
  static void Save(const char* aName, std::optional<std::string>& aSlot) {
    if (const char* value = std::getenv(aName)) aSlot = value;
  }
  static void Restore(const char* aName, const std::optional<std::string>& aSlot) {
    if (aSlot) {
      ::setenv(aName, aSlot->c_str(), 1);
    } else {
      ::unsetenv(aName);
    }
  }

  std::filesystem::path fRoot;
  std::optional<std::string> fSavedAppDir;
  std::optional<std::string> fSavedDataRoot;
};

inline std::string ReadFile(const std::filesystem::path& aPath) {
  std::ifstream file(aPath, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void WriteFile(const std::filesystem::path& aPath, const std::string& aBytes) {
  std::ofstream file(aPath, std::ios::binary);
  file << aBytes;
}

// A request as the host sends it: envelope children, then anything else (documents).
inline std::string Request(const std::string& aParameters, const std::string& aMore = "",
                           const std::string& aDriver = "<Driver>QZFP_VELMO_10</Driver>") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><ReceiptPrinterManager Version=\"1.0\">"
         "<Type>FP</Type>" +
         aDriver + "<Method>OPEN</Method><LogId>7</LogId><Parameters>" + aParameters + "</Parameters>" +
         aMore + "</ReceiptPrinterManager>";
}

}  // namespace qzfwtest
