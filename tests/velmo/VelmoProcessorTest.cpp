#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <vector>

#include "TempFolder.h"
#include "drivers/velmo/uQZFP_VELMO_10.h"
#include "io/uQZIOHandler.h"
#include "platform/QzError.h"

namespace {

namespace fs = std::filesystem;

// Reaches the operations the base class keeps protected, as its public operations would.
class TestableVelmo : public kFiscalProcessor_VELMO {
 public:
  using kFiscalProcessor_VELMO::BeginTraining;
  using kFiscalProcessor_VELMO::GetDayOpened;
  using kFiscalProcessor_VELMO::kFiscalProcessor_VELMO;
};

std::string OpenRequest(const std::string& aTillSerial) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><ReceiptPrinterManager>"
         "<Type>FiscalPrinter</Type><Driver>QZFP_VELMO_10</Driver><Method>OPEN</Method><LogId>velmotest</"
         "LogId>"
         "<Parameters><Processor>QZFP_VELMO_10</Processor><FPTillSerial>" +
         aTillSerial + "</FPTillSerial></Parameters></ReceiptPrinterManager>";
}

std::vector<std::string> SplitLines(const std::string& aText) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = aText.find("\r\n", start);
    lines.push_back(aText.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

std::string Today() {
  const DateTime::Parts today = DateTime::Now().Decode();
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", today.Year, today.Month, today.Day);
  return text;
}

class VelmoProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(fFolder.Path() / "app");
    ::setenv("QZFP_DATA_ROOT", (fFolder.Path() / "data").string().append("/").c_str(), 1);
    ::setenv("QZFP_APP_DIR", (fFolder.Path() / "app").string().append("/").c_str(), 1);
    // Report texts are checked as an Italian till shows them.
    const char* locale = ::getenv("LC_ALL");
    if (locale != nullptr) fSavedLocale = locale;
    ::setenv("LC_ALL", "it_IT.UTF-8", 1);
  }
  void TearDown() override {
    fProcessors.clear();  // drains the logs before the folder goes
    if (fSavedLocale) {
      ::setenv("LC_ALL", fSavedLocale->c_str(), 1);
    } else {
      ::unsetenv("LC_ALL");
    }
  }

  TestableVelmo& OpenTill(const std::string& aTillSerial = "0042") {
    kFiscalProcessorHandler handler;
    handler.Deserialize(OpenRequest(aTillSerial), qzReceiptHandlerDocumentTypes{});
    fProcessors.push_back(std::make_unique<TestableVelmo>(handler));
    fProcessors.back()->Open(handler);
    return *fProcessors.back();
  }
  kFiscalProcessorHandler& Handler() {
    fHandler = std::make_unique<kFiscalProcessorHandler>();
    fHandler->Deserialize(OpenRequest("0042"), qzReceiptHandlerDocumentTypes{});
    return *fHandler;
  }
  fs::path TillFolder(const std::string& aTillSerial = "0042") const {
    return fFolder.Path() / "data" / aTillSerial;
  }
  fs::path CountersFile() const { return TillFolder() / "counters.actual.fprc"; }
  // Counts receipts as the receipt processing does, through a second view of the same file.
  void CountReceipts(const std::vector<std::pair<qzReceiptType, const char*>>& aReceipts) {
    kFiscalProcessorCounters counters;
    counters.Init(CountersFile().string(), "0042");
    for (const auto& [type, amount] : aReceipts) ASSERT_TRUE(counters.Update(type, *Currency::Parse(amount)));
  }

  TempFolder fFolder;
  std::optional<std::string> fSavedLocale;
  std::vector<std::unique_ptr<TestableVelmo>> fProcessors;
  std::unique_ptr<kFiscalProcessorHandler> fHandler;
};

