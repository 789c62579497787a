#pragma once
// What the benchmarks that compare the library with a bare program share: a data folder on a real disk,
// the bare program's durable file work written plainly with POSIX calls, and the timing of single calls.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace qzbench {

namespace fs = std::filesystem;

inline void Check(bool aOk, const char* aWhat) {
  if (!aOk) throw std::runtime_error(std::string(aWhat) + ": " + std::strerror(errno));
}

// A new folder under the build folder (a real disk; /tmp may be memory), or under $QZFP_BENCH_DIR.
inline fs::path MakeBenchFolder(const std::string& aName) {
  const char* base = getenv("QZFP_BENCH_DIR");
  std::string pattern = (fs::path(base != nullptr ? base : QZ_BINARY_DIR) / (aName + "-XXXXXX")).string();
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  return pattern;
}

inline std::string ReadWholeFile(const fs::path& aPath) {
  int fd = open(aPath.c_str(), O_RDONLY | O_CLOEXEC);
  Check(fd >= 0, "open");
  std::string content;
  char buffer[8192];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<std::size_t>(n));
  close(fd);
  return content;
}

inline void SyncFolder(const fs::path& aFolder) {
  int fd = open(aFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  Check(fd >= 0, "open folder");
  Check(fsync(fd) == 0, "fsync folder");
  close(fd);
}

// A temporary file beside aTarget with aContent, flushed to the disk.
inline fs::path WriteTemporary(const fs::path& aTarget, const std::string& aContent) {
  fs::path temporary = aTarget;
  temporary += ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  Check(fd >= 0, "create");
  Check(write(fd, aContent.data(), aContent.size()) == static_cast<ssize_t>(aContent.size()), "write");
  Check(fsync(fd) == 0, "fsync");
  close(fd);
  return temporary;
}

// The atomic, durable replacement of a file: temporary file, fsync, rename, fsync of the folder.
inline void ReplaceDurably(const fs::path& aTarget, const std::string& aContent) {
  fs::path temporary = WriteTemporary(aTarget, aContent);
  Check(rename(temporary.c_str(), aTarget.c_str()) == 0, "rename");
  SyncFolder(aTarget.parent_path());
}

template <typename F>
double Microseconds(F&& aCall) {
  auto start = std::chrono::steady_clock::now();
  aCall();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> aSamples) {
  std::sort(aSamples.begin(), aSamples.end());
  std::size_t n = aSamples.size();
  return n % 2 ? aSamples[n / 2] : (aSamples[n / 2 - 1] + aSamples[n / 2]) / 2;
}

}  // namespace qzbench
