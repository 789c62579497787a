// The fiscal processor base, run through a small driver of its own: construction and its log, the till's
// folders, settings sections, the driver version text and the public operations.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "FrameworkFixtures.h"
#include "documents/uQzReceipt.h"
#include "framework/uQzFiscalProcessor.h"
#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "support/uQZ_Base.h"

namespace {

namespace fs = std::filesystem;
using qzfwtest::Request;

// A driver whose operations record their calls and do what the test sets up.
class kFiscalProcessor_TEST : public kFiscalProcessor {
 public:
  using kFiscalProcessor::kFiscalProcessor;

  std::vector<std::string> Calls;
  bool Ready = true;
  bool CheckReadyAnswer = false;
  std::vector<std::string> FailIn;  // operations that record an error in the I/O handler
  DateTime DeviceClock = DateTime(45000.5);
  std::int32_t FilesWritten = 0;

  kVatTable& OwnVatTable() { return *fVatTable; }
  kDeptTable& OwnDeptTable() { return *fDeptTable; }
  kEconomicActivityTable& OwnEATable() { return *fEATable; }

  bool Init() override { return Call("Init"); }
  bool ProcessReceipt(kFiscalProcessorHandler&) override { return Call("ProcessReceipt"); }
  bool ProcessZReport(kFiscalProcessorHandler&) override { return Call("ProcessZReport"); }
  bool ProcessXReport(kFiscalProcessorHandler&) override { return Call("ProcessXReport"); }
  bool ProcessGetStatus(kFiscalProcessorHandler&) override { return Call("ProcessGetStatus"); }

 protected:
  bool CheckReady() override {
    Call("CheckReady");
    return CheckReadyAnswer;
  }
  bool GetStatus(bool&, DateTime&, bool&, std::string&, std::string&, std::string&) override {
    return Call("GetStatus");
  }
  bool GetDateTime(DateTime& aDateTime) override {
    aDateTime = DeviceClock;
    return Call("GetDateTime");
  }
  bool SetDateTime(DateTime aDateTime) override {
    DeviceClock = aDateTime;
    return Call("SetDateTime");
  }
  bool BeginTraining() override { return Call("BeginTraining"); }
  bool GetVatTable() override { return Call("GetVatTable"); }
  bool SetVatTable(const kVatTable& aVatTable) override {
    return Call("SetVatTable:" + std::to_string(aVatTable.size()));
  }
  bool GetEATable() override { return Call("GetEATable"); }
  bool SetEATable(const kEconomicActivityTable& aEATable) override {
    return Call("SetEATable:" + std::to_string(aEATable.size()));
  }
  bool GetDeptTable() override { return Call("GetDeptTable"); }
  bool SetDeptTable(const kDeptTable& aDeptTable) override {
    return Call("SetDeptTable:" + std::to_string(aDeptTable.size()));
  }
  bool OpenDrawer(std::int32_t aNumber) override { return Call("OpenDrawer:" + std::to_string(aNumber)); }
  bool EJReportZReport(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                       _int_EJREPORT_result& aResult) override {
    aResult.Text = "Z report text";
    return Call("EJReportZReport:" + Describe(aDestination, aStartDate, aEndDate, 0, 0));
  }
  bool EJReportFiscalReceipt(qzEJReportDestination d, DateTime s, DateTime e, std::int32_t a, std::int32_t b,
                             _int_EJREPORT_result&) override {
    return Call("EJReportFiscalReceipt:" + Describe(d, s, e, a, b));
  }
  bool EJReportNonFiscalReceipt(qzEJReportDestination d, DateTime s, DateTime e, std::int32_t a,
                                std::int32_t b, _int_EJREPORT_result&) override {
    return Call("EJReportNonFiscalReceipt:" + Describe(d, s, e, a, b));
  }
  bool EJReportCreditNote(qzEJReportDestination d, DateTime s, DateTime e, std::int32_t a, std::int32_t b,
                          _int_EJREPORT_result&) override {
    return Call("EJReportCreditNote:" + Describe(d, s, e, a, b));
  }
  bool EJReportInvoice(qzEJReportDestination d, DateTime s, DateTime e, std::int32_t a, std::int32_t b,
                       _int_EJREPORT_result&) override {
    return Call("EJReportInvoice:" + Describe(d, s, e, a, b));
  }
  bool GetEJFiles(qzEJFilesRequestType, DateTime, DateTime, const std::string& aOutputFolder,
                  std::int32_t& aFilesCount) override {
    aFilesCount = FilesWritten;
    return Call("GetEJFiles:" + aOutputFolder);
  }
  bool IsReady() override {
    Call("IsReady");
    return Ready;
  }
  bool GetDayOpened() override { return Call("GetDayOpened"); }
  bool GetLotteryReceiptStatus(const kReceiptReference& aReference) override {
    fLotteryReceiptStatus = {true, "00", "Accepted", aReference.ReceiptNumber()};
    return Call("GetLotteryReceiptStatus");
  }
  bool Probe() override { return Call("Probe"); }

