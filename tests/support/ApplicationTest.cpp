#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/QzError.h"
#include "platform/TestEnvironment.h"
#include "support/uQZ_Base.h"

namespace fs = std::filesystem;

namespace {

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qz_application_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    fRoot = pattern;
    fAppDir = std::make_unique<ScopedEnv>("QZFP_APP_DIR", fRoot.string());
    FreeApplication();
  }
  void TearDown() override {
    FreeApplication();
    fAppDir.reset();
    fs::remove_all(fRoot);
  }

  static std::string ReadFile(const fs::path& aPath) {
    std::ifstream file(aPath, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
  }

  fs::path fRoot;
  std::unique_ptr<ScopedEnv> fAppDir;
};

TEST_F(ApplicationTest, VersionInformationOfThisLibrary) {
  const tQZ_ApplicationInfo& info = Application().Info();
  EXPECT_EQ(info.Version(), "1.04");
  EXPECT_EQ(info.ReleaseDate(), *DateTime::Encode(2022, 4, 14));
  EXPECT_FALSE(info.Description().empty());
  EXPECT_FALSE(info.Copyright().empty());
  const std::pair<const char*, const char*> history[] = {
      {"1.00", "Rilascio Iniziale"},
      {"1.01", "Aggiunta Gestione Tipologie di Documento"},
      {"1.02", "Gestione Z Report e X Report"},
      {"1.03", "Esclusione transazione SMAC in caso di pagamento avvenuto con SMAC"},
      {"1.04", "Changed ISO Date Processing and new ProcessGetStatus function"},
  };
  ASSERT_EQ(info.History().size(), std::size(history));
  for (std::size_t i = 0; i < std::size(history); ++i) {
    EXPECT_EQ(info.History()[i]->Version(), history[i].first);
    EXPECT_EQ(info.History()[i]->Text(), std::vector<std::string>{history[i].second});
    EXPECT_FALSE(info.History()[i]->Author().empty());
  }
  EXPECT_EQ(info.History()[3]->ReleaseDate(), *DateTime::Encode(2021, 10, 12));

  ScopedEnv italian("LC_ALL", "it_IT.UTF-8");
  EXPECT_EQ(info.VersionString(), "[1.04 - 14/04/2022]");
}

TEST_F(ApplicationTest, VersionStringsAreReadUntilElevenIdsAreEmpty) {
  std::map<int, std::string> strings = {
      {10000, "$AUTHOR=before any version: ignored"},
      {10001, "$version=2.0"},  // keys are compared in upper case
      {10002, "$RELEASEDATE=01/02/2020"},
      {10003, "$PTEXT=first=line"},  // the value is everything after the first "="
      {10004, "no key here"},
      {10015, "$VERSION=2.1"},             // after ten empty ids: still read
      {10016, "$RELEASEDATE=xx/03/2021"},  // a part that is no number counts as 1
      {10028, "$VERSION=9.9"},             // after eleven empty ids: never reached
  };
  tQZ_ApplicationInfo info;
  info.LoadFromStrings([&](int aId) -> std::optional<std::string> {
    const auto found = strings.find(aId);
    return found == strings.end() ? std::nullopt : std::optional<std::string>(found->second);
  });
  EXPECT_EQ(info.Version(), "2.1");
  ASSERT_EQ(info.History().size(), 2u);
  EXPECT_EQ(info.History()[0]->Author(), "");
  EXPECT_EQ(info.History()[0]->ReleaseDate(), *DateTime::Encode(2020, 2, 1));
  EXPECT_EQ(info.History()[0]->Text(), std::vector<std::string>{"first=line"});
  EXPECT_EQ(info.ReleaseDate(), *DateTime::Encode(2021, 3, 1));

  tQZ_ApplicationInfo invalid;
  strings = {{10000, "$VERSION=1.0"}, {10001, "$RELEASEDATE=30/02/2021"}};
  EXPECT_THROW(invalid.LoadFromStrings([&](int aId) -> std::optional<std::string> {
    const auto found = strings.find(aId);
    return found == strings.end() ? std::nullopt : std::optional<std::string>(found->second);
  }),
               QzError);
}

