#pragma once
// The VELMO fiscal processor. No printer stands behind it: a local service, the VELMO Proxy, fiscalises
// each sale, and everything a fiscal printer would keep (receipt numbers, daily and grand totals, Z
// numbers, training mode) the driver keeps itself in the till's counters file, from which it also builds
// the Z and X reports.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "documents/qzReceiptEnums.h"
#include "framework/uQzFiscalProcessor.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

// The till's persistent receipt numbers and totals: an image of the counters file. The file is the
// authority: every operation re-reads it first and every change is written back at once, so several
// processors or library loads on one till see the same numbers.
//
// The file is replaced atomically and durably on every save, and Update and Z hold an advisory lock on a
// lock file beside it ("counters.actual.fprc.lock") across their read-modify-write, so two processes
// counting on one till never lose a receipt.
class kFiscalProcessorCounters {
 public:
  kFiscalProcessorCounters() = default;
  ~kFiscalProcessorCounters();
  kFiscalProcessorCounters(const kFiscalProcessorCounters&) = delete;
  kFiscalProcessorCounters& operator=(const kFiscalProcessorCounters&) = delete;

  // Binds the object to aFileName; a missing file is created with Z number 1 and everything else zero.
  void Init(const std::string& aFileName, const std::string& aTillSerial);
  // Re-reads every counter from the file. A missing file changes nothing; an unreadable or malformed one
  // raises the reader's message and leaves the object as it was.
  void Refresh();
  // Writes every counter to the file, LastUpdatedAt being the moment of the save.
  void Save();
  // Counts one receipt of aReceiptType with aAmount (an absolute value) and saves, under the lock.
  bool Update(qzReceiptType aReceiptType, Currency aAmount);
  // Closes the day: Z number plus one, receipt number and daily totals zero; saved under the lock.
  bool Z();
  // Take and release the lock. They nest: only the outermost Unlock releases it, so a caller may bracket
  // a Refresh, its own work and Z with one Lock/Unlock pair. Lock answers false when the lock file cannot
  // be opened or locked (LockError then says why).
  bool Lock();
  bool Unlock();
  const std::string& LockError() const { return fLockError; }

  const std::string& FileName() const { return fFileName; }
  const std::string& TillSerial() const { return fTillSerial; }
  DateTime CreatedAt() const { return fCreatedAt; }
  DateTime LastUpdatedAt() const { return fLastUpdatedAt; }
  std::int32_t CurrentReceiptNo() const { return fCurrentReceiptNo; }
  std::int32_t CurrentZReportNo() const { return fCurrentZReportNo; }
  Currency DailyTotal() const { return fDailyTotal; }
  Currency DailySales() const { return fDailySales; }
  Currency DailyRefunds() const { return fDailyRefunds; }
  Currency DailyVoids() const { return fDailyVoids; }
  Currency DailyDiscounts() const { return fDailyDiscounts; }
  Currency GrandTotalTotal() const { return fGrandTotalTotal; }
  Currency GrandTotalSales() const { return fGrandTotalSales; }
  Currency GrandTotalRefunds() const { return fGrandTotalRefunds; }
  Currency GrandTotalVoids() const { return fGrandTotalVoids; }
  Currency GrandTotalDiscounts() const { return fGrandTotalDiscounts; }
  bool TrainingMode() const { return fTrainingMode; }
  void SetTrainingMode(bool aValue) { fTrainingMode = aValue; }

  // The counters file as Save writes it, with aSavedAt as LastUpdatedAt.
  std::string ToXml(const DateTime& aSavedAt) const;

 private:
  struct Values;
  Values TakeValues() const;
  void RestoreValues(const Values& aValues);
  // Runs aChange under the lock between a Refresh and a Save; on any failure the object is restored.
  template <typename Change>
  bool ChangeUnderLock(Change aChange);

  std::string fFileName;
  std::string fTillSerial;
  DateTime fCreatedAt;
  DateTime fLastUpdatedAt;
  std::int32_t fCurrentReceiptNo = 0;
  std::int32_t fCurrentZReportNo = 0;
  Currency fDailyTotal;
  Currency fDailySales;
  Currency fDailyRefunds;
  Currency fDailyVoids;
  Currency fDailyDiscounts;
  Currency fGrandTotalTotal;
  Currency fGrandTotalSales;
  Currency fGrandTotalRefunds;
  Currency fGrandTotalVoids;
  Currency fGrandTotalDiscounts;
  bool fTrainingMode = false;

  int fLockFd = -1;
  int fLockDepth = 0;
  std::string fLockError;
};

// The one concrete fiscal processor: what a host gets when its OPEN request names "QZFP_VELMO_10".
class kFiscalProcessor_VELMO : public kFiscalProcessor {
 public:
  // The name the driver is registered under, which is also the library's own name.
  static constexpr const char* kDriverName = "QZFP_VELMO_10";
  // The settings file beside the host executable and its one section.
  static constexpr const char* kSettingsFileName = "QZPA_VELMO_10.ini";
  static constexpr const char* kReceiptSubTypesSection = "ReceiptSubTypes";

