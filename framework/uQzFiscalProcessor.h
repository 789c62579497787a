#pragma once
// The fiscal processor framework: the parsed request (kFiscalProcessorHandler) and the abstract fiscal
// processor (kFiscalProcessor) that every driver derives from.
//
// A request handler is made per call, parses one request and carries its documents to the processor
// operation. A processor is made per open handle; it owns the I/O handler through which it reaches its
// device or service and writes its connection log, knows the till's data folders, and leaves the results
// of the export operations (updated receipt, report counters, status) for the caller to read back.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "documents/qzReceiptEnums.h"
#include "documents/uQzReceipt.h"
#include "framework/uQzDeviceHandler.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

// ---------------------------------------------------------------------------------------------------------
// The parsed request.

class kFiscalProcessorHandler : public kDeviceHandler {
 public:
  // Every document object exists from the start, empty; Deserialize fills only the kinds it is asked for.
  kFiscalProcessorHandler();
  ~kFiscalProcessorHandler() override;

  // Parses one request. The driver name is taken from the "Processor" (else "PROCESSOR") parameter
  // element, the request's connection is replaced by the fixed TCP connection to the local VELMO Proxy
  // (port 5001), then the envelope and the documents of aDocumentTypes (in bit order) are read. Every
  // failure raises QzError. Called once, right after construction.
  void Deserialize(const std::string& aXml, qzReceiptHandlerDocumentTypes aDocumentTypes);

  // The request text exactly as received, before any rewriting.
  const std::string& XmlString() const { return fXmlString; }
  void SetXmlString(const std::string& aValue) { fXmlString = aValue; }
  // The "FPTillSerial" parameter; empty when absent.
  const std::string& TillSerial() const { return fTillSerial; }

  const kReceipt& Receipt() const { return *fReceipt; }
  kReceipt& Receipt() { return *fReceipt; }
  const kNFReceipt& NFReceipt() const { return *fNFReceipt; }
  const kCustomerDisplay& CustomerDisplay() const { return *fCustomerDisplay; }
  const kDrawer& Drawer() const { return *fDrawer; }
  const kEJReport& EJReport() const { return *fEJReport; }
  const kVatTable& VATTable() const { return *fVATTable; }
  const kDeptTable& DeptTable() const { return *fDeptTable; }
  const kEconomicActivityTable& EATable() const { return *fEATable; }
  const kReceiptReference& ReceiptReference() const { return *fReceiptReference; }
  const kEJFilesRequest& EJFilesRequest() const { return *fEJFilesRequest; }

  // The text of the fixed connection that every request is given.
  static constexpr const char* kProxyAddress = "localhost";
  static constexpr const char* kProxyPort = "5001";
  static constexpr const char* kProxyConnectTimeout = "3000";
  static constexpr const char* kProxyReadTimeout = "5000";

 private:
  std::string fXmlString;
  std::string fTillSerial;
  std::unique_ptr<kReceipt> fReceipt;
  std::unique_ptr<kNFReceipt> fNFReceipt;
  std::unique_ptr<kCustomerDisplay> fCustomerDisplay;
  std::unique_ptr<kDrawer> fDrawer;
  std::unique_ptr<kEJReport> fEJReport;
  std::unique_ptr<kVatTable> fVATTable;
  std::unique_ptr<kDeptTable> fDeptTable;
  std::unique_ptr<kEconomicActivityTable> fEATable;
  std::unique_ptr<kPaymentReceipt> fPaymentReceipt;
  std::unique_ptr<kReceiptReference> fReceiptReference;
  std::unique_ptr<kEJFilesRequest> fEJFilesRequest;
};

// ---------------------------------------------------------------------------------------------------------
// Records of the processor.

// Report totals and text (output of the Z and X reports).
struct qzFiscalCounters {
  std::int32_t CurrentReceiptNo = 0;
  std::int32_t CurrentReportNo = 0;
  DateTime ReportDateTime;
  Currency DailyTotal;
  Currency DailySales;
  Currency DailyRefunds;
  Currency DailyVoids;
  Currency DailyDiscounts;
  Currency GrandTotalTotal;
  Currency GrandTotalSales;
  Currency GrandTotalRefunds;
  Currency GrandTotalVoids;
  Currency GrandTotalDiscounts;
  std::string Text;
};

struct qzProcessorStatus {
  bool DayOpened = false;
  ::DateTime DateTime;
  bool TrainingMode = false;
  std::string FirmwareVersion;
  std::string SerialNumber;
  std::string FiscalMode;
};

struct qzLotteryReceiptStatus {
  bool CorrectlySent = false;
  std::string StatusCode;
  std::string StatusDescription;
  std::string ReferenceId;
};

struct _int_Vat {
  std::int32_t Index = 0;
  std::string Code;
  std::string Description;
  Currency Rate;
};

struct _int_Dept {
  std::int32_t Index = 0;
  std::string Code;
  std::string Description;
  std::string VatCode;
  std::string SalesType;
  std::string EACode;
  std::string EADescription;
  std::string EAVATMode;
};

