#pragma once
// The asynchronous log writer. Callers only stamp and queue a finished line; the writer's own thread
// appends the lines to the file one by one, oldest first, and moves the file aside when it has grown past
// the size limit. The file is opened and closed for every line, so no handle is held between lines and the
// file may be moved, copied or deleted from outside at any time.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "support/uQZ_Base_Defs.h"

class tQZ_LogWriter;

// The writer's background thread and its queue of finished lines. The queue is the only structure shared
// between the callers and the thread; every operation on it is made under fLock, never while the file is
// being written.
class tQZ_LogThread {
 public:
  explicit tQZ_LogThread(tQZ_LogWriter* aWriter);
  // Asks the thread to stop and waits until every queued line has been written (or dropped after its
  // retries) and the thread has ended.
  ~tQZ_LogThread();
  tQZ_LogThread(const tQZ_LogThread&) = delete;
  tQZ_LogThread& operator=(const tQZ_LogThread&) = delete;

  tQZ_LogWriter* Writer() const { return fWriter; }
  void SetWriter(tQZ_LogWriter* aValue) { fWriter = aValue; }

  // Appends a finished line to the end of the queue; never waits on the disk.
  void Enqueue(std::string aLine);
  std::size_t Count() const;

 private:
  void Execute();
  // Writes every line queued now, oldest first; a line leaves the queue only after it has been handed to
  // the writer.

  std::deque<std::string> fQueue;
  tQZ_LogWriter* fWriter;  // not owned: the writer owns this thread
  mutable std::mutex fLock;
  std::condition_variable fWake;
  bool fTerminated = false;  // guarded by fLock
  std::thread fThread;       // last: starts after every other member is ready
};

class tQZ_LogWriter {
 public:
  // Rotation limit in units of 1024 bytes: a file above 5,120,000 bytes is moved aside.
  static constexpr std::int32_t kDefaultMaxLogfileSize = 5000;
  static constexpr int kWriteAttempts = 10;
  static constexpr int kRetryDelayMs = 50;
  static constexpr int kIdlePollMs = 60;

  // The file is aFileName + "_" + yyyymmdd (creation date) + ".log" when aDaily, else aFileName + ".log",
  // in aDirectory, which is created with its parents. An empty aDirectory throws QzError.
  // aMaxMessageLength > 0 cuts every message to that many UTF-16 units.
  tQZ_LogWriter(const std::string& aFileName, const std::string& aDirectory, std::int32_t aMaxMessageLength,
                bool aDaily);
  // Every line queued before destruction reaches the file (or is dropped after its retries).
  ~tQZ_LogWriter();
  tQZ_LogWriter(const tQZ_LogWriter&) = delete;
  tQZ_LogWriter& operator=(const tQZ_LogWriter&) = delete;

  // Stamps the message with the local time ("yyyy-mm-dd hh:mm:ss:zzz", the colons being the regional
  // time separator), adds " - " or " - ERROR - " and queues the line. Throws QzError("Log filename is
  // empty ") when there is no file name.
  void Write(tQZ_MessageType aEntryType, const std::string& aMessage);

  // Size in bytes of the file named by FileName, or -1 when it cannot be read (missing file).
  std::int64_t GetLogFileSize() const;
  // Whether the size check is due before the next line: fCounter is a multiple of 20. fCounter stays 0,
  // so the size is checked before every line.
  bool CheckLogfileSize() const;

  const std::string& Directory() const { return fDirectory; }
  // Moves the file name into aValue and creates aValue with its parents (an empty aValue throws QzError;
  // other creation failures are ignored, and the lines are then dropped after their retries).
  void SetDirectory(const std::string& aValue);
  std::int32_t MaxMessageLength() const { return fMaxMessageLength; }
  std::string FileName() const;
  // Directory joined with the file-name part of aValue, used unchanged: no date, no extension added.
  void SetFileName(const std::string& aValue);
  bool Daily() const { return fDaily; }
  std::int32_t MaxLogFileSize() const { return fMaxLogfileSize; }
  void SetMaxLogFileSize(std::int32_t aValue) { fMaxLogfileSize = aValue; }

 private:
  friend class tQZ_LogThread;
  // Runs on the log thread only: rotates the file when due, then appends the line with its retries.
  void WriteToFile(const std::string& aLine);
  void RotateIfDue(const std::string& aFileName);

  std::string fDirectory;
  std::int32_t fMaxMessageLength = 0;
  std::string fFileName;  // guarded by fNameLock: callers may rename while the thread writes
  bool fDaily = false;
  std::atomic<std::int32_t> fMaxLogfileSize{kDefaultMaxLogfileSize};
  std::int32_t fCounter = 0;
  std::string fTimeSeparator = ":";
  mutable std::mutex fNameLock;
  std::unique_ptr<tQZ_LogThread> fThread;  // last: destroyed (drained) first
};
