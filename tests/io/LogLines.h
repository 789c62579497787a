#pragma once
// Reads back a connection log written by a real log writer: every line of every file in the folder, with
// its time stamp taken off and its kind (information or error) noted.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

struct LogLine {
  bool Error = false;
  std::string Body;
  bool operator==(const LogLine&) const = default;
};

inline std::ostream& operator<<(std::ostream& aStream, const LogLine& aLine) {
  return aStream << (aLine.Error ? "ERROR " : "info ") << '"' << aLine.Body << '"';
}

inline LogLine Info(std::string aBody) { return LogLine{false, std::move(aBody)}; }
inline LogLine Error(std::string aBody) { return LogLine{true, std::move(aBody)}; }

inline std::vector<LogLine> ReadLogLines(const std::filesystem::path& aFile) {
  static const std::regex kLine(R"(^\d{4}-\d\d-\d\d \d\d.\d\d.\d\d.\d{3}( - ERROR - | - )([\s\S]*)$)");
  std::ifstream in(aFile, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<LogLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string raw = text.substr(start, end - start);
    std::smatch match;
    if (std::regex_match(raw, match, kLine)) {
      lines.push_back(LogLine{match[1] == " - ERROR - ", match[2]});
    } else {
      lines.push_back(LogLine{true, "<malformed> " + raw});
    }
    start = end + 2;
  }
  return lines;
}

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qz_io_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    fPath = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
  }
  const std::filesystem::path& Path() const { return fPath; }
  std::string Str() const { return fPath.string(); }
  std::vector<std::filesystem::path> Files() const {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::exists(fPath)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(fPath)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    }
    return files;
  }

 private:
  std::filesystem::path fPath;
};
