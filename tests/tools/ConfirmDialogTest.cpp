// How a question is asked: the host's callback, else the helper program as a child process (here a script
// standing in for it, so every exit status can be tried), else nobody, which answers Cancel and says why.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "ToolsTestSupport.h"
#include "platform/HelperProcess.h"
#include "platform/QzError.h"
#include "support/uQZ_Base.h"
#include "support/uQZ_Confirm.h"

namespace {

using namespace toolstest;

const tQZ_Color kSmacOrange = tQZ_Color::FromWindowColor(0x7FF7);

// A helper stand-in: writes each argument on a line of its own to args.txt and exits with the status in
// the file status.txt.
fs::path WriteFakeHelper(const fs::path& aDir) {
  fs::path script = aDir / "fake-confirm";
  WriteFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                        (aDir / "args.txt").string() + "'\nexit $(cat '" + (aDir / "status.txt").string() +
                        "')\n");
  fs::permissions(script, fs::perms::owner_all);
  return script;
}

std::vector<std::string> Lines(const std::string& aText) {
  std::vector<std::string> lines;
  std::istringstream in(aText);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Each test gets its own application log folder and no callback or helper left by another test.
class ConfirmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeApplication();
    setenv("QZFP_APP_DIR", fDir.Path().c_str(), 1);
    unsetenv("QZFP_CONFIRM_PROGRAM");
    SetConfirmCallback(nullptr, nullptr);
  }
  void TearDown() override {
    SetConfirmCallback(nullptr, nullptr);
    unsetenv("QZFP_CONFIRM_PROGRAM");
    FreeApplication();
    unsetenv("QZFP_APP_DIR");
  }
  // The application log, complete: freeing the application drains its writer.
  std::string ApplicationLog() {
    FreeApplication();
    std::string all;
    if (fs::exists(fDir.Path() / "LogFiles"))
      for (const auto& entry : fs::directory_iterator(fDir.Path() / "LogFiles"))
        if (entry.is_regular_file()) all += ReadFile(entry.path());
    return all;
  }
  TempDir fDir;
};

struct Asked {
  std::string fTitle;
  std::string fMessage;
  unsigned fOptions = 0;
  unsigned fColor = 0;
  int fAnswer = 0;
  int fCalls = 0;
};

int Answer(void* aUserData, const char* aTitle, const char* aMessage, unsigned aOptions, unsigned aColor) {
  auto* asked = static_cast<Asked*>(aUserData);
  asked->fTitle = aTitle;
  asked->fMessage = aMessage;
  asked->fOptions = aOptions;
  asked->fColor = aColor;
  ++asked->fCalls;
  return asked->fAnswer;
}

TEST_F(ConfirmTest, TheHostsCallbackIsAskedFirstAndItsAnswerMapped) {
  const std::pair<int, tQZ_ConfirmOption> answers[] = {
      {0, co_Yes}, {1, co_No}, {2, co_Cancel}, {7, co_Cancel}, {-1, co_Cancel}};
  // A helper is configured too: the callback still comes first.
  fs::path helper = WriteFakeHelper(fDir.Path());
  WriteFile(fDir.Path() / "status.txt", "0");
  setenv("QZFP_CONFIRM_PROGRAM", helper.c_str(), 1);
  for (auto [answer, expected] : answers) {
    Asked asked;
    asked.fAnswer = answer;
    SetConfirmCallback(&Answer, &asked);
    EXPECT_EQ(ConfirmDialog("Conferma utilizzo SMAC", "Il cliente dispone di una SMAC Card?", {co_Yes, co_No},
                            kSmacOrange),
              expected)
        << answer;
    EXPECT_EQ(asked.fCalls, 1);
    EXPECT_EQ(asked.fTitle, "Conferma utilizzo SMAC");
    EXPECT_EQ(asked.fMessage, "Il cliente dispone di una SMAC Card?");
    EXPECT_EQ(asked.fOptions, 0x3u) << "bit n for option n";
    EXPECT_EQ(asked.fColor, 0xF77F00u) << "red F7, green 7F, blue 00";
  }
  EXPECT_FALSE(fs::exists(fDir.Path() / "args.txt")) << "the helper was not run";
}

TEST_F(ConfirmTest, TheHelperGetsTheQuestionAsArgumentsAndAnswersByItsExitStatus) {
  fs::path helper = WriteFakeHelper(fDir.Path());
  setenv("QZFP_CONFIRM_PROGRAM", helper.c_str(), 1);
  const std::pair<std::string, tQZ_ConfirmOption> statuses[] = {
      {"0", co_Yes}, {"1", co_No}, {"2", co_Cancel}, {"3", co_Cancel}, {"255", co_Cancel}};
  // Text a shell would act on arrives as it is: the arguments never pass through a shell.
  const std::string message = "Il cliente $(touch pwned); `id` ha la carta?\r\nSeconda riga";
  for (const auto& [status, expected] : statuses) {
    WriteFile(fDir.Path() / "status.txt", status);
    EXPECT_EQ(ConfirmDialog("Titolo 'uno'", message, {co_Yes, co_No, co_Cancel}, kQZ_Silver), expected)
        << status;
  }
  std::vector<std::string> expectedArgs = {"confirm",
                                           "--title",
                                           "Titolo 'uno'",
                                           "--message",
                                           "Il cliente $(touch pwned); `id` ha la carta?\r",
                                           "Seconda riga",
                                           "--options",
                                           "yes,no,cancel",
                                           "--color",
                                           "C0C0C0"};
  EXPECT_EQ(Lines(ReadFile(fDir.Path() / "args.txt")), expectedArgs);
  EXPECT_FALSE(fs::exists("pwned"));
  std::string log = ApplicationLog();
  EXPECT_NE(log.find("failed with exit status 3"), std::string::npos) << log;
}

