#include "drivers/velmo/DurableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/QzError.h"

namespace velmofile {
namespace {

std::string SystemMessage(int aErrno) { return std::strerror(aErrno); }

[[noreturn]] void RaiseFileError(const std::string& aWhat, const std::string& aPath, int aErrno) {
  throw QzError(aWhat + " \"" + aPath + "\": " + SystemMessage(aErrno));
}

// Closes its descriptor on every path out of a write.
class FileDescriptor {
 public:
  explicit FileDescriptor(int aFd) : fFd(aFd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fFd >= 0) ::close(fFd);
  }
  int Get() const { return fFd; }
  // Closing is where some file systems report a failed write, so it is checked.
  int Close() {
    const int result = ::close(fFd);
    fFd = -1;
    return result;
  }

 private:
  int fFd;
};

std::string FolderOf(const std::string& aPath) {
  const std::filesystem::path parent = std::filesystem::path(aPath).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// A new entry only survives a power cut once its folder has been flushed as well.
void SyncFolder(const std::string& aFolder) {
  FileDescriptor fd(::open(aFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0) RaiseFileError("Cannot open folder", aFolder, errno);
  if (::fsync(fd.Get()) != 0 && errno != EINVAL) RaiseFileError("Cannot flush folder", aFolder, errno);
}

void WriteAll(int aFd, std::string_view aContent, const std::string& aPath) {
  while (!aContent.empty()) {
    const ssize_t written = ::write(aFd, aContent.data(), aContent.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      RaiseFileError("Cannot write file", aPath, errno);
    }
    aContent.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Writes aContent to a fresh temporary file beside aTarget, flushed to the disk; answers its path. The
// file is created with mode 0666 so the process umask decides, as for any other file the till writes.
std::string WriteTemporaryBeside(const std::string& aTarget, std::string_view aContent) {
  static std::atomic<unsigned> sSequence{0};
  std::string tempPath;
  int rawFd = -1;
  for (int attempt = 0; rawFd < 0; ++attempt) {
    tempPath = aTarget + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(sSequence++);
    rawFd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (rawFd < 0 && (errno != EEXIST || attempt > 100)) RaiseFileError("Cannot create file", aTarget, errno);
  }
  FileDescriptor fd(rawFd);
  try {
    WriteAll(fd.Get(), aContent, aTarget);
    if (::fsync(fd.Get()) != 0) RaiseFileError("Cannot flush file", aTarget, errno);
    if (fd.Close() != 0) RaiseFileError("Cannot write file", aTarget, errno);
  } catch (...) {
    ::unlink(tempPath.c_str());
    throw;
  }
  return tempPath;
}

}  // namespace

void WriteFileAtomically(const std::string& aPath, std::string_view aContent) {
  const std::string tempPath = WriteTemporaryBeside(aPath, aContent);
  if (::rename(tempPath.c_str(), aPath.c_str()) != 0) {
    const int error = errno;
    ::unlink(tempPath.c_str());
    RaiseFileError("Cannot replace file", aPath, error);
  }
  SyncFolder(FolderOf(aPath));
}

void CreateFileAtomically(const std::string& aPath, std::string_view aContent) {
  // Checked first so an existing target costs no temporary file; link() below still refuses a target
  // that appears in between.
  struct stat existing {};
  if (::lstat(aPath.c_str(), &existing) == 0) RaiseFileError("Cannot create file", aPath, EEXIST);
  const std::string tempPath = WriteTemporaryBeside(aPath, aContent);
  // link() puts the complete file in place and, unlike rename(), refuses an existing target.
  const int linked = ::link(tempPath.c_str(), aPath.c_str());
  const int error = errno;
  ::unlink(tempPath.c_str());
  if (linked != 0) RaiseFileError("Cannot create file", aPath, error);
  SyncFolder(FolderOf(aPath));
}

void CreateFoldersDurably(const std::string& aFolder) {
  std::filesystem::path target = std::filesystem::path(aFolder).lexically_normal();
  if (!target.has_filename()) target = target.parent_path();  // "a/b/" names the folder "a/b"
  std::vector<std::filesystem::path> created;
  for (std::filesystem::path folder = target; !folder.empty() && folder != folder.root_path();
       folder = folder.parent_path()) {
    struct stat existing {};
    if (::stat(folder.c_str(), &existing) == 0) break;
    created.push_back(folder);
  }
  for (auto it = created.rbegin(); it != created.rend(); ++it) {
    if (::mkdir(it->c_str(), 0777) != 0 && errno != EEXIST)
      RaiseFileError("Cannot create folder", it->string(), errno);
    SyncFolder(FolderOf(it->string()));
  }
}

std::string ReadWholeFile(const std::string& aPath) {
  FileDescriptor fd(::open(aPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) RaiseFileError("Cannot open file", aPath, errno);
  std::string content;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      RaiseFileError("Cannot read file", aPath, errno);
    }
    if (got == 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  return content;
}

}  // namespace velmofile
