#pragma once
// A fresh folder for one test, removed with everything in it at the end.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmo-test-XXXXXX").string();
    fPath = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return fPath; }
  std::string File(const std::string& aName) const { return (fPath / aName).string(); }

 private:
  std::filesystem::path fPath;
};

inline std::string ReadText(const std::filesystem::path& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const std::filesystem::path& aPath, const std::string& aText) {
  std::ofstream(aPath, std::ios::binary) << aText;
}