TEST_F(VelmoProcessorTest, OpenCreatesTheCountersAndStatusDescribesTheTill) {
  TestableVelmo& processor = OpenTill();
  ASSERT_TRUE(fs::exists(CountersFile()));
  EXPECT_EQ(processor.FPCounters().CurrentZReportNo(), 1);
  EXPECT_TRUE(processor.ReceiptSubTypes().empty());  // no settings file: not an error

  const DateTime before = DateTime::Now();
  ASSERT_TRUE(processor.ProcessGetStatus(Handler()));
  const qzProcessorStatus& status = processor.Status();
  EXPECT_FALSE(status.DayOpened);
  EXPECT_GE(status.DateTime, before);
  EXPECT_LE(status.DateTime, DateTime::Now());
  EXPECT_FALSE(status.TrainingMode);
  EXPECT_EQ(status.FirmwareVersion, "1.04");
  EXPECT_EQ(status.SerialNumber, "0042");
  EXPECT_EQ(status.FiscalMode, "MF");

  CountReceipts({{rt_Sale, "1"}});
  ASSERT_TRUE(processor.ProcessGetStatus(Handler()));
  EXPECT_TRUE(processor.Status().DayOpened);
  EXPECT_TRUE(processor.GetDayOpened());

  const std::string logFile = processor.IOHandler().GetLogFileName();
  fProcessors.clear();
  const std::string log = ReadText(logFile);
  for (const char* line : {"OPEN:BEGIN", "OPEN:END", "GETSTATUS:BEGIN", "FiscalMode=MF", "TrainingMode=False",
                           "SerialNumber=0042", "GETSTATUS:END"}) {
    EXPECT_NE(log.find(std::string(" - ") + line + "\r\n"), std::string::npos) << line << " in\n" << log;
  }
}

TEST_F(VelmoProcessorTest, SettingsSectionIsReadAtEveryOpen) {
  const fs::path ini = fFolder.Path() / "app" / "QZPA_VELMO_10.ini";
  WriteText(ini, "[Other]\r\nGift=XX\r\n[receiptsubtypes]\r\nGift=GC\r\nNoEquals\r\n\r\n[Next]\r\nb=2\r\n");
  EXPECT_EQ(OpenTill().ReceiptSubTypes(), (std::vector<std::string>{"Gift=GC", "NoEquals", ""}));

  WriteText(ini, "[ReceiptSubTypes]\nVoucher=VC\n");
  TestableVelmo& processor = OpenTill();
  EXPECT_EQ(processor.ReceiptSubTypes(), (std::vector<std::string>{"Voucher=VC"}));
}

TEST_F(VelmoProcessorTest, OpenFailsOnAMalformedCountersFile) {
  fs::create_directories(TillFolder());
  WriteText(CountersFile(), "<FPRCounters><CurrentZReportNo>one</CurrentZReportNo></FPRCounters>");
  try {
    OpenTill();
    FAIL() << "OPEN succeeded";
  } catch (const QzError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Error in processing node CurrentZReportNo as integer.\r\n", 0),
              0u);
  }
  EXPECT_EQ(ReadText(CountersFile()), "<FPRCounters><CurrentZReportNo>one</CurrentZReportNo></FPRCounters>");
}

TEST_F(VelmoProcessorTest, XReportShowsTheRunningDayAndChangesNothing) {
  TestableVelmo& processor = OpenTill();
  CountReceipts({{rt_Sale, "12.50"}, {rt_Sale, "7.50"}, {rt_Refund, "2.50"}});
  const std::string countersBefore = ReadText(CountersFile());

  ASSERT_TRUE(processor.ProcessXReport(Handler()));
  const qzFiscalCounters& report = processor.Counters();
  EXPECT_EQ(report.CurrentReceiptNo, 3);
  EXPECT_EQ(report.CurrentReportNo, 1);
  EXPECT_EQ(report.ReportDateTime, DateTime::Now().DateOnly());
  EXPECT_EQ(report.DailyTotal, *Currency::Parse("17.5"));
  EXPECT_EQ(report.GrandTotalSales, *Currency::Parse("20"));

  const std::vector<std::string> lines = SplitLines(report.Text);
  const std::string dashes(44, '-');
  const std::vector<std::string> expected = {
      "X-REPORT",
      dashes,
      "",
      "Cassa 0042",
      "<date>",
      "",
      dashes,
      "",
      "Totale Giorno                          17,50",
      "",
      "Totale Giorno Vendite                  20,00",
      "Totale Giorno Resi                      2,50",
      "Totale Giorno Annullamenti              0,00",
      "",
      dashes,
      "",
      "Scontrini Emessi                           3",
  };
  ASSERT_EQ(lines.size(), expected.size()) << report.Text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (expected[i] == "<date>") {
      EXPECT_TRUE(std::regex_match(lines[i], std::regex(R"(Data \d\d/\d\d/\d{4} \d\d:\d\d)"))) << lines[i];
    } else {
      EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    }
  }
  EXPECT_NE(report.Text.back(), '\n');

  ASSERT_TRUE(processor.ProcessXReport(Handler()));
  EXPECT_EQ(ReadText(CountersFile()), countersBefore);
  EXPECT_FALSE(fs::exists(TillFolder() / "counters.previous.fprc"));
}

