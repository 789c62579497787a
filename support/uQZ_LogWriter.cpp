#include "support/uQZ_LogWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/QzError.h"
#include "platform/RegionalSettings.h"
#include "platform/Text.h"

namespace {

struct LocalTime {
  std::tm Calendar{};
  int Millisecond = 0;
};

LocalTime NowLocal() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  LocalTime result;
  localtime_r(&now.tv_sec, &result.Calendar);
  result.Millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return result;
}

// Writes aValue as exactly aWidth decimal digits at aOut.
char* PutDigits(char* aOut, int aValue, int aWidth) {
  for (int i = aWidth - 1; i >= 0; --i) {
    aOut[i] = static_cast<char>('0' + aValue % 10);
    aValue /= 10;
  }
  return aOut + aWidth;
}

std::string FileNamePart(const std::string& aPath) {
  const auto slash = aPath.rfind('/');
  return slash == std::string::npos ? aPath : aPath.substr(slash + 1);
}

std::string JoinPath(const std::string& aDirectory, const std::string& aName) {
  if (!aDirectory.empty() && aDirectory.back() == '/') return aDirectory + aName;
  return aDirectory + "/" + aName;
}

// The rotation name: the file name without its extension + "_" + yyyymmddhhnnsszzz + ".log".
std::string RotationName(const std::string& aFileName, const LocalTime& aTime) {
  std::string base = aFileName;
  const auto slash = base.rfind('/');
  const auto dot = base.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.erase(dot);
  char stamp[18];
  char* p = PutDigits(stamp, aTime.Calendar.tm_year + 1900, 4);
  p = PutDigits(p, aTime.Calendar.tm_mon + 1, 2);
  p = PutDigits(p, aTime.Calendar.tm_mday, 2);
  p = PutDigits(p, aTime.Calendar.tm_hour, 2);
  p = PutDigits(p, aTime.Calendar.tm_min, 2);
  p = PutDigits(p, std::min(aTime.Calendar.tm_sec, 59), 2);
  p = PutDigits(p, aTime.Millisecond, 3);
  return base + "_" + std::string(stamp, p) + ".log";
}