TEST_F(ApplicationTest, ApplicationLogLivesInLogFilesBesideTheHost) {
  tQZ_Application& application = Application();
  EXPECT_TRUE(fs::is_directory(fRoot / "LogFiles"));
  EXPECT_EQ(application.GetLogDirectory(), (fRoot / "LogFiles").string());
  const fs::path file = fRoot / "LogFiles" / "test_support.log";
  EXPECT_EQ(application.GetLogFileName(), file.string());
  EXPECT_FALSE(fs::exists(file));

  application.Log(let_info, "started");
  application.Log(let_error, "Receipt node not found");
  application.Log(let_info, "after the error");
  EXPECT_EQ(application.LastError(), "Receipt node not found");
  FreeApplication();  // drains the log
  const std::string content = ReadFile(file);
  EXPECT_NE(content.find(" - started\r\n"), std::string::npos);
  EXPECT_NE(content.find(" - ERROR - Receipt node not found\r\n"), std::string::npos);
}

TEST_F(ApplicationTest, ChangingTheLogFolderAndName) {
  tQZ_Application& application = Application();
  application.ChangeLogDirectory("Archive");
  EXPECT_EQ(application.GetLogDirectory(), (fRoot / "LogFiles" / "Archive").string());
  EXPECT_TRUE(fs::is_directory(fRoot / "LogFiles" / "Archive"));
  application.ChangeLogDirectory((fRoot / "Absolute").string());
  EXPECT_EQ(application.GetLogDirectory(), (fRoot / "Absolute").string());
  application.ChangeLogFilename("other.txt");
  application.Log(let_info, "moved");
  FreeApplication();
  EXPECT_NE(ReadFile(fRoot / "Absolute" / "other.txt").find(" - moved\r\n"), std::string::npos);
}

TEST_F(ApplicationTest, SettingsMessagesAndTimers) {
  tQZ_Application& application = Application();
  tQZ_Setup& setup = application.Setup();
  setup.Define("Port");
  EXPECT_EQ(setup.GetValue("PORT"), "");
  setup.SetValue("port", "5001");
  setup.SetValue("Host", "localhost");
  EXPECT_EQ(setup.GetValue("Port"), "5001");
  EXPECT_EQ(setup.Count(), 2u);
  EXPECT_EQ(setup.GetValue("missing"), "");

  application.LoadMessages({"it.Hello:Ciao %s:ignored", "Hello.en:Hello %s", "it.Hello:Salve %s"});
  EXPECT_EQ(application.GetMessage("Hello", {"Anna"}), "Hello");  // no language: the id itself
  application.SetDefaultLanguage("en");
  EXPECT_EQ(application.GetMessage("Hello", {"Anna"}), "Hello Anna");
  application.SetLanguage("it");
  EXPECT_EQ(application.GetMessage("Hello", {"Anna"}), "Ciao Anna");
  EXPECT_EQ(application.GetMessage("Unknown"), "Unknown");

  EXPECT_EQ(application.GetTimerCount(), 0u);
  application.StartTimer();
  application.StartTimer();
  EXPECT_EQ(application.GetTimerCount(), 2u);
  EXPECT_GE(application.StopTimer(), 0);
  EXPECT_EQ(application.GetTimerCount(), 1u);
}

// Runs only inside the child started below: reports the switches the application read, as a bit mask.
TEST(ApplicationSwitchesChild, ReportsSwitches) {
  if (!IsChildRun()) GTEST_SKIP() << "runs as a child process only";
  const tQZ_Application& application = Application();
  std::exit((application.IsBatch() ? 1 : 0) | (application.IsDebug() ? 2 : 0) |
            (application.IsTest() ? 4 : 0));
}

TEST(ApplicationSwitches, ReadFromTheHostCommandLine) {
  if (IsChildRun()) GTEST_SKIP();
  char pattern[] = "/tmp/qz_switches_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  ScopedEnv appDir("QZFP_APP_DIR", pattern);
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{}, 0},
      {{"/batch"}, 1},
      {{"/Batch=1", "/DEBUG"}, 3},
      {{"/batchmode", "/test:x"}, 4},
      {{"/debugging", "/TEST"}, 4},
  };
  for (const auto& [arguments, expected] : cases) {
    EXPECT_EQ(RunSelfAsChild("ApplicationSwitchesChild.ReportsSwitches", arguments), expected);
  }
  fs::remove_all(pattern);
}

}  // namespace