TEST_F(VelmoProcessorTest, ZReportArchivesTheDayAndClosesIt) {
  TestableVelmo& processor = OpenTill();
  CountReceipts({{rt_Sale, "1234.5"}, {rt_Refund, "2.5"}, {rt_Void, "1"}});
  const std::string dayBefore = ReadText(CountersFile());

  ASSERT_TRUE(processor.ProcessZReport(Handler()));
  const std::vector<std::string> lines = SplitLines(processor.Counters().Text);
  ASSERT_EQ(lines.size(), 26u) << processor.Counters().Text;
  EXPECT_EQ(lines[0], "Z-REPORT # 0001");
  EXPECT_EQ(lines[4], "Cassa 0042");
  EXPECT_TRUE(std::regex_match(lines[5], std::regex(R"(Data \d\d/\d\d/\d{4} \d\d:\d\d)"))) << lines[5];
  EXPECT_EQ(lines[9], "Grantotale                          1.231,00");
  EXPECT_EQ(lines[11], "Grantotale Vendite                  1.234,50");
  EXPECT_EQ(lines[12], "Grantotale Resi                         2,50");
  EXPECT_EQ(lines[13], "Grantotale Annullamenti                 1,00");
  EXPECT_EQ(lines[17], "Totale Giorno                       1.231,00");
  EXPECT_EQ(lines[25], "Scontrini Emessi                           3");
  EXPECT_EQ(processor.Counters().CurrentReportNo, 1);

  // Both archives hold the day that was closed; the counters start the next one.
  EXPECT_EQ(ReadText(TillFolder() / "counters.previous.fprc"), dayBefore);
  EXPECT_EQ(ReadText(TillFolder() / "Processed" / Today() / "0001-9999.fprd"), dayBefore);
  kFiscalProcessorCounters after;
  after.Init(CountersFile().string(), "0042");
  EXPECT_EQ(after.CurrentZReportNo(), 2);
  EXPECT_EQ(after.CurrentReceiptNo(), 0);
  EXPECT_EQ(after.DailyTotal(), Currency());
  EXPECT_EQ(after.GrandTotalTotal(), *Currency::Parse("1231"));

  // A day without receipts still closes.
  ASSERT_TRUE(processor.ProcessZReport(Handler()));
  EXPECT_EQ(SplitLines(processor.Counters().Text)[0], "Z-REPORT # 0002");
  EXPECT_EQ(SplitLines(processor.Counters().Text)[17], "Totale Giorno                           0,00");
  EXPECT_TRUE(fs::exists(TillFolder() / "Processed" / Today() / "0002-9999.fprd"));
}

TEST_F(VelmoProcessorTest, ZReportWithAnExistingSnapshotFailsAndLeavesTheDayOpen) {
  TestableVelmo& processor = OpenTill();
  CountReceipts({{rt_Sale, "5"}});
  const fs::path snapshot = TillFolder() / "Processed" / Today() / "0001-9999.fprd";
  fs::create_directories(snapshot.parent_path());
  WriteText(snapshot, "left by an earlier attempt");
  const std::string dayBefore = ReadText(CountersFile());

  try {
    processor.ProcessZReport(Handler());
    FAIL() << "Z report succeeded";
  } catch (const QzError& error) {
    EXPECT_NE(std::string(error.what()).find("File exists"), std::string::npos) << error.what();
  }
  EXPECT_EQ(ReadText(CountersFile()), dayBefore);
  EXPECT_EQ(ReadText(snapshot), "left by an earlier attempt");

  // Once the snapshot is moved away the day closes; the lock was given back by the failed attempt.
  fs::remove(snapshot);
  ASSERT_TRUE(processor.ProcessZReport(Handler()));
  EXPECT_EQ(ReadText(snapshot), dayBefore);
}