// Reply records of the Pub_ operations. Each ends with Error, ErrorText and LogFileName.
struct _int_SETDATETIME_result {
  ::DateTime DateTime;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_SETDEPTTABLE_result {
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_SETVATTABLE_result {
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_CLOSE_result {
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_OPENDR_result {
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_GETVATTABLE_result {
  std::vector<_int_Vat> VATTable;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_GETDEPTTABLE_result {
  std::vector<_int_Dept> DeptTable;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_EJREPORT_result {
  std::string Text;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_GETEJFILES_result {
  std::int32_t FilesCount = 0;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_GETLOTTERYRCPTSTATUS_result {
  bool CorrectlySent = false;
  std::string StatusCode;
  std::string StatusDescription;
  std::string ReferenceId;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

// ---------------------------------------------------------------------------------------------------------
// The abstract fiscal processor.

class kFiscalProcessor {
 public:
  // Builds a processor for the request in aHandler: empty processor-side tables, and the I/O handler of
  // the request (type, time-outs, hexadecimal logging), logging to "LogFiles/FiscalPrinter" in the host
  // executable's folder, with the driver version text as its Version. Drivers run it first.
  explicit kFiscalProcessor(kFiscalProcessorHandler& aHandler);
  // Frees the tables and the I/O handler (which writes its stop banner and closes its log).
  virtual ~kFiscalProcessor();
  kFiscalProcessor(const kFiscalProcessor&) = delete;
  kFiscalProcessor& operator=(const kFiscalProcessor&) = delete;

  // Slot 23: drivers load their settings.
  virtual bool Init() = 0;
  // Slot 24: sets the till's folders and counters file names from the handler's TillSerial under the data
  // root and creates the folders (Queue, Errors, Processed, Journal). A till serial that holds a refused
  // character, or that would leave the data root, fails with "Invalid characters in path". Answers true.
  virtual bool Open(kFiscalProcessorHandler& aHandler);
  // Slots 25 to 28: the export operations. They leave their results in XmlOutput, Counters and Status.
  virtual bool ProcessReceipt(kFiscalProcessorHandler& aHandler) = 0;
  virtual bool ProcessZReport(kFiscalProcessorHandler& aHandler) = 0;
  virtual bool ProcessXReport(kFiscalProcessorHandler& aHandler) = 0;
  virtual bool ProcessGetStatus(kFiscalProcessorHandler& aHandler) = 0;

  // Reads the lines of section [aSectionName] (header matched whole, any letter case, nothing trimmed) up
  // to the next line starting with "[". A missing file answers false and leaves aList unchanged; an
  // unreadable one raises QzError. The encoding follows a byte-order mark; without one the file is UTF-8.
  static bool LoadIniSection(const std::string& aFileName, const std::string& aSectionName,
                             std::vector<std::string>& aList);
  // "Version " + the application version + " - " + its release date as a regional short date.
  static std::string GetDriverVersion();

  // Public operations for the table, drawer, clock, journal and lottery functions. Each logs a banner,
  // calls the driver's operations and judges success only by the I/O handler's error state.
  _int_OPENDR_result Pub_OpenDrawer(kFiscalProcessorHandler& aHandler);
  _int_SETDATETIME_result Pub_SetDateTime(kFiscalProcessorHandler& aHandler);
  _int_CLOSE_result Pub_Close(kFiscalProcessorHandler& aHandler);
  _int_EJREPORT_result Pub_EJReport(kFiscalProcessorHandler& aHandler);
  _int_GETVATTABLE_result Pub_GetVatTable(kFiscalProcessorHandler& aHandler);
  _int_SETVATTABLE_result Pub_SetVatTable(kFiscalProcessorHandler& aHandler);
  _int_GETDEPTTABLE_result Pub_GetDeptTable(kFiscalProcessorHandler& aHandler);
  _int_SETDEPTTABLE_result Pub_SetDeptTable(kFiscalProcessorHandler& aHandler);
  _int_GETLOTTERYRCPTSTATUS_result Pub_GetLotteryReceiptStatus(kFiscalProcessorHandler& aHandler);
  _int_GETEJFILES_result Pub_GetEJFiles(kFiscalProcessorHandler& aHandler);

  std::int32_t Handle() const { return fHandle; }
  void SetHandle(std::int32_t aValue) { fHandle = aValue; }
  const std::string& XmlOutput() const { return fXmlOutput; }
  void SetXmlOutput(const std::string& aValue) { fXmlOutput = aValue; }
  const qzProcessorStatus& Status() const { return fStatus; }
  void SetStatus(const qzProcessorStatus& aValue) { fStatus = aValue; }
  kIOHandler& IOHandler() const { return *fIOHandler; }
  void SetIOHandler(std::unique_ptr<kIOHandler> aValue);
  kVatTable& VatTable() const { return *fVatTable; }
  kDeptTable& DeptTable() const { return *fDeptTable; }
  kEconomicActivityTable& EATable() const { return *fEATable; }
  std::int32_t LineLength() const { return fLineLength; }
  const qzFiscalCounters& Counters() const { return fCounters; }
  void SetCounters(const qzFiscalCounters& aValue) { fCounters = aValue; }
  const qzLotteryReceiptStatus& LotteryReceiptStatus() const { return fLotteryReceiptStatus; }
  void SetLotteryReceiptStatus(const qzLotteryReceiptStatus& aValue) { fLotteryReceiptStatus = aValue; }

  // The till's folders and counters files, set by Open (empty before).
  const std::string& DirErrors() const { return fDirErrors; }
  const std::string& DirJournal() const { return fDirJournal; }
  const std::string& DirProcessed() const { return fDirProcessed; }
  const std::string& DirQueue() const { return fDirQueue; }
  const std::string& CountersActualFileName() const { return fCountersActualFileName; }
  const std::string& CountersPreviousFileName() const { return fCountersPreviousFileName; }

  // Folder names under the host executable's folder and the data root.
  static constexpr const char* kLogFolder = "LogFiles/FiscalPrinter";

 protected:
  // Slots 0 to 21, implemented by every driver. Their Boolean answers are not looked at by the base:
  // success is judged by the I/O handler's error state.
  virtual bool CheckReady() = 0;
  virtual bool GetStatus(bool& aDayOpened, DateTime& aDateTime, bool& aTrainingMode,
                         std::string& aFirmwareVersion, std::string& aSerialNumber,
                         std::string& aFiscalMode) = 0;
  virtual bool GetDateTime(DateTime& aDateTime) = 0;
  virtual bool SetDateTime(DateTime aDateTime) = 0;
  virtual bool BeginTraining() = 0;
  virtual bool GetVatTable() = 0;
  virtual bool SetVatTable(const kVatTable& aVatTable) = 0;
  virtual bool GetEATable() = 0;
  virtual bool SetEATable(const kEconomicActivityTable& aEATable) = 0;
  virtual bool GetDeptTable() = 0;
  virtual bool SetDeptTable(const kDeptTable& aDeptTable) = 0;
  virtual bool OpenDrawer(std::int32_t aNumber) = 0;
  virtual bool EJReportZReport(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                               _int_EJREPORT_result& aResult) = 0;
  virtual bool EJReportFiscalReceipt(qzEJReportDestination aDestination, DateTime aStartDate,
                                     DateTime aEndDate, std::int32_t aStartNumber, std::int32_t aEndNumber,
                                     _int_EJREPORT_result& aResult) = 0;
  virtual bool EJReportNonFiscalReceipt(qzEJReportDestination aDestination, DateTime aStartDate,
                                        DateTime aEndDate, std::int32_t aStartNumber, std::int32_t aEndNumber,
                                        _int_EJREPORT_result& aResult) = 0;
  virtual bool EJReportCreditNote(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                                  std::int32_t aStartNumber, std::int32_t aEndNumber,
                                  _int_EJREPORT_result& aResult) = 0;
  virtual bool EJReportInvoice(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                               std::int32_t aStartNumber, std::int32_t aEndNumber,
                               _int_EJREPORT_result& aResult) = 0;
  virtual bool GetEJFiles(qzEJFilesRequestType aReqType, DateTime aStartDate, DateTime aEndDate,
                          const std::string& aOutputFolder, std::int32_t& aFilesCount) = 0;
  virtual bool IsReady() = 0;
  virtual bool GetDayOpened() = 0;
  virtual bool GetLotteryReceiptStatus(const kReceiptReference& aReceiptReference) = 0;
  virtual bool Probe() = 0;

  std::int32_t fHandle = 0;
  std::string fXmlOutput;
  qzFiscalCounters fZReportValues;  // kept for drivers; the base does not use it
  qzProcessorStatus fStatus;
  std::unique_ptr<kIOHandler> fIOHandler;
  bool fOpened = false;
  std::string fDirErrors;
  std::string fDirJournal;
  std::string fDirProcessed;
  std::string fDirQueue;
  std::string fCountersActualFileName;
  std::string fCountersPreviousFileName;
  std::string fFiscalMode;
  std::string fSerialNumber;
  std::unique_ptr<kVatTable> fVatTable;
  std::unique_ptr<kDeptTable> fDeptTable;
  std::unique_ptr<kEconomicActivityTable> fEATable;
  std::int32_t fLineLength = 0;
  std::int32_t fDisplayLineCount = 0;
  std::int32_t fDisplayLineLength = 0;
  qzFiscalCounters fCounters;
  qzLotteryReceiptStatus fLotteryReceiptStatus;
  std::int32_t fEJFilesCount = 0;

 private:
  // The common frame of the Pub_ operations: the banner line, then Error := true and the log file name
  // before anything else, so a reply left by an error raised midway says Error.
  template <typename TResult>
  void BeginPublicOperation(const char* aLogTitle, TResult& aResult);
  // The end of the frame: the I/O handler's recorded error, or else the success copies and Error := false.
  template <typename TResult, typename TSuccessCopies>
  void EndPublicOperation(TResult& aResult, TSuccessCopies&& aSuccessCopies);
};

// The registry creates processors through a class reference: one function per driver that builds a new
// processor from the OPEN request's handler.
using kFiscalProcessorClass = std::unique_ptr<kFiscalProcessor> (*)(kFiscalProcessorHandler& aHandler);
