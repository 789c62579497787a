#include <gtest/gtest.h>

#include "platform/CommandLine.h"
#include "platform/Paths.h"
#include "platform/TestEnvironment.h"

namespace {

using qzplatform::ApplicationDirectory;
using qzplatform::ApplicationName;
using qzplatform::DataRoot;
using qzplatform::HostExecutablePath;

TEST(Paths, HostExecutableIsThisProgramNotALibrary) {
  const std::string executable = HostExecutablePath();
  EXPECT_EQ(executable.substr(executable.rfind('/') + 1), "test_platform");
  EXPECT_EQ(ApplicationName(), "test_platform");

  ScopedEnv noOverride("QZFP_APP_DIR", std::nullopt);
  EXPECT_EQ(ApplicationDirectory(), executable.substr(0, executable.rfind('/') + 1));
}

TEST(Paths, EnvironmentIsReadOnEveryCall) {
  {
    ScopedEnv appDir("QZFP_APP_DIR", "/srv/till");
    ScopedEnv dataRoot("QZFP_DATA_ROOT", "/data/fpr/");
    EXPECT_EQ(ApplicationDirectory(), "/srv/till/");
    EXPECT_EQ(DataRoot(), "/data/fpr/");
  }
  ScopedEnv emptyAppDir("QZFP_APP_DIR", "");
  ScopedEnv noDataRoot("QZFP_DATA_ROOT", std::nullopt);
  EXPECT_NE(ApplicationDirectory(), "/srv/till/");
  EXPECT_EQ(DataRoot(), "/var/lib/QZ_FPR_DB/");
}

// Runs only inside the child started below: checks the parameters it was given and reports by exit code.
TEST(CommandLineChild, ReportsParameters) {
  if (!IsChildRun()) GTEST_SKIP() << "runs as a child process only";
  const std::vector<std::string> expected = {"--gtest_filter=CommandLineChild.ReportsParameters", "/BATCH",
                                             "with blank", "", "/Test=1"};
  std::exit(qzplatform::CommandLineParameters() == expected ? 0 : 3);
}

TEST(CommandLine, ParametersComeFromTheProcessWithoutTheProgramName) {
  if (IsChildRun()) GTEST_SKIP();
  EXPECT_EQ(RunSelfAsChild("CommandLineChild.ReportsParameters", {"/BATCH", "with blank", "", "/Test=1"}), 0);
}

}  // namespace