  // Runs the base construction (I/O handler and log); the counters and the sub types start empty and
  // nothing is read from disk until Open.
  explicit kFiscalProcessor_VELMO(kFiscalProcessorHandler& aHandler);
  ~kFiscalProcessor_VELMO() override;
  // The class reference the registry creates processors through (a kFiscalProcessorClass).
  static std::unique_ptr<kFiscalProcessor> Create(kFiscalProcessorHandler& aHandler);

  bool Init() override;
  bool Open(kFiscalProcessorHandler& aHandler) override;
  bool ProcessReceipt(kFiscalProcessorHandler& aHandler) override;
  bool ProcessZReport(kFiscalProcessorHandler& aHandler) override;
  bool ProcessXReport(kFiscalProcessorHandler& aHandler) override;
  bool ProcessGetStatus(kFiscalProcessorHandler& aHandler) override;

  // The "name=value" lines of the settings section, as loaded by the last Open.
  const std::vector<std::string>& ReceiptSubTypes() const { return fReceiptSubTypes; }
  const kFiscalProcessorCounters& FPCounters() const { return fFPCounters; }
  DateTime ReceiptDateTime() const { return fReceiptDateTime; }

 protected:
  bool CheckReady() override;
  bool GetStatus(bool& aDayOpened, DateTime& aDateTime, bool& aTrainingMode, std::string& aFirmwareVersion,
                 std::string& aSerialNumber, std::string& aFiscalMode) override;
  bool GetDateTime(DateTime& aDateTime) override;
  bool SetDateTime(DateTime aDateTime) override;
  bool BeginTraining() override;
  bool GetVatTable() override;
  bool SetVatTable(const kVatTable& aVatTable) override;
  bool GetEATable() override;
  bool SetEATable(const kEconomicActivityTable& aEATable) override;
  bool GetDeptTable() override;
  bool SetDeptTable(const kDeptTable& aDeptTable) override;
  bool OpenDrawer(std::int32_t aNumber) override;
  bool EJReportZReport(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                       _int_EJREPORT_result& aResult) override;
  bool EJReportFiscalReceipt(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                             std::int32_t aStartNumber, std::int32_t aEndNumber,
                             _int_EJREPORT_result& aResult) override;
  bool EJReportNonFiscalReceipt(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                                std::int32_t aStartNumber, std::int32_t aEndNumber,
                                _int_EJREPORT_result& aResult) override;
  bool EJReportCreditNote(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                          std::int32_t aStartNumber, std::int32_t aEndNumber,
                          _int_EJREPORT_result& aResult) override;
  bool EJReportInvoice(qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                       std::int32_t aStartNumber, std::int32_t aEndNumber,
                       _int_EJREPORT_result& aResult) override;
  bool GetEJFiles(qzEJFilesRequestType aReqType, DateTime aStartDate, DateTime aEndDate,
                  const std::string& aOutputFolder, std::int32_t& aFilesCount) override;
  bool IsReady() override;
  bool GetDayOpened() override;
  bool GetLotteryReceiptStatus(const kReceiptReference& aReceiptReference) override;
  bool Probe() override;

  // Receipt sub type -> proxy document type code lines, loaded from the settings file.
  std::vector<std::string> fReceiptSubTypes;
  // The till's persistent counters.
  kFiscalProcessorCounters fFPCounters;
  // Time stamp of the last accepted proxy reply; zero until the first one.
  DateTime fReceiptDateTime;

 private:
  // Whether the settings file exists; when it does, fReceiptSubTypes holds its section.
  bool LoadSettings();
  // The electronic journal reports (aKind 0 to 4): this service keeps no journal, so nothing to produce.
  bool DoEJReport(int aKind, qzEJReportDestination aDestination, DateTime aStartDate, DateTime aEndDate,
                  std::int32_t aStartNumber, std::int32_t aEndNumber, _int_EJREPORT_result& aResult);
  // Fills fCounters from the freshly refreshed counters, ReportDateTime being today.
  void FillReportCounters();
  std::string ComposeZReportText() const;
  std::string ComposeXReportText() const;
  // Copies the counters file to "counters.previous.fprc" and to the day's Z snapshot, before the day is
  // closed.
  void ArchiveCountersForZ();
  // Today's folder (yyyymmdd) under Processed, where the receipt journal and the Z snapshots go; made
  // durably when missing.
  std::string TodayProcessedFolder();

  // The proxy exchange of a receipt.
  bool SendProxyRequest(const std::string& aRequest);
  void ReadProxyReply(std::int32_t aTimeoutMs, std::string& aReply);
  bool ParseProxyReply(const std::string& aReply, std::string& aTicket);
  // Connect, send, read to the proxy's close, parse, disconnect; false with the error state set.
  bool ExchangeWithProxy(const std::string& aRequest, std::string& aTicket);
  // Writes number, date-time, Z number, ticket and leader line into the host's request XML, journals it
  // and leaves it in fXmlOutput.
  void StoreUpdatedReceipt(const std::string& aRequestXml, std::int32_t aReceiptNumber, std::int32_t aZNumber,
                           const std::string& aTicket);
};
