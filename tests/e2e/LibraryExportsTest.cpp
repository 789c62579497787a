// The exports as a host uses them: OPEN, status, X and Z reports with their replies, files and log lines,
// and every way a call can fail.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "LibraryFixture.h"

namespace {

using namespace qze2e;
using Export = Library::Export;

Library& Lib() { return Library::Get(); }

// One label line of the report texts: the label padded to 34 characters, the value right-aligned in 10.
std::string ReportLine(const std::string& aLabel, const std::string& aValue) {
  return aLabel + std::string(34 - aLabel.size(), ' ') + std::string(10 - aValue.size(), ' ') + aValue;
}

std::string TodayMidnight() { return Till::Today("%Y-%m-%d") + "T00:00:00"; }

// A counters file as the driver keeps it, with amounts chosen to show every text form of the replies.
const char* kCountersWithAmounts =
    "<FPRCounters><TillSerial>X</TillSerial><CreatedAt>2024-05-02T09:15:03</CreatedAt>"
    "<LastUpdatedAt>2024-05-02T09:15:03</LastUpdatedAt><CurrentReceiptNo>7</CurrentReceiptNo>"
    "<CurrentZReportNo>12</CurrentZReportNo><DailyTotal>1500</DailyTotal><DailySales>1500.1</DailySales>"
    "<DailyRefunds>0.1</DailyRefunds><DailyVoids>0</DailyVoids><DailyDiscounts>0.0001</DailyDiscounts>"
    "<GrandTotalTotal>-12.3</GrandTotalTotal><GrandTotalSales>10</GrandTotalSales>"
    "<GrandTotalRefunds>22.3</GrandTotalRefunds><GrandTotalVoids>0</GrandTotalVoids>"
    "<GrandTotalDiscounts>0</GrandTotalDiscounts><TrainingMode>True</TrainingMode></FPRCounters>";

void WriteFile(const fs::path& aPath, const std::string& aText) {
  std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
  out << aText;
}

// The reply up to its Text element, and the Text itself.
std::string ReplyHead(const std::string& aReply) { return aReply.substr(0, aReply.find("<Text>")); }

std::string ZeroReportHead(const std::string& aRoot) {
  return "<" + aRoot +
         "><GrandTotalAmount>0</GrandTotalAmount><GrandTotalRefundsAmount>0</GrandTotalRefundsAmount>"
         "<GrandTotalVoidsAmount>0</GrandTotalVoidsAmount><DayTotalAmount>0</DayTotalAmount>"
         "<DayDiscountsAmount>0</DayDiscountsAmount><DayRefundsAmount>0</DayRefundsAmount>"
         "<DayVoidsAmount>0</DayVoidsAmount><DayReceiptsNumber>0</DayReceiptsNumber>"
         "<DayRefundsNumber>0</DayRefundsNumber><ReportNumber>0</ReportNumber>"
         "<ReportDateTime>1899-12-30T00:00:00</ReportDateTime>";
}

const char* kInitialStatus =
    "<Status><DayOpened>False</DayOpened><DateTime>1899-12-30T00:00:00</DateTime>"
    "<TrainingMode>False</TrainingMode><FirmwareVersion></FirmwareVersion><SerialNumber></SerialNumber>"
    "<FiscalMode></FiscalMode></Status>\r\n";

TEST(LibraryExports, OpenAnswersAHandleAndLogsIt) {
  Till till = NewTill();
  Reply reply = Lib().Open(till.OpenRequest());
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  EXPECT_GT(reply.Handle, 0);
  EXPECT_TRUE(reply.ErrorNull);
  EXPECT_TRUE(fs::exists(till.CountersFile()));
  for (const char* folder : {"Errors", "Journal", "Processed", "Queue"}) {
    EXPECT_TRUE(fs::is_directory(till.Folder() / folder)) << folder;
  }
  const std::string line = "OPEN:Assigned Handle: " + std::to_string(reply.Handle);
  EXPECT_NE(WaitForFileText(till.LogFile(), line).find(line), std::string::npos);

  // An OPEN that names the handle opens the same processor again.
  till.Handle = reply.Handle;
  Reply again = Lib().Open(till.Request("OPEN"));
  ASSERT_EQ(again.Result, 0) << again.Error;
  EXPECT_EQ(again.Handle, reply.Handle);
}

TEST(LibraryExports, StatusOfAFreshTill) {
  Till till = NewTill();
  OpenTill(till);
  Reply reply = Lib().Call(Export::PROCESSGETSTATUS, till.Request("GETSTATUS"));
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  EXPECT_TRUE(reply.ErrorNull);
  const std::regex shape(
      "<Status><DayOpened>False</DayOpened><DateTime>(\\d{4}-\\d\\d-\\d\\d)T\\d\\d:\\d\\d:\\d\\d</DateTime>"
      "<TrainingMode>False</TrainingMode><FirmwareVersion>1\\.04</FirmwareVersion>"
      "<SerialNumber>" +
      till.Serial + "</SerialNumber><FiscalMode>MF</FiscalMode></Status>\r\n");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(reply.Output, match, shape)) << reply.Output;
  EXPECT_EQ(match[1].str(), Till::Today("%Y-%m-%d"));
}