 private:
  bool Call(const std::string& aName) {
    Calls.push_back(aName);
    const std::string operation = aName.substr(0, aName.find(':'));
    for (const std::string& failing : FailIn) {
      if (failing == operation) fIOHandler->SetCustomError(100, "Device refused " + operation);
    }
    return true;
  }
  static std::string Describe(qzEJReportDestination aDestination, DateTime aStart, DateTime aEnd,
                              std::int32_t aFirst, std::int32_t aLast) {
    return std::to_string(aDestination) + "," + DateTimeToXml(false, aStart) + "," +
           DateTimeToXml(false, aEnd) + "," + std::to_string(aFirst) + "," + std::to_string(aLast);
  }
};

std::unique_ptr<kFiscalProcessorHandler> ParsedRequest(const std::string& aParameters,
                                                       const std::string& aDocuments = "",
                                                       qzReceiptHandlerDocumentTypes aTypes = {}) {
  auto handler = std::make_unique<kFiscalProcessorHandler>();
  handler->Deserialize(Request("<Processor>QZFP_VELMO_10</Processor>" + aParameters, aDocuments), aTypes);
  return handler;
}

std::string Today() {
  const DateTime::Parts now = DateTime::Now().Decode();
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", now.Year, now.Month, now.Day);
  return text;
}

class FiscalProcessorTest : public ::testing::Test {
 protected:
  std::unique_ptr<kFiscalProcessor_TEST> NewProcessor(const std::string& aParameters = "") {
    auto handler = ParsedRequest(aParameters);
    return std::make_unique<kFiscalProcessor_TEST>(*handler);
  }
  fs::path LogFile() const { return folders.LogFolder() / ("QZFP_VELMO_10_7_" + Today() + ".log"); }