TEST_F(VelmoProcessorTest, ZReportWithoutACountersFileClosesTheDayFromMemory) {
  TestableVelmo& processor = OpenTill();
  CountReceipts({{rt_Sale, "5"}});
  ASSERT_TRUE(processor.ProcessXReport(Handler()));  // the processor now holds one receipt
  fs::remove(CountersFile());

  ASSERT_TRUE(processor.ProcessZReport(Handler()));
  EXPECT_EQ(processor.Counters().CurrentReceiptNo, 1);
  EXPECT_FALSE(fs::exists(TillFolder() / "counters.previous.fprc"));
  EXPECT_FALSE(fs::exists(TillFolder() / "Processed" / Today() / "0001-9999.fprd"));
  kFiscalProcessorCounters after;
  after.Init(CountersFile().string(), "0042");
  EXPECT_EQ(after.CurrentZReportNo(), 2);
  EXPECT_EQ(after.GrandTotalSales(), *Currency::Parse("5"));
}

TEST_F(VelmoProcessorTest, LargeNumbersInTheZReport) {
  fs::create_directories(TillFolder());
  WriteText(
      CountersFile(),
      "<FPRCounters><CurrentReceiptNo>12345</CurrentReceiptNo><CurrentZReportNo>10000</CurrentZReportNo>"
      "<GrandTotalTotal>2000000</GrandTotalTotal><GrandTotalSales>1234567.89</GrandTotalSales>"
      "</FPRCounters>");
  TestableVelmo& processor = OpenTill();
  ASSERT_TRUE(processor.ProcessZReport(Handler()));
  const std::vector<std::string> lines = SplitLines(processor.Counters().Text);
  EXPECT_EQ(lines[0], "Z-REPORT # 0000");
  EXPECT_EQ(lines[9], "Grantotale                              2E06");
  EXPECT_EQ(lines[11], "Grantotale Vendite                1,23457E06");
  EXPECT_EQ(lines[25], "Scontrini Emessi                      12.345");
  EXPECT_TRUE(fs::exists(TillFolder() / "Processed" / Today() / "0000-9999.fprd"));
}

TEST_F(VelmoProcessorTest, TrainingModeStaysOnForEveryLaterProcessor) {
  TestableVelmo& first = OpenTill();
  ASSERT_TRUE(first.BeginTraining());
  ASSERT_TRUE(first.ProcessGetStatus(Handler()));
  EXPECT_TRUE(first.Status().TrainingMode);

  TestableVelmo& second = OpenTill();
  ASSERT_TRUE(second.ProcessGetStatus(Handler()));
  EXPECT_TRUE(second.Status().TrainingMode);
}

TEST_F(VelmoProcessorTest, PrinterOperationsSucceedWithoutEffect) {
  TestableVelmo& processor = OpenTill();
  kFiscalProcessorHandler& handler = Handler();
  const std::string countersBefore = ReadText(CountersFile());

  const _int_GETEJFILES_result files = processor.Pub_GetEJFiles(handler);
  EXPECT_FALSE(files.Error);
  EXPECT_EQ(files.FilesCount, 0);
  const _int_GETVATTABLE_result vat = processor.Pub_GetVatTable(handler);
  EXPECT_FALSE(vat.Error);
  EXPECT_TRUE(vat.VATTable.empty());
  const _int_GETDEPTTABLE_result dept = processor.Pub_GetDeptTable(handler);
  EXPECT_FALSE(dept.Error);
  EXPECT_TRUE(dept.DeptTable.empty());
  EXPECT_FALSE(processor.Pub_SetVatTable(handler).Error);
  EXPECT_FALSE(processor.Pub_SetDeptTable(handler).Error);
  EXPECT_FALSE(processor.Pub_OpenDrawer(handler).Error);
  const _int_EJREPORT_result journal = processor.Pub_EJReport(handler);
  EXPECT_FALSE(journal.Error);
  EXPECT_TRUE(journal.Text.empty());
  EXPECT_EQ(ReadText(CountersFile()), countersBefore);
}

}  // namespace