TEST(LibraryExports, StatusWithoutHandleAnswersTheInitialValues) {
  for (int handle : {0, -1}) {
    RequestParts parts;
    parts.Handle = handle;
    parts.TillSerial = "never";
    Reply reply = Lib().Call(Export::PROCESSGETSTATUS, BuildRequest(parts));
    EXPECT_EQ(reply.Result, 0) << reply.Error;
    EXPECT_TRUE(reply.ErrorNull);
    EXPECT_EQ(reply.Output, kInitialStatus);
  }
}

TEST(LibraryExports, XReportOfAFreshTillChangesNothing) {
  Till till = NewTill();
  OpenTill(till);
  const std::string counters = ReadFile(till.CountersFile());
  Reply reply = Lib().Call(Export::PROCESSXREPORT, till.Request("XREPORT"));
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  EXPECT_TRUE(reply.ErrorNull);
  std::string head = ZeroReportHead("XReport");
  head.replace(head.find("<ReportNumber>0<"), 16, "<ReportNumber>1<");
  head.replace(head.find("1899-12-30T00:00:00"), 19, TodayMidnight());
  EXPECT_EQ(ReplyHead(reply.Output), head);
  const std::string text = ElementText(reply.Output, "Text");
  EXPECT_EQ(
      text.rfind("X-REPORT\r\n--------------------------------------------\r\n\r\nCassa " + till.Serial, 0),
      0u)
      << text;
  EXPECT_NE(text.find("\r\n" + ReportLine("Totale Giorno", "0,00") + "\r\n"), std::string::npos) << text;
  EXPECT_TRUE(reply.Output.ends_with("</Text></XReport>\r\n"));

  EXPECT_EQ(ReadFile(till.CountersFile()), counters);
  EXPECT_FALSE(fs::exists(till.PreviousCountersFile()));
  const std::string line = "PROCESSXREPORT:Data: " + Till::Today("%Y-%m-%d") + " 00:00:00";
  EXPECT_NE(WaitForFileText(till.LogFile(), line).find(line), std::string::npos);
}

TEST(LibraryExports, ZReportClosesTheDayAndArchivesTheCounters) {
  Till till = NewTill();
  OpenTill(till);
  const std::string before = ReadFile(till.CountersFile());
  Reply reply = Lib().Call(Export::PROCESSZREPORT, till.Request("ZREPORT"));
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  EXPECT_TRUE(reply.ErrorNull);
  EXPECT_EQ(ElementText(reply.Output, "ReportNumber"), "1");
  EXPECT_EQ(ElementText(reply.Output, "ReportDateTime"), TodayMidnight());
  EXPECT_EQ(ElementText(reply.Output, "Text").rfind("Z-REPORT # 0001\r\n", 0), 0u);
  EXPECT_TRUE(reply.Output.starts_with("<ZReport><GrandTotalAmount>0</GrandTotalAmount>"));
  EXPECT_TRUE(reply.Output.ends_with("</Text></ZReport>\r\n"));

  EXPECT_EQ(ReadFile(till.PreviousCountersFile()), before);
  EXPECT_EQ(ReadFile(till.ProcessedToday() / "0001-9999.fprd"), before);
  EXPECT_NE(ReadFile(till.CountersFile()).find("<CurrentZReportNo>2</CurrentZReportNo>"), std::string::npos);
  EXPECT_NE(WaitForFileText(till.LogFile(), "PROCESSZREPORT:ReportNo: 1").find("PROCESSZREPORT:ReportNo: 1"),
            std::string::npos);

  Reply second = Lib().Call(Export::PROCESSZREPORT, till.Request("ZREPORT"));
  ASSERT_EQ(second.Result, 0) << second.Error;
  EXPECT_EQ(ElementText(second.Output, "ReportNumber"), "2");
  EXPECT_TRUE(fs::exists(till.ProcessedToday() / "0002-9999.fprd"));
}