  qzfwtest::HostFolders folders;
};

TEST_F(FiscalProcessorTest, ConstructionOpensTheRequestsLogBesideTheHostWithTheDriverVersion) {
  auto processor = NewProcessor("<HexLog>true</HexLog><ConnectTimeout>4000</ConnectTimeout>");
  kIOHandler& io = processor->IOHandler();
  EXPECT_NE(dynamic_cast<kIOHandler_TCP*>(&io), nullptr);
  EXPECT_TRUE(io.HexLog());
  EXPECT_EQ(io.ConnectTimeout(), 4000);
  EXPECT_EQ(io.GetLogFileName(), LogFile().string());
  EXPECT_EQ(io.Version(), kFiscalProcessor::GetDriverVersion());
  EXPECT_EQ(processor->Handle(), 0);
  EXPECT_TRUE(processor->VatTable().empty());

  processor.reset();  // the log is complete once the processor is gone
  const std::string log = qzfwtest::ReadFile(LogFile());
  EXPECT_NE(log.find(" START "), std::string::npos) << log;
  EXPECT_NE(log.find(" STOP "), std::string::npos) << log;
}

TEST_F(FiscalProcessorTest, TheDriverVersionNamesTheReleaseAsARegionalShortDate) {
  const char* saved = std::getenv("LC_ALL");
  const std::string previous = saved ? saved : "";
  ::setenv("LC_ALL", "it_IT.UTF-8", 1);
  const std::string version = kFiscalProcessor::GetDriverVersion();
  if (saved) {
    ::setenv("LC_ALL", previous.c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
  EXPECT_EQ(version, "Version 1.04 - 14/04/2022");
}

TEST_F(FiscalProcessorTest, OpenSetsAndCreatesTheTillFolders) {
  auto processor = NewProcessor();
  auto handler = ParsedRequest("<FPTillSerial>0042</FPTillSerial>");
  EXPECT_TRUE(processor->Open(*handler));

  const fs::path till = folders.DataRoot() / "0042";
  EXPECT_EQ(processor->DirQueue(), (till / "Queue").string());
  EXPECT_EQ(processor->DirErrors(), (till / "Errors").string());
  EXPECT_EQ(processor->DirProcessed(), (till / "Processed").string());
  EXPECT_EQ(processor->DirJournal(), (till / "Journal").string());
  EXPECT_EQ(processor->CountersActualFileName(), (till / "counters.actual.fprc").string());
  EXPECT_EQ(processor->CountersPreviousFileName(), (till / "counters.previous.fprc").string());
  for (const char* folder : {"Queue", "Errors", "Processed", "Journal"}) {
    EXPECT_TRUE(fs::is_directory(till / folder)) << folder;
  }
  EXPECT_FALSE(fs::exists(till / "counters.actual.fprc"));  // the driver makes its counters

  // An empty serial puts the folders straight into the data root.
  auto noSerial = ParsedRequest("");
  processor->Open(*noSerial);
  EXPECT_EQ(processor->DirErrors(), (folders.DataRoot() / "Errors").string());
  EXPECT_TRUE(fs::is_directory(folders.DataRoot() / "Errors"));
}

TEST_F(FiscalProcessorTest, OpenRefusesTillSerialsThatAreNoFolderName) {
  auto processor = NewProcessor();
  for (const char* serial : {"00|42", "a<b", "q\"t", "../outside", "a/b", "a\\b", ".", "..", "tab\there"}) {
    // Built with the XML engine so that every character reaches the till serial as it is.
    pugi::xml_document request;
    auto parsed = std::make_unique<kFiscalProcessorHandler>();
    pugi::xml_node root = request.append_child("R");
    root.append_child("Driver");
    pugi::xml_node parameters = root.append_child("Parameters");
    parameters.append_child("Processor").text().set("QZFP_VELMO_10");
    parameters.append_child("FPTillSerial").text().set(serial);
    std::ostringstream text;
    request.save(text);
    parsed->Deserialize(text.str(), {});
    ASSERT_EQ(parsed->TillSerial(), serial);

    try {
      processor->Open(*parsed);
      ADD_FAILURE() << "accepted " << serial;
    } catch (const QzError& e) {
      EXPECT_STREQ(e.what(), "Invalid characters in path") << serial;
    }
  }
  EXPECT_FALSE(fs::exists(folders.DataRoot()));
  EXPECT_FALSE(fs::exists(folders.Root() / "outside"));
}

TEST_F(FiscalProcessorTest, LoadIniSectionReadsOneSectionAsItStands) {
  const fs::path ini = folders.Root() / "QZPA_VELMO_10.ini";
  qzfwtest::WriteFile(ini,
                      "[Other]\r\na=1\r\n[ReceiptSubTypes]\r\nSale=SC\r\n\r\n; note\r\n[Next]\r\nb=2\r\n");
  std::vector<std::string> lines{"stale"};
  EXPECT_TRUE(kFiscalProcessor::LoadIniSection(ini.string(), "receiptsubtypes", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"Sale=SC", "", "; note"}));

  // The header is matched whole: a trailing blank makes it another line.
  qzfwtest::WriteFile(ini, "[ReceiptSubTypes] \nSale=SC\n");
  EXPECT_TRUE(kFiscalProcessor::LoadIniSection(ini.string(), "ReceiptSubTypes", lines));
  EXPECT_TRUE(lines.empty());

  // The last section runs to the end of the file; bare CR and LF end lines too.
  qzfwtest::WriteFile(ini, "[S]\rx=1\ny=2");
  EXPECT_TRUE(kFiscalProcessor::LoadIniSection(ini.string(), "S", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"x=1", "y=2"}));

  lines = {"kept"};
  EXPECT_FALSE(kFiscalProcessor::LoadIniSection((folders.Root() / "missing.ini").string(), "S", lines));
  EXPECT_FALSE(kFiscalProcessor::LoadIniSection(folders.Root().string(), "S", lines));  // a folder
  EXPECT_EQ(lines, (std::vector<std::string>{"kept"}));
}

TEST_F(FiscalProcessorTest, LoadIniSectionFollowsTheByteOrderMark) {
  const fs::path ini = folders.Root() / "s.ini";
  const std::string expected = "Reso=NC \xE2\x82\xAC";  // "Reso=NC €"
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string utf16le("\xFF\xFE[\0S\0]\0\r\0\n\0R\0e\0s\0o\0=\0N\0C\0 \0\xAC\x20", 30);
  const std::string utf16be("\xFE\xFF\0[\0S\0]\0\n\0R\0e\0s\0o\0=\0N\0C\0 \x20\xAC", 28);
  const Case cases[] = {
      {"UTF-8 without a mark", "[S]\r\n" + expected + "\r\n"},
      {"UTF-8 with its mark", "\xEF\xBB\xBF[S]\r\n" + expected},
      {"UTF-16 little-endian", utf16le},
      {"UTF-16 big-endian", utf16be},
  };
  for (const Case& c : cases) {
    qzfwtest::WriteFile(ini, c.bytes);
    std::vector<std::string> lines;
    EXPECT_TRUE(kFiscalProcessor::LoadIniSection(ini.string(), "S", lines)) << c.what;
    EXPECT_EQ(lines, std::vector<std::string>{expected}) << c.what;
  }
}

TEST_F(FiscalProcessorTest, PublicOperationsLogTheirBannerAndReplySuccessFromTheErrorState) {
  auto processor = NewProcessor();
  auto handler = ParsedRequest("");
  const _int_CLOSE_result close = processor->Pub_Close(*handler);
  EXPECT_FALSE(close.Error);
  EXPECT_EQ(close.ErrorText, "");
  EXPECT_EQ(close.LogFileName, LogFile().string());

  processor->FailIn = {"OpenDrawer"};
  const _int_OPENDR_result drawer = processor->Pub_OpenDrawer(*handler);
  EXPECT_TRUE(drawer.Error);
  EXPECT_EQ(drawer.ErrorText, "Device refused OpenDrawer");

  // The error state is the processor's until the registry clears it: the next operation fails too.
  processor->FailIn.clear();
  EXPECT_TRUE(processor->Pub_GetVatTable(*handler).Error);
  processor->IOHandler().ResetCustomError();
  EXPECT_FALSE(processor->Pub_GetVatTable(*handler).Error);

  processor.reset();
  const std::string log = qzfwtest::ReadFile(LogFile());
  const std::string dashes(60, '-');
  for (const char* title : {"Close", "OpenDrawer", "GetVATTable"}) {
    EXPECT_NE(log.find(" - " + dashes + " " + title + "\r\n"), std::string::npos) << title << "\n" << log;
  }
}

TEST_F(FiscalProcessorTest, TablesAreCopiedIntoTheReplyOnlyOnSuccess) {
  auto processor = NewProcessor();
  auto handler = ParsedRequest("");

  const _int_GETVATTABLE_result nothing = processor->Pub_GetVatTable(*handler);
  EXPECT_FALSE(nothing.Error);
  EXPECT_TRUE(nothing.VATTable.empty());

  auto vat = std::make_unique<kVat>();
  vat->SetIndex(1);
  vat->SetCode("A");
  vat->SetDescription("IVA 22");
  vat->SetRate(Currency::FromUnits(22));
  processor->OwnVatTable().push_back(std::move(vat));
  const _int_GETVATTABLE_result one = processor->Pub_GetVatTable(*handler);
  ASSERT_EQ(one.VATTable.size(), 1u);
  EXPECT_EQ(one.VATTable[0].Index, 1);
  EXPECT_EQ(one.VATTable[0].Code, "A");
  EXPECT_EQ(one.VATTable[0].Description, "IVA 22");
  EXPECT_EQ(one.VATTable[0].Rate, Currency::FromUnits(22));

  processor->FailIn = {"GetVatTable"};
  const _int_GETVATTABLE_result failed = processor->Pub_GetVatTable(*handler);
  EXPECT_TRUE(failed.Error);
  EXPECT_TRUE(failed.VATTable.empty());
}

TEST_F(FiscalProcessorTest, DepartmentsCarryTheirActivityFromTheActivityTable) {
  auto processor = NewProcessor();
  auto activity = std::make_unique<kEconomicActivity>();
  activity->SetCode("E1");
  activity->SetDescription("Bar");
  activity->SetVentilazione(true);
  processor->OwnEATable().push_back(std::move(activity));
  auto department = [](const char* aCode, qzDepartmentSalesType aType, const char* aEACode) {
    auto d = std::make_unique<kDepartment>();
    d->SetIndex(3);
    d->SetCode(aCode);
    d->SetDescription(std::string("Dept ") + aCode);
    d->SetVATCode("A");
    d->SetSalesType(aType);
    d->SetEACode(aEACode);
    return d;
  };
  processor->OwnDeptTable().push_back(department("D1", st_Service, "E1"));
  processor->OwnDeptTable().push_back(department("D2", st_Product, ""));
  processor->OwnDeptTable().push_back(department("D3", st_Product, "E9"));  // not in the activity table

  auto handler = ParsedRequest("");
  const _int_GETDEPTTABLE_result reply = processor->Pub_GetDeptTable(*handler);
  EXPECT_EQ(processor->Calls, (std::vector<std::string>{"GetEATable", "GetDeptTable"}));
  ASSERT_FALSE(reply.Error);
  ASSERT_EQ(reply.DeptTable.size(), 3u);
  const _int_Dept& d1 = reply.DeptTable[0];
  EXPECT_EQ(d1.Index, 3);
  EXPECT_EQ(d1.Code, "D1");
  EXPECT_EQ(d1.Description, "Dept D1");
  EXPECT_EQ(d1.VatCode, "A");
  EXPECT_EQ(d1.SalesType, "Service");
  EXPECT_EQ(d1.EACode, "E1");
  EXPECT_EQ(d1.EADescription, "Bar");
  EXPECT_EQ(d1.EAVATMode, "1");
  const _int_Dept& d2 = reply.DeptTable[1];
  EXPECT_EQ(d2.SalesType, "Product");
  EXPECT_EQ(d2.EACode + d2.EADescription + d2.EAVATMode, "");
  const _int_Dept& d3 = reply.DeptTable[2];
  EXPECT_EQ(d3.EACode, "E9");
  EXPECT_EQ(d3.EADescription + d3.EAVATMode, "");
}

TEST_F(FiscalProcessorTest, SetOperationsHandTheRequestsTablesToTheDriver) {
  auto processor = NewProcessor();
  auto handler = ParsedRequest("",
                               "<VATTable><Vat><Code>A</Code></Vat><Vat><Code>B</Code></Vat></VATTable>"
                               "<DeptTable><Dept><Code>D1</Code><EACode>E1</EACode></Dept><Dept><Code>D2</"
                               "Code><EACode>E2</EACode></Dept>"
                               "<Dept><Code>D3</Code></Dept></DeptTable><Drawer><Number>4</Number></Drawer>",
                               {dt_VatTable, dt_DeptTable, dt_Drawer});
  EXPECT_FALSE(processor->Pub_SetVatTable(*handler).Error);
  EXPECT_FALSE(processor->Pub_SetDeptTable(*handler).Error);
  EXPECT_FALSE(processor->Pub_OpenDrawer(*handler).Error);
  EXPECT_EQ(processor->Calls,
            (std::vector<std::string>{"SetVatTable:2", "SetEATable:2", "SetDeptTable:3", "OpenDrawer:4"}));
}

TEST_F(FiscalProcessorTest, SetDateTimeSetsOnlyARealDateAndAlwaysReadsTheClockBack) {
  auto processor = NewProcessor();

  auto zero = ParsedRequest("<DateTime>1899-12-30T00:00:00</DateTime>");
  const _int_SETDATETIME_result unchanged = processor->Pub_SetDateTime(*zero);
  EXPECT_EQ(processor->Calls, std::vector<std::string>{"GetDateTime"});
  EXPECT_EQ(unchanged.DateTime, DateTime(45000.5));
  EXPECT_FALSE(unchanged.Error);

  processor->Calls.clear();
  auto real = ParsedRequest("<DateTime>2024-05-02T09:05:03</DateTime>");
  const _int_SETDATETIME_result set = processor->Pub_SetDateTime(*real);
  EXPECT_EQ(processor->Calls, (std::vector<std::string>{"SetDateTime", "GetDateTime"}));
  EXPECT_EQ(DateTimeToXml(false, set.DateTime), "2024-05-02T09:05:03");

  // A failed set still reads the clock back, and the reply carries the error.
  processor->Calls.clear();
  processor->FailIn = {"SetDateTime"};
  const _int_SETDATETIME_result failed = processor->Pub_SetDateTime(*real);
  EXPECT_EQ(processor->Calls, (std::vector<std::string>{"SetDateTime", "GetDateTime"}));
  EXPECT_TRUE(failed.Error);
  EXPECT_EQ(failed.ErrorText, "Device refused SetDateTime");

  processor->Calls.clear();
  for (const char* parameters : {"", "<DateTime>2024-02-30T00:00:00</DateTime>"}) {
    auto bad = ParsedRequest(parameters);
    const std::string value = bad->GetParameter("DateTime");
    try {
      processor->Pub_SetDateTime(*bad);
      ADD_FAILURE() << "accepted [" << value << "]";
    } catch (const QzError& e) {
      EXPECT_EQ(std::string(e.what()), "DateTime Format invalid: [" + value + "]");
    }
  }
  EXPECT_TRUE(processor->Calls.empty());
}

TEST_F(FiscalProcessorTest, EJReportCallsTheOperationOfItsReportType) {
  struct Case {
    const char* type;
    std::string call;
  };
  const Case cases[] = {
      {"ZReport", "EJReportZReport:1,2024-05-01T00:00:00,2024-05-02T00:00:00,0,0"},
      {"FiscalReceipt", "EJReportFiscalReceipt:1,2024-05-01T00:00:00,2024-05-02T00:00:00,5,9"},
      {"NonFiscalReceipt", "EJReportNonFiscalReceipt:1,2024-05-01T00:00:00,2024-05-02T00:00:00,5,9"},
      {"CreditNote", "EJReportCreditNote:1,2024-05-01T00:00:00,2024-05-02T00:00:00,5,9"},
      {"Invoice", "EJReportInvoice:1,2024-05-01T00:00:00,2024-05-02T00:00:00,5,9"},
  };
  for (const Case& c : cases) {
    auto processor = NewProcessor();
    auto handler =
        ParsedRequest("",
                      std::string("<EJReport><ReportType>") + c.type +
                          "</ReportType><ReportDestination>Memory</ReportDestination>"
                          "<StartDate>2024-05-01T00:00:00</StartDate><EndDate>2024-05-02T00:00:00</EndDate>"
                          "<StartNumber>5</StartNumber><EndNumber>9</EndNumber></EJReport>",
                      {dt_EJReport});
    const _int_EJREPORT_result reply = processor->Pub_EJReport(*handler);
    EXPECT_EQ(processor->Calls, std::vector<std::string>{c.call}) << c.type;
    EXPECT_FALSE(reply.Error);
    EXPECT_EQ(reply.Text, std::string(c.type) == "ZReport" ? "Z report text" : "") << c.type;
  }
}

TEST_F(FiscalProcessorTest, EJFilesCountComesBackOnSuccess) {
  auto processor = NewProcessor();
  processor->FilesWritten = 3;
  auto handler =
      ParsedRequest("", "<EJRequest><RequestType>xml</RequestType><OutputDir>/tmp/ej</OutputDir></EJRequest>",
                    {dt_EJFilesRequest});
  const _int_GETEJFILES_result reply = processor->Pub_GetEJFiles(*handler);
  EXPECT_EQ(processor->Calls, std::vector<std::string>{"GetEJFiles:/tmp/ej"});
  EXPECT_FALSE(reply.Error);
  EXPECT_EQ(reply.FilesCount, 3);
}

TEST_F(FiscalProcessorTest, LotteryStatusAsksCheckReadyOnlyWhenTheDeviceIsNotReady) {
  auto handler = ParsedRequest(
      "",
      "<ReceiptReference><ReceiptType>Sale</ReceiptType><ReceiptNumber>77</ReceiptNumber></ReceiptReference>",
      {dt_ReceiptReference});

  auto ready = NewProcessor();
  const _int_GETLOTTERYRCPTSTATUS_result sent = ready->Pub_GetLotteryReceiptStatus(*handler);
  EXPECT_EQ(ready->Calls, (std::vector<std::string>{"IsReady", "GetLotteryReceiptStatus"}));
  EXPECT_FALSE(sent.Error);
  EXPECT_TRUE(sent.CorrectlySent);
  EXPECT_EQ(sent.StatusCode, "00");
  EXPECT_EQ(sent.StatusDescription, "Accepted");
  EXPECT_EQ(sent.ReferenceId, "77");

  auto busy = NewProcessor();
  busy->Ready = false;
  const _int_GETLOTTERYRCPTSTATUS_result skipped = busy->Pub_GetLotteryReceiptStatus(*handler);
  EXPECT_EQ(busy->Calls, (std::vector<std::string>{"IsReady", "CheckReady"}));
  EXPECT_FALSE(skipped.Error);
  EXPECT_FALSE(skipped.CorrectlySent);

  auto recovered = NewProcessor();
  recovered->Ready = false;
  recovered->CheckReadyAnswer = true;
  recovered->Pub_GetLotteryReceiptStatus(*handler);
  EXPECT_EQ(recovered->Calls, (std::vector<std::string>{"IsReady", "CheckReady", "GetLotteryReceiptStatus"}));
}

}  // namespace