TEST_F(ConfirmTest, WithNobodyToAskTheAnswerIsCancelAndTheLogSaysWhy) {
  // No callback, no QZFP_CONFIRM_PROGRAM, and no qzfp-confirm beside this test program.
  EXPECT_EQ(ConfirmDialog("Conferma utilizzo SMAC", "?", {co_Yes, co_No}, kSmacOrange), co_Cancel);
  setenv("QZFP_CONFIRM_PROGRAM", (fDir.Path() / "no-such-program").c_str(), 1);
  EXPECT_EQ(ConfirmDialog("Conferma utilizzo SMAC", "?", {co_Yes, co_No}, kSmacOrange), co_Cancel);
  // The real helper without a screen to show the window on.
  setenv("QZFP_CONFIRM_PROGRAM", ConfirmHelperPath().c_str(), 1);
  std::string display = getenv("DISPLAY") != nullptr ? getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  EXPECT_EQ(ConfirmDialog("Conferma utilizzo SMAC", "?", {co_Yes, co_No}, kSmacOrange), co_Cancel);
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  std::string log = ApplicationLog();
  EXPECT_NE(log.find("failed with exit status 4 (it could not open the display: is DISPLAY set?)"),
            std::string::npos)
      << log;
  EXPECT_NE(
      log.find(" - ERROR - Cannot ask \"Conferma utilizzo SMAC\", answered Cancel: no confirm callback is "
               "registered, QZFP_CONFIRM_PROGRAM is not set and there is no "),
      std::string::npos)
      << log;
  EXPECT_NE(log.find("QZFP_CONFIRM_PROGRAM names no program that can be run: " +
                     (fDir.Path() / "no-such-program").string()),
            std::string::npos)
      << log;
}

TEST_F(ConfirmTest, AQuestionWithoutOptionsIsRefused) {
  Asked asked;
  SetConfirmCallback(&Answer, &asked);
  EXPECT_THROW(ConfirmDialog("T", "M", {}, kSmacOrange), QzError);
  EXPECT_EQ(asked.fCalls, 0);
}

TEST_F(ConfirmTest, InBatchModeAMessageIsLoggedNotShown) {
  fs::path helper = WriteFakeHelper(fDir.Path());
  WriteFile(fDir.Path() / "status.txt", "0");
  setenv("QZFP_CONFIRM_PROGRAM", helper.c_str(), 1);
  DisplayMessage(0, "Rotolo di carta quasi finito");
  EXPECT_EQ(
      Lines(ReadFile(fDir.Path() / "args.txt")),
      (std::vector<std::string>{"message", "--kind", "info", "--text", "Rotolo di carta quasi finito"}));
  fs::remove(fDir.Path() / "args.txt");
  Application().ForceIsBatch();
  DisplayMessage(0, "Nessuno davanti alla cassa");
  EXPECT_FALSE(fs::exists(fDir.Path() / "args.txt"));
  EXPECT_NE(ApplicationLog().find(" - ERROR - Nessuno davanti alla cassa"), std::string::npos);
}

TEST(HelperProcess, ReportsExitStatusSignalsAndStartFailuresAndLeavesNoZombie) {
  EXPECT_EQ(qzprocess::RunHelper("/bin/sh", {"-c", "exit 7"}), 7);
  EXPECT_EQ(qzprocess::RunHelper("/bin/sh", {"-c", "kill -KILL $$"}), -1);
  try {
    qzprocess::RunHelper("/nonexistent/helper", {});
    FAIL() << "no error";
  } catch (const QzError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot start /nonexistent/helper: No such file or directory");
  }

  qzprocess::HelperProcess sleeper = qzprocess::HelperProcess::Start("/bin/sleep", {"30"});
  pid_t pid = sleeper.Pid();
  EXPECT_TRUE(sleeper.Running());
  EXPECT_EQ(sleeper.Terminate(), -1);
  EXPECT_FALSE(sleeper.Running());
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "already reaped";
  {
    qzprocess::HelperProcess dropped = qzprocess::HelperProcess::Start("/bin/sleep", {"30"});
    pid = dropped.Pid();
  }
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "dropping a running helper ends and reaps it";
}

TEST(HelperProcess, TheChildGetsNoneOfTheHostsDescriptors) {
  TempDir dir;
  int leaked = open((dir.Path() / "host-file").c_str(), O_CREAT | O_WRONLY, 0600);  // not close-on-exec
  ASSERT_GE(leaked, 3);
  std::string check = "[ -e /proc/self/fd/" + std::to_string(leaked) + " ] && exit 1; exit 0";
  EXPECT_EQ(qzprocess::RunHelper("/bin/sh", {"-c", check}), 0);
  close(leaked);
}

}  // namespace
