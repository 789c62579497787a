#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "TempFolder.h"
#include "drivers/velmo/uQZFP_VELMO_10.h"
#include "platform/QzError.h"

namespace {

Currency Amount(const char* aText) { return *Currency::Parse(aText); }

// Runs aBody in a child process and answers its pid; the child ends with exit status 0 when aBody returns.
template <typename Body>
pid_t RunChild(Body aBody) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    try {
      aBody();
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(0);
  }
  return pid;
}

int WaitExitStatus(pid_t aPid) {
  int status = 0;
  ::waitpid(aPid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CountersStoreTest : public ::testing::Test {
 protected:
  TempFolder fFolder;
  std::string fFile = fFolder.File("counters.actual.fprc");
};

TEST_F(CountersStoreTest, NewFileIsOneUtf8LineWithEveryElementInOrder) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "0042");

  const std::string text = ReadText(fFile);
  const std::regex expected(
      R"(<\?xml version="1\.0" encoding="UTF-8"\?><FPRCounters><TillSerial>0042</TillSerial>)"
      R"(<CreatedAt>(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)</CreatedAt><LastUpdatedAt>(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)</LastUpdatedAt>)"
      R"(<CurrentReceiptNo>0</CurrentReceiptNo><CurrentZReportNo>1</CurrentZReportNo>)"
      R"(<DailyTotal>0</DailyTotal><DailySales>0</DailySales><DailyRefunds>0</DailyRefunds>)"
      R"(<DailyVoids>0</DailyVoids><DailyDiscounts>0</DailyDiscounts><GrandTotalTotal>0</GrandTotalTotal>)"
      R"(<GrandTotalSales>0</GrandTotalSales><GrandTotalRefunds>0</GrandTotalRefunds>)"
      R"(<GrandTotalVoids>0</GrandTotalVoids><GrandTotalDiscounts>0</GrandTotalDiscounts>)"
      R"(<TrainingMode>False</TrainingMode></FPRCounters>)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(text, match, expected)) << text;
  EXPECT_EQ(match[1], match[2]);
  EXPECT_EQ(counters.CurrentZReportNo(), 1);
}

TEST_F(CountersStoreTest, ReceiptsAndZCountExactlyAndSurviveReopening) {
  {
    kFiscalProcessorCounters counters;
    counters.Init(fFile, "0042");
    EXPECT_TRUE(counters.Update(rt_Sale, Amount("12.50")));
    EXPECT_TRUE(counters.Update(rt_Refund, Amount("2.50")));
    EXPECT_TRUE(counters.Update(rt_Void, Amount("1.00")));
    EXPECT_TRUE(counters.Update(rt_InvoiceSale, Amount("99")));  // numbered only
  }
  kFiscalProcessorCounters reopened;
  reopened.Init(fFile, "0042");
  EXPECT_EQ(reopened.CurrentReceiptNo(), 4);
  EXPECT_EQ(reopened.DailySales(), Amount("12.5"));
  EXPECT_EQ(reopened.DailyRefunds(), Amount("2.5"));
  EXPECT_EQ(reopened.DailyVoids(), Amount("1"));
  EXPECT_EQ(reopened.DailyTotal(), Amount("9"));
  EXPECT_EQ(reopened.GrandTotalTotal(), Amount("9"));
  EXPECT_NE(ReadText(fFile).find("<DailySales>12.5</DailySales>"), std::string::npos);

  EXPECT_TRUE(reopened.Z());
  EXPECT_EQ(reopened.CurrentZReportNo(), 2);
  EXPECT_EQ(reopened.CurrentReceiptNo(), 0);
  EXPECT_EQ(reopened.DailySales(), Currency());
  EXPECT_EQ(reopened.DailyTotal(), Currency());
  EXPECT_EQ(reopened.GrandTotalSales(), Amount("12.5"));
  EXPECT_TRUE(reopened.Update(rt_Sale, Amount("5")));
  EXPECT_EQ(reopened.GrandTotalTotal(), Amount("14"));

  // Every operation reads the file first: a second object on the same file sees the changes at once.
  kFiscalProcessorCounters other;
  other.Init(fFile, "0042");
  EXPECT_TRUE(other.Update(rt_Refund, Amount("0.0001")));
  reopened.Refresh();
  EXPECT_EQ(reopened.CurrentReceiptNo(), 2);
  EXPECT_EQ(reopened.GrandTotalTotal(), Amount("13.9999"));
}

TEST_F(CountersStoreTest, HandWrittenFileIsReadLeniently) {
  // No declaration, elements out of order, a thousands comma, milliseconds, a foreign serial, missing
  // amounts and no TrainingMode.
  WriteText(fFile,
            "<FPRCounters>\n  <DailySales>1,234.50</DailySales>\n  <TillSerial>9999</TillSerial>\n"
            "  <CreatedAt>2024-05-02T09:15:03.250</CreatedAt>\n  <CurrentReceiptNo>7</CurrentReceiptNo>\n"
            "  <DailyRefunds></DailyRefunds>\n  <Unknown>x</Unknown>\n</FPRCounters>\n");
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "0042");
  EXPECT_EQ(counters.DailySales(), Amount("1234.5"));
  EXPECT_EQ(counters.DailyRefunds(), Currency());
  EXPECT_EQ(counters.CurrentReceiptNo(), 7);
  EXPECT_EQ(counters.CurrentZReportNo(), 0);
  EXPECT_EQ(counters.LastUpdatedAt(), DateTime());
  EXPECT_EQ(counters.CreatedAt().Decode().Millisecond, 250);
  EXPECT_FALSE(counters.TrainingMode());
  EXPECT_EQ(counters.TillSerial(), "0042");

  counters.Save();
  const std::string saved = ReadText(fFile);
  EXPECT_NE(saved.find("<DailySales>1234.5</DailySales>"), std::string::npos) << saved;
  EXPECT_NE(saved.find("<TillSerial>0042</TillSerial>"), std::string::npos);
  EXPECT_NE(saved.find("<CreatedAt>2024-05-02T09:15:03</CreatedAt>"), std::string::npos);
  EXPECT_NE(saved.find("<TrainingMode>False</TrainingMode>"), std::string::npos);
  EXPECT_EQ(saved.find("Unknown"), std::string::npos);
}