// Moves a file without ever replacing one already there: two rotations within one millisecond must not
// overwrite the first rotated file.
bool MoveWithoutReplacing(const std::string& aFrom, const std::string& aTo) {
  if (renameat2(AT_FDCWD, aFrom.c_str(), AT_FDCWD, aTo.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the no-replace rename: a hard link fails on an existing name just the same.
  if (link(aFrom.c_str(), aTo.c_str()) != 0) return false;
  unlink(aFrom.c_str());
  return true;
}

// One attempt: append the line and CR LF in one write, so writers that share the file never interleave
// inside a line. O_APPEND creates nothing by itself, hence O_CREAT for a missing file.
bool AppendLine(const std::string& aFileName, const std::string& aLine) {
  const int file = open(aFileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) return false;
  std::string record;
  record.reserve(aLine.size() + 2);
  record += aLine;
  record += "\r\n";
  bool written = true;
  std::size_t offset = 0;
  while (offset < record.size()) {
    const ssize_t n = write(file, record.data() + offset, record.size() - offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      written = false;
      break;
    }
    offset += static_cast<std::size_t>(n);
  }
  if (close(file) != 0) written = false;
  return written;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// tQZ_LogThread

tQZ_LogThread::tQZ_LogThread(tQZ_LogWriter* aWriter) : fWriter(aWriter), fThread([this] { Execute(); }) {}

tQZ_LogThread::~tQZ_LogThread() {
  {
    const std::lock_guard guard(fLock);
    fTerminated = true;
  }
  fWake.notify_one();
  // The thread leaves its loop only once the queue is empty, so every line queued before now is written.
  if (fThread.joinable()) fThread.join();
}

void tQZ_LogThread::Enqueue(std::string aLine) {
  bool wasEmpty;
  {
    const std::lock_guard guard(fLock);
    wasEmpty = fQueue.empty();
    fQueue.push_back(std::move(aLine));
  }
  // Only the first line of a burst can find the thread asleep; the rest cost no wake-up.
  if (wasEmpty) fWake.notify_one();
}

std::size_t tQZ_LogThread::Count() const {
  const std::lock_guard guard(fLock);
  return fQueue.size();
}

void tQZ_LogThread::Execute() {
  std::unique_lock lock(fLock);
  for (;;) {
    if (fQueue.empty()) {
      if (fTerminated) return;
      fWake.wait_for(lock, std::chrono::milliseconds(tQZ_LogWriter::kIdlePollMs));
      continue;
    }
    // Callers only append, and appending to a deque leaves references to its elements valid, so the
    // oldest line can be written without holding the lock and removed afterwards.
    const std::string& oldest = fQueue.front();
    lock.unlock();
    try {
      fWriter->WriteToFile(oldest);
    } catch (...) {
      // Nothing may end the log thread: a line that cannot be written (even for want of memory) is dropped.
    }
    lock.lock();
    fQueue.pop_front();
  }
}

// ---------------------------------------------------------------------------------------------------------
// tQZ_LogWriter

tQZ_LogWriter::tQZ_LogWriter(const std::string& aFileName, const std::string& aDirectory,
                             std::int32_t aMaxMessageLength, bool aDaily) {
  if (aDaily) {
    const LocalTime now = NowLocal();
    char date[8];
    PutDigits(PutDigits(PutDigits(date, now.Calendar.tm_year + 1900, 4), now.Calendar.tm_mon + 1, 2),
              now.Calendar.tm_mday, 2);
    fFileName = aFileName + "_" + std::string(date, 8) + ".log";
  } else {
    fFileName = aFileName + ".log";
  }
  SetDirectory(aDirectory);
  fMaxMessageLength = aMaxMessageLength;
  fDaily = aDaily;
  fCounter = 0;
  fMaxLogfileSize = kDefaultMaxLogfileSize;
  fTimeSeparator = qzplatform::CurrentRegionalSettings().TimeSeparator;
  fThread = std::make_unique<tQZ_LogThread>(this);
}

tQZ_LogWriter::~tQZ_LogWriter() { fThread.reset(); }

void tQZ_LogWriter::SetDirectory(const std::string& aValue) {
  if (aValue.empty()) throw QzError("Unable to create directory");
  {
    const std::lock_guard guard(fNameLock);
    fDirectory = aValue;
    fFileName = JoinPath(aValue, FileNamePart(fFileName));
  }
  // A folder that cannot be created is not reported: every line then fails its attempts and is dropped.
  std::error_code ignored;
  std::filesystem::create_directories(aValue, ignored);
}

std::string tQZ_LogWriter::FileName() const {
  const std::lock_guard guard(fNameLock);
  return fFileName;
}

void tQZ_LogWriter::SetFileName(const std::string& aValue) {
  const std::lock_guard guard(fNameLock);
  fFileName = JoinPath(fDirectory, FileNamePart(aValue));
}

void tQZ_LogWriter::Write(tQZ_MessageType aEntryType, const std::string& aMessage) {
  {
    const std::lock_guard guard(fNameLock);
    if (fFileName.empty()) throw QzError("Log filename is empty ");
  }
  const LocalTime now = NowLocal();
  const std::string_view separator = aEntryType == let_error ? " - ERROR - " : " - ";
  const bool cut = fMaxMessageLength > 0 && aMessage.size() > static_cast<std::size_t>(fMaxMessageLength) &&
                   qztext::Utf16Length(aMessage) > static_cast<std::size_t>(fMaxMessageLength);
  const std::string shortened = cut ? qztext::Utf16Left(aMessage, fMaxMessageLength) : std::string();
  const std::string& message = cut ? shortened : aMessage;

  std::string line;
  line.reserve(23 + 3 * (fTimeSeparator.size() - 1) + separator.size() + message.size());
  char stamp[11];
  PutDigits(stamp, now.Calendar.tm_year + 1900, 4);
  stamp[4] = '-';
  PutDigits(stamp + 5, now.Calendar.tm_mon + 1, 2);
  stamp[7] = '-';
  PutDigits(stamp + 8, now.Calendar.tm_mday, 2);
  stamp[10] = ' ';
  line.append(stamp, 11);
  char two[3];
  line.append(two, PutDigits(two, now.Calendar.tm_hour, 2));
  line += fTimeSeparator;
  line.append(two, PutDigits(two, now.Calendar.tm_min, 2));
  line += fTimeSeparator;
  // A leap second reads as the last second of its minute.
  line.append(two, PutDigits(two, std::min(now.Calendar.tm_sec, 59), 2));
  line += fTimeSeparator;
  line.append(two, PutDigits(two, now.Millisecond, 3));
  line += separator;
  line += message;
  fThread->Enqueue(std::move(line));
}

std::int64_t tQZ_LogWriter::GetLogFileSize() const {
  struct stat attributes {};
  if (stat(FileName().c_str(), &attributes) != 0) return -1;
  return static_cast<std::int64_t>(attributes.st_size);
}

bool tQZ_LogWriter::CheckLogfileSize() const { return fCounter % 20 == 0; }

void tQZ_LogWriter::RotateIfDue(const std::string& aFileName) {
  if (!CheckLogfileSize()) return;
  struct stat attributes {};
  const std::int64_t size = stat(aFileName.c_str(), &attributes) == 0 ? attributes.st_size : -1;
  if (size <= static_cast<std::int64_t>(fMaxLogfileSize.load()) * 1024) return;
  // A failed move leaves the line to go to the over-size file.
  MoveWithoutReplacing(aFileName, RotationName(aFileName, NowLocal()));
}

void tQZ_LogWriter::WriteToFile(const std::string& aLine) {
  const std::string fileName = FileName();
  RotateIfDue(fileName);
  for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
    if (AppendLine(fileName, aLine)) return;
    if (attempt < kWriteAttempts) std::this_thread::sleep_for(std::chrono::milliseconds(kRetryDelayMs));
  }
  // After the last attempt the line is dropped: a log must never stop its owner.
}
