#include "platform/HelperProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/QzError.h"

extern char** environ;

namespace qzprocess {

namespace {

// posix_spawn's attributes and file actions, released on every path out of Start.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&fAttributes);
    posix_spawn_file_actions_init(&fActions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&fActions);
    posix_spawnattr_destroy(&fAttributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The host may block or ignore signals for itself; the helper must start from the defaults so that
  // Terminate's SIGTERM ends it and a closed pipe does not go unnoticed.
  void ResetSignals() {
    sigset_t empty;
    sigemptyset(&empty);
    posix_spawnattr_setsigmask(&fAttributes, &empty);
    sigset_t defaults;
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    posix_spawnattr_setsigdefault(&fAttributes, &defaults);
    posix_spawnattr_setflags(&fAttributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }

  // The helper reads nothing, and must not hold the host's sockets or files open (a socket held by the
  // child would keep a connection alive after the host closed it).
  void PrepareDescriptors() {
    posix_spawn_file_actions_addopen(&fActions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&fActions, 3);
  }

  posix_spawnattr_t* Attributes() { return &fAttributes; }
  posix_spawn_file_actions_t* Actions() { return &fActions; }

 private:
  posix_spawnattr_t fAttributes;
  posix_spawn_file_actions_t fActions;
};

int DecodeStatus(int aStatus) {
  if (WIFEXITED(aStatus)) return WEXITSTATUS(aStatus);
  return -1;
}

}  // namespace

HelperProcess HelperProcess::Start(const std::string& aProgram, const std::vector<std::string>& aArguments) {
  std::vector<std::string> argumentTexts;
  argumentTexts.reserve(aArguments.size() + 1);
  argumentTexts.push_back(aProgram);
  argumentTexts.insert(argumentTexts.end(), aArguments.begin(), aArguments.end());
  std::vector<char*> argv;
  argv.reserve(argumentTexts.size() + 1);
  for (std::string& text : argumentTexts) argv.push_back(text.data());
  argv.push_back(nullptr);

  SpawnSetup setup;
  setup.ResetSignals();
  setup.PrepareDescriptors();
  pid_t pid = -1;
  int error = posix_spawn(&pid, aProgram.c_str(), setup.Actions(), setup.Attributes(), argv.data(), environ);
  if (error != 0) throw QzError("Cannot start " + aProgram + ": " + std::strerror(error));
  return HelperProcess(pid);
}

HelperProcess::HelperProcess(HelperProcess&& aOther) noexcept : fPid(std::exchange(aOther.fPid, -1)) {}

HelperProcess& HelperProcess::operator=(HelperProcess&& aOther) noexcept {
  if (this != &aOther) {
    if (Running()) Terminate();
    fPid = std::exchange(aOther.fPid, -1);
  }
  return *this;
}

HelperProcess::~HelperProcess() {
  if (Running()) Terminate();
}

int HelperProcess::Wait() {
  if (!Running()) return -1;
  int status = 0;
  pid_t result;
  do {
    result = waitpid(fPid, &status, 0);
  } while (result < 0 && errno == EINTR);
  fPid = -1;
  if (result < 0) return -1;
  return DecodeStatus(status);
}

int HelperProcess::Terminate() {
  if (!Running()) return -1;
  kill(fPid, SIGTERM);
  return Wait();
}

int RunHelper(const std::string& aProgram, const std::vector<std::string>& aArguments) {
  return HelperProcess::Start(aProgram, aArguments).Wait();
}

bool IsExecutableFile(const std::string& aPath) {
  struct stat info;
  if (aPath.empty() || stat(aPath.c_str(), &info) != 0) return false;
  return S_ISREG(info.st_mode) && access(aPath.c_str(), X_OK) == 0;
}

}  // namespace qzprocess
