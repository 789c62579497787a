#pragma once
// Child programs the library runs for its host (the window helper): started with posix_spawn, the
// arguments handed over as an argv array (never through a shell, so no text of a receipt or message can
// become a command), and always reaped, so no zombie is left in the host's process table.
//
// The child gets the host's environment, standard output and error, /dev/null as standard input, the
// default signal dispositions and an empty signal mask, and no other open file descriptor of the host.

#include <sys/types.h>

#include <string>
#include <vector>

namespace qzprocess {

class HelperProcess {
 public:
  // Starts aProgram (a path; not searched in PATH) with aArguments after argv[0]. Throws QzError with
  // "Cannot start " + program + ": " + the system's reason when it cannot be started.
  static HelperProcess Start(const std::string& aProgram, const std::vector<std::string>& aArguments);

  HelperProcess(HelperProcess&& aOther) noexcept;
  HelperProcess& operator=(HelperProcess&& aOther) noexcept;
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;
  // A child still running is terminated and reaped.
  ~HelperProcess();

  pid_t Pid() const { return fPid; }
  bool Running() const { return fPid > 0; }

  // Waits for the end of the child. Answers its exit status (0-255), or -1 when it ended by a signal or
  // could not be waited for (a host that ignores SIGCHLD has its children reaped by the kernel).
  int Wait();
  // Sends SIGTERM and waits; answers as Wait.
  int Terminate();

 private:
  explicit HelperProcess(pid_t aPid) : fPid(aPid) {}
  pid_t fPid = -1;
};

// Runs the program to its end; answers its exit status as HelperProcess::Wait. Throws as Start.
int RunHelper(const std::string& aProgram, const std::vector<std::string>& aArguments);

// Whether aPath names a regular file this process may execute.
bool IsExecutableFile(const std::string& aPath);

}  // namespace qzprocess
