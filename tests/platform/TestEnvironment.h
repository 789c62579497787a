#pragma once
// Helpers for tests of process-wide state: environment variables restored after the test, and running
// this test program again as a child with its own command line.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

// Sets (or, with nullopt, removes) an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(std::string aName, std::optional<std::string> aValue) : fName(std::move(aName)) {
    if (const char* old = std::getenv(fName.c_str())) fOld = old;
    if (aValue) {
      setenv(fName.c_str(), aValue->c_str(), 1);
    } else {
      unsetenv(fName.c_str());
    }
  }
  ~ScopedEnv() {
    if (fOld) {
      setenv(fName.c_str(), fOld->c_str(), 1);
    } else {
      unsetenv(fName.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string fName;
  std::optional<std::string> fOld;
};

// Runs this test program again with only aTest selected, the extra arguments after the gtest ones and
// QZ_CHILD_RUN=1 in its environment; answers its exit status (-1 when it did not exit normally).
inline int RunSelfAsChild(const std::string& aTest, const std::vector<std::string>& aArguments) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<std::string> arguments = {"/proc/self/exe", "--gtest_filter=" + aTest};
    arguments.insert(arguments.end(), aArguments.begin(), aArguments.end());
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    setenv("QZ_CHILD_RUN", "1", 1);
    execv("/proc/self/exe", argv.data());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

inline bool IsChildRun() { return std::getenv("QZ_CHILD_RUN") != nullptr; }