// The amounts of the counters file reach the replies in their plain text form: whole amounts without a
// point, no trailing zeros, a sign for negative amounts, four decimals kept; refunds are never counted.
TEST(LibraryExports, ReportRepliesCarryTheCountersAmounts) {
  Till till = NewTill();
  OpenTill(till);
  WriteFile(till.CountersFile(), kCountersWithAmounts);
  const std::string expectedHead =
      "<GrandTotalAmount>-12.3</GrandTotalAmount><GrandTotalRefundsAmount>22.3</GrandTotalRefundsAmount>"
      "<GrandTotalVoidsAmount>0</GrandTotalVoidsAmount><DayTotalAmount>1500</DayTotalAmount>"
      "<DayDiscountsAmount>0.0001</DayDiscountsAmount><DayRefundsAmount>0.1</DayRefundsAmount>"
      "<DayVoidsAmount>0</DayVoidsAmount><DayReceiptsNumber>7</DayReceiptsNumber>"
      "<DayRefundsNumber>0</DayRefundsNumber><ReportNumber>12</ReportNumber>"
      "<ReportDateTime>" +
      TodayMidnight() + "</ReportDateTime>";

  Reply x = Lib().Call(Export::PROCESSXREPORT, till.Request("XREPORT"));
  ASSERT_EQ(x.Result, 0) << x.Error;
  EXPECT_EQ(ReplyHead(x.Output), "<XReport>" + expectedHead);
  EXPECT_NE(ElementText(x.Output, "Text").find(ReportLine("Totale Giorno Vendite", "1.500,10")),
            std::string::npos)
      << x.Output;

  Reply status = Lib().Call(Export::PROCESSGETSTATUS, till.Request("GETSTATUS"));
  ASSERT_EQ(status.Result, 0) << status.Error;
  EXPECT_EQ(ElementText(status.Output, "DayOpened"), "True");
  EXPECT_EQ(ElementText(status.Output, "TrainingMode"), "True");

  Reply z = Lib().Call(Export::PROCESSZREPORT, till.Request("ZREPORT"));
  ASSERT_EQ(z.Result, 0) << z.Error;
  EXPECT_EQ(ReplyHead(z.Output), "<ZReport>" + expectedHead);
  EXPECT_EQ(ReadFile(till.ProcessedToday() / "0012-9999.fprd"), kCountersWithAmounts);
  const std::string after = ReadFile(till.CountersFile());
  EXPECT_NE(after.find("<CurrentZReportNo>13</CurrentZReportNo>"), std::string::npos) << after;
  EXPECT_NE(after.find("<GrandTotalTotal>-12.3</GrandTotalTotal>"), std::string::npos) << after;
}

// The registry's refusals, whichever export receives them. Non-receipt replies are still built, with the
// initial values; the receipt's output stays null.
TEST(LibraryExports, RequestsThatNameNoOpenProcessorFail) {
  struct Case {
    Export Call;
    int Handle;
    const char* Error;
  };
  const std::vector<Case> cases = {
      {Export::PROCESSRECEIPT, 0, "Fiscal Processor has not previously opened"},
      {Export::PROCESSZREPORT, 0, "Fiscal Processor has not previously opened"},
      {Export::PROCESSXREPORT, -1, "Fiscal Processor has not previously opened"},
      {Export::PROCESSRECEIPT, 999999, "Processor Handle not found"},
      {Export::PROCESSZREPORT, 999999, "Processor Handle not found"},
      {Export::PROCESSXREPORT, 999999, "Processor Handle not found"},
      {Export::PROCESSGETSTATUS, 999999, "Processor Handle not found"},
  };
  const std::string receipt =
      "<Receipt><Type>Sale</Type><TotalAmount>0</TotalAmount><Lines/><Taxes/><Payments/></Receipt>";
  for (const Case& c : cases) {
    RequestParts parts;
    parts.Handle = c.Handle;
    parts.TillSerial = "nobody";
    parts.Body = c.Call == Export::PROCESSRECEIPT ? receipt : "";
    Reply reply = Lib().Call(c.Call, BuildRequest(parts));
    SCOPED_TRACE(std::to_string(static_cast<int>(c.Call)) + " handle " + std::to_string(c.Handle));
    EXPECT_EQ(reply.Result, -1);
    EXPECT_EQ(reply.Error, c.Error);
    switch (c.Call) {
      case Export::PROCESSRECEIPT:
        EXPECT_TRUE(reply.OutputNull);
        break;
      case Export::PROCESSGETSTATUS:
        EXPECT_EQ(reply.Output, kInitialStatus);
        break;
      default: {
        const std::string root = c.Call == Export::PROCESSZREPORT ? "ZReport" : "XReport";
        EXPECT_EQ(reply.Output, ZeroReportHead(root) + "<Text></Text></" + root + ">\r\n");
      }
    }
  }

  RequestParts open;
  open.Handle = 999999;
  Reply reply = Lib().Open(BuildRequest(open));
  EXPECT_EQ(reply.Result, -1);
  EXPECT_EQ(reply.Error, "Processor Handle not found");
  EXPECT_EQ(reply.Handle, 0);
}