TEST_F(CountersStoreTest, BadFileFailsWithTheReadersMessageAndChangesNothing) {
  struct Case {
    const char* content;
    const char* message;
  };
  const Case cases[] = {
      {"<FPRCounters><CurrentReceiptNo>3", "at offset"},
      {"", "No document element found"},
      {"<FPRCounters><CreatedAt>2024-02-30T00:00:00</CreatedAt></FPRCounters>",
       "Error in processing node CreatedAt as datetime.\r\nDateTime Format invalid: [2024-02-30T00:00:00]"},
      {"<FPRCounters><DailySales>12,5.0.1</DailySales></FPRCounters>",
       "Error in processing node DailySales as currency.\r\n"},
      {"<FPRCounters><CurrentReceiptNo>x</CurrentReceiptNo></FPRCounters>",
       "Error in processing node CurrentReceiptNo as integer.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    std::filesystem::remove(fFile);
    kFiscalProcessorCounters counters;
    counters.Init(fFile, "0042");
    ASSERT_TRUE(counters.Update(rt_Sale, Amount("3")));
    WriteText(fFile, c.content);

    for (int operation = 0; operation < 3; ++operation) {
      try {
        if (operation == 0) counters.Refresh();
        if (operation == 1) counters.Update(rt_Sale, Amount("1"));
        if (operation == 2) counters.Z();
        ADD_FAILURE() << "no error from operation " << operation;
      } catch (const QzError& error) {
        EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
      }
      EXPECT_EQ(ReadText(fFile), c.content);
      EXPECT_EQ(counters.CurrentReceiptNo(), 1);
      EXPECT_EQ(counters.DailySales(), Amount("3"));
      EXPECT_EQ(counters.CurrentZReportNo(), 1);
    }
  }
}

TEST_F(CountersStoreTest, FailedSaveLeavesTheObjectAsItWas) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "0042");
  ASSERT_TRUE(counters.Update(rt_Sale, Amount("3")));
  std::filesystem::remove_all(fFolder.Path());

  EXPECT_THROW(counters.Update(rt_Sale, Amount("1")), QzError);
  EXPECT_THROW(counters.Z(), QzError);
  EXPECT_EQ(counters.CurrentReceiptNo(), 1);
  EXPECT_EQ(counters.DailySales(), Amount("3"));
  EXPECT_EQ(counters.CurrentZReportNo(), 1);
}

