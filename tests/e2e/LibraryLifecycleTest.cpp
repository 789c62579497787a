// The library's life in its host: what it exports, how handles are issued within one load, and what
// unloading it (or ending the process without unloading it) does to the processors it holds.

#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "LibraryFixture.h"

extern char** environ;

namespace {

using namespace qze2e;
using Export = Library::Export;

const char* kStopBanner = "*************************** STOP ****************************";
const char* kExitChildVariable = "QZFP_E2E_EXIT_CHILD_LOGID";

int ThreadCount() {
  int count = 0;
  DIR* tasks = opendir("/proc/self/task");
  while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
  closedir(tasks);
  return count;
}

std::string RunCommand(const std::string& aCommand) {
  std::string output;
  FILE* pipe = popen(aCommand.c_str(), "r");
  char buffer[4096];
  while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  pclose(pipe);
  return output;
}

// The host sees the five exports and the OLE string functions; nothing of the library's inside.
TEST(LibraryLifecycle, ExportsOnlyTheHostInterface) {
  std::istringstream symbols(
      RunCommand(std::string("nm -D --defined-only --format=posix '") + QZ_LIBRARY_PATH + "'"));
  std::set<std::string> exported;
  std::string name, type;
  while (symbols >> name >> type) {
    std::string rest;
    std::getline(symbols, rest);
    exported.insert(name);
  }
  exported.erase("QZFP_SetConfirmCallback");  // the host's own way to ask the cashier
  const std::set<std::string> expected = {
      "OPEN",           "PROCESSRECEIPT",    "PROCESSZREPORT", "PROCESSXREPORT", "PROCESSGETSTATUS",
      "SysAllocString", "SysAllocStringLen", "SysFreeString",  "SysStringLen",   "SysStringByteLen"};
  // The C++ library's own template instances are exported too unless the link keeps to
  // library/QZFP_VELMO_10.map (its version script).
  EXPECT_EQ(exported, expected);
}

// Handles count from 1 within one load, are never reused (not even one lost to a failed Open), and a new
// load starts again at 1 and knows none of the old ones.
TEST(LibraryLifecycle, HandlesAreIssuedInOrderPerLoad) {
  Library& lib = Library::Get();
  lib.Reload();
  Till till = NewTill();
  EXPECT_EQ(lib.Open(till.OpenRequest()).Handle, 1);
  EXPECT_EQ(lib.Open(till.OpenRequest()).Handle, 2);  // the same till twice gives two processors

  Till bad = NewTill();
  bad.Serial = "A|B";
  Reply failed = lib.Open(bad.OpenRequest());
  EXPECT_EQ(failed.Result, -1);
  EXPECT_EQ(failed.Error, "Invalid characters in path");
  EXPECT_EQ(failed.Handle, 0);
  // The processor made for it holds handle 3, which the host never learnt; it still answers.
  bad.Handle = 3;
  EXPECT_NE(lib.Call(Export::PROCESSGETSTATUS, bad.Request("GETSTATUS")).Error, "Processor Handle not found");

  EXPECT_EQ(lib.Open(till.OpenRequest()).Handle, 4);
  till.Handle = 5;
  EXPECT_EQ(lib.Call(Export::PROCESSXREPORT, till.Request("XREPORT")).Error, "Processor Handle not found");

  lib.Reload();
  till.Handle = 1;
  EXPECT_EQ(lib.Call(Export::PROCESSGETSTATUS, till.Request("GETSTATUS")).Error,
            "Processor Handle not found");
  EXPECT_EQ(lib.Open(till.OpenRequest()).Handle, 1);
}

// Unloading ends every processor cleanly: the logs are complete, down to their stop banner, and no thread
// of the library is left running code that is gone.
TEST(LibraryLifecycle, UnloadEndsTheProcessorsAndTheirThreads) {
  Library& lib = Library::Get();
  lib.Unload();
  const int baseline = ThreadCount();
  lib.Reload();
  Till first = NewTill();
  Till second = NewTill();
  OpenTill(first);
  OpenTill(second);
  ASSERT_EQ(lib.Call(Export::PROCESSXREPORT, first.Request("XREPORT")).Result, 0);
  EXPECT_GT(ThreadCount(), baseline);

  lib.Unload();
  EXPECT_EQ(dlopen(QZ_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
      << "the library stayed loaded: a unique symbol pins it unless it is linked with "
         "library/QZFP_VELMO_10.map";
  EXPECT_EQ(ThreadCount(), baseline);
  for (const Till& till : {first, second}) {
    const std::string log = ReadFile(till.LogFile());
    EXPECT_NE(log.find("OPEN:Assigned Handle: "), std::string::npos);
    EXPECT_TRUE(log.ends_with(std::string(kStopBanner) + "\r\n")) << log;
  }
  lib.Reload();
}

// Run in a child process by the test below: opens a till and leaves through exit() without unloading.
TEST(LibraryLifecycle, ExitChild) {
  const char* logId = getenv(kExitChildVariable);
  if (logId == nullptr) GTEST_SKIP() << "runs only as the child of ProcessExitEndsTheProcessorsCleanly";
  Till till = NewTill();
  till.LogId = logId;
  OpenTill(till);
  ASSERT_EQ(Library::Get().Call(Export::PROCESSGETSTATUS, till.Request("GETSTATUS")).Result, 0);
  std::fflush(nullptr);
  std::exit(0);
}

// A host that ends without unloading the library still gets complete logs and a clean exit.
TEST(LibraryLifecycle, ProcessExitEndsTheProcessorsCleanly) {
  Folders::Get();  // the child inherits this process's folders through the environment
  Till till = NewTill("X");
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  environment.push_back(std::string(kExitChildVariable) + "=" + till.LogId);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=LibraryLifecycle.ExitChild";
  char* argv[] = {program.data(), filter.data(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string log = ReadFile(till.LogFile());
  EXPECT_NE(log.find("GETSTATUS:END"), std::string::npos) << log;
  EXPECT_TRUE(log.ends_with(std::string(kStopBanner) + "\r\n")) << log;
}

}  // namespace