TEST(LibraryExports, OpenOfAnUnregisteredDriverFails) {
  for (const char* name : {"qzfp_velmo_10", "", "QZFP_VELMO_1"}) {
    Till till = NewTill();
    RequestParts parts;
    parts.Processor = name;
    parts.TillSerial = till.Serial;
    parts.LogId = till.LogId;
    Reply reply = Lib().Open(BuildRequest(parts));
    EXPECT_EQ(reply.Result, -1);
    EXPECT_EQ(reply.Error, std::string("Fiscal Processor Driver [") + name + "] not registered.");
    EXPECT_EQ(reply.Handle, 0);
    EXPECT_FALSE(fs::exists(till.Folder()));
    EXPECT_FALSE(fs::exists(till.LogFile()));
  }
}

// Texts that are no request at all fail every export with a message, before anything is touched.
TEST(LibraryExports, RequestsThatAreNotXmlFail) {
  const std::string notXml = "<ReceiptPrinterManager><Driver>";
  const std::string empty;
  const std::vector<const std::string*> requests = {&notXml, &empty, nullptr};
  for (const std::string* request : requests) {
    SCOPED_TRACE(request == nullptr ? "null" : "'" + *request + "'");
    Reply open = Lib().CallOpen(request);
    EXPECT_EQ(open.Result, -1);
    EXPECT_FALSE(open.Error.empty());
    EXPECT_EQ(open.Handle, 0);
    for (Export e :
         {Export::PROCESSRECEIPT, Export::PROCESSZREPORT, Export::PROCESSXREPORT, Export::PROCESSGETSTATUS}) {
      Reply reply = Lib().CallProcess(e, request);
      EXPECT_EQ(reply.Result, -1);
      EXPECT_FALSE(reply.Error.empty());
      EXPECT_EQ(reply.Error, open.Error);
      EXPECT_EQ(reply.OutputNull, e == Export::PROCESSRECEIPT);
    }
  }
}

// A host that passes a null out-pointer gets -1 and nothing written, never a crash; the call does nothing.
TEST(LibraryExports, NullOutPointersAreRefused) {
  Till till = NewTill();
  OpenTill(till);
  const std::string request = till.Request("ZREPORT");
  Bstr text = Lib().MakeBstr(&request);
  Bstr sentinel = reinterpret_cast<Bstr>(0x1);
  std::int32_t handle = 77;

  EXPECT_EQ(Lib().OpenExport()(text, nullptr, &sentinel), -1);
  EXPECT_EQ(Lib().OpenExport()(text, &handle, nullptr), -1);
  EXPECT_EQ(handle, 77);
  for (Export e :
       {Export::PROCESSRECEIPT, Export::PROCESSZREPORT, Export::PROCESSXREPORT, Export::PROCESSGETSTATUS}) {
    EXPECT_EQ(Lib().Process(e)(text, nullptr, &sentinel), -1);
    EXPECT_EQ(Lib().Process(e)(text, &sentinel, nullptr), -1);
  }
  EXPECT_EQ(sentinel, reinterpret_cast<Bstr>(0x1));
  Lib().FreeBstr(text);
  // The Z report was not made.
  EXPECT_FALSE(fs::exists(till.PreviousCountersFile()));
}

// A counters file that cannot be read fails everything that reads it with the reader's message, and
// nothing is written: the day stays open, no archive is made, the file stays as it was.
TEST(LibraryExports, UnreadableCountersFileFailsAndChangesNothing) {
  Till till = NewTill();
  OpenTill(till);
  const std::string broken = "<FPRCounters><CurrentReceiptNo>3</CurrentReceiptNo>";
  WriteFile(till.CountersFile(), broken);

  Reply status = Lib().Call(Export::PROCESSGETSTATUS, till.Request("GETSTATUS"));
  EXPECT_EQ(status.Result, -1);
  ASSERT_FALSE(status.Error.empty());
  EXPECT_EQ(status.Output, kInitialStatus);
  for (Export e : {Export::PROCESSXREPORT, Export::PROCESSZREPORT}) {
    Reply reply = Lib().Call(e, till.Request("REPORT"));
    EXPECT_EQ(reply.Result, -1);
    EXPECT_EQ(reply.Error, status.Error);
    EXPECT_EQ(ElementText(reply.Output, "ReportNumber"), "0");
  }
  Reply reopen = Lib().Open(till.OpenRequest());
  EXPECT_EQ(reopen.Result, -1);
  EXPECT_EQ(reopen.Error, status.Error);
  EXPECT_EQ(reopen.Handle, 0);

  EXPECT_EQ(ReadFile(till.CountersFile()), broken);
  EXPECT_FALSE(fs::exists(till.PreviousCountersFile()));
  EXPECT_FALSE(fs::exists(till.ProcessedToday()));
  // Failures after the processor is bound are also in its log, as error lines.
  const std::string line = " - ERROR - " + status.Error;
  EXPECT_NE(WaitForFileText(till.LogFile(), line).find(line), std::string::npos);
}

}  // namespace