TEST(CountersStoreUnboundTest, NothingIsWrittenBeforeInit) {
  kFiscalProcessorCounters counters;
  EXPECT_FALSE(counters.Lock());
  EXPECT_EQ(counters.LockError(), "Counters file not set");
  EXPECT_THROW(counters.Update(rt_Sale, Currency::FromUnits(1)), QzError);
  EXPECT_THROW(counters.Save(), QzError);
  EXPECT_EQ(counters.CurrentReceiptNo(), 0);
}

TEST_F(CountersStoreTest, FileRemovedAfterInitIsWrittenAgainFromMemory) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "0042");
  ASSERT_TRUE(counters.Update(rt_Sale, Amount("3")));
  std::filesystem::remove(fFile);
  counters.Refresh();  // nothing to read: the values in memory stay
  ASSERT_TRUE(counters.Update(rt_Sale, Amount("1")));

  kFiscalProcessorCounters reread;
  reread.Init(fFile, "0042");
  EXPECT_EQ(reread.CurrentReceiptNo(), 2);
  EXPECT_EQ(reread.DailySales(), Amount("4"));
}

// A till killed in the middle of a save must still have readable counters: the file is replaced in one
// step, never truncated and rewritten in place.
TEST_F(CountersStoreTest, SaveKilledAtAnyMomentLeavesACompleteFile) {
  kFiscalProcessorCounters setup;
  setup.Init(fFile, "0042");
  for (int round = 0; round < 25; ++round) {
    const pid_t child = RunChild([&] {
      kFiscalProcessorCounters counters;
      counters.Init(fFile, "0042");
      for (;;) counters.Update(rt_Sale, Amount("1"));
    });
    ASSERT_GT(child, 0);
    ::usleep(2000 + (round * 1237) % 15000);
    ::kill(child, SIGKILL);
    WaitExitStatus(child);

    kFiscalProcessorCounters check;
    ASSERT_NO_THROW(check.Init(fFile, "0042")) << "round " << round << ": " << ReadText(fFile);
    EXPECT_EQ(check.DailySales(), Currency::FromUnits(check.CurrentReceiptNo()));
  }
}

// Two processes counting on one till: the lock spans each read-modify-write, so no receipt is lost.
TEST_F(CountersStoreTest, TwoProcessesUpdatingLoseNothing) {
  kFiscalProcessorCounters setup;
  setup.Init(fFile, "0042");
  constexpr int kPerProcess = 80;
  auto work = [&] {
    kFiscalProcessorCounters counters;
    counters.Init(fFile, "0042");
    for (int i = 0; i < kPerProcess; ++i) {
      if (!counters.Update(rt_Sale, Amount("1.25"))) ::_exit(3);
    }
  };
  const pid_t first = RunChild(work);
  const pid_t second = RunChild(work);
  EXPECT_EQ(WaitExitStatus(first), 0);
  EXPECT_EQ(WaitExitStatus(second), 0);

  setup.Refresh();
  EXPECT_EQ(setup.CurrentReceiptNo(), 2 * kPerProcess);
  EXPECT_EQ(setup.DailySales(), Amount("200"));
}

TEST_F(CountersStoreTest, LockNestsAndIsReleasedByTheOutermostUnlock) {
  kFiscalProcessorCounters counters;
  counters.Init(fFile, "0042");
  const std::string lockFile = fFile + ".lock";
  auto lockedElsewhere = [&] {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT, 0666);
    const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return busy;
  };

  ASSERT_TRUE(counters.Lock());
  EXPECT_TRUE(lockedElsewhere());
  EXPECT_TRUE(counters.Z());  // takes and gives back its own share of the lock
  EXPECT_TRUE(lockedElsewhere());
  EXPECT_TRUE(counters.Unlock());
  EXPECT_FALSE(lockedElsewhere());
  EXPECT_TRUE(counters.Update(rt_Sale, Amount("1")));
  EXPECT_FALSE(lockedElsewhere());
}

}  // namespace
