#pragma once
// The driver's entry points below the exports: one request wrapper per export call, the reply documents
// built from its fields, and the two process-wide tables that turn a request into a processor (the driver
// table, name -> processor class, and the processor table, handle -> processor).
//
// A wrapper lives for one call. It parses the request, binds the processor the request names (creating one
// for an OPEN without a handle), runs the processor operation and keeps what the export hands back to the
// host. It never lets an error escape: whatever fails becomes fError and fErrorText.

#include <cstdint>
#include <memory>
#include <string>

#include "framework/uQzFiscalProcessor.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

// ---------------------------------------------------------------------------------------------------------
// Process-wide tables of the loaded library.

// Library start-up: the driver table and the processor table, both empty, and the handle counter at 0.
void CreateProcessorTables();
// Library unload. The processors still open are destroyed with their tables: each I/O handler writes its
// stop banner and its log writer drains its queue and ends its thread, so no thread of the library outlives
// its code. Safe to call twice, and before CreateProcessorTables.
void FreeProcessorTables();
// Adds a driver under aName (compared exactly, letter case included). A name already present raises
// QzError, as do calls before CreateProcessorTables.
void RegisterFiscalProcessorClass(const std::string& aName, kFiscalProcessorClass aClass);

// ---------------------------------------------------------------------------------------------------------
// Request wrappers.

class kFiscalProcessorWrapper {
 public:
  kFiscalProcessorWrapper();
  virtual ~kFiscalProcessorWrapper();
  kFiscalProcessorWrapper(const kFiscalProcessorWrapper&) = delete;
  kFiscalProcessorWrapper& operator=(const kFiscalProcessorWrapper&) = delete;

  // Slot 0: runs one request. Never raises.
  virtual void Process(const std::string& aXml) = 0;

  bool Error() const { return fError; }
  const std::string& ErrorText() const { return fErrorText; }
  // Full path of the bound processor's connection log; empty until a processor is bound.
  const std::string& LogFileName() const { return fLogFileName; }
  // -1 when the call failed, 0 otherwise.
  std::int32_t GetResultCode() const { return fError ? -1 : 0; }

 protected:
  // The part every wrapper shares: parse the request with the document kinds aDocumentTypes, bind the
  // processor as aBinding says, then aOperation, which runs the processor
  // operation, copies its results and logs its line. A false answer takes the I/O handler's error message;
  // an error raised anywhere becomes SetError.
  enum class Binding {
    CreateWithoutHandle,  // OPEN: a request without a handle creates a processor
    Existing,             // the request must name an open processor
    SkipWithoutHandle,    // status: a request without a handle is answered with the initial values
  };
  template <typename TOperation>
  void Run(const std::string& aXml, qzReceiptHandlerDocumentTypes aDocumentTypes, Binding aBinding,
           TOperation&& aOperation);
  // Parses the request into fHandler.
  void Deserialize(const std::string& aXml, qzReceiptHandlerDocumentTypes aDocumentTypes);
  // Binds fProcessor to the request's handle, or creates a processor of the request's driver (aCreate).
  void GetProcessor(bool aCreate);
  // The call failed with aText; the bound processor (if any) logs it as an error line.
  void SetError(const std::string& aText);
  // The processor answered false: its I/O handler holds the reason.
  void SetProcessorError();
  // One information line in the bound processor's connection log.
  void WriteLog(const std::string& aTitle, const std::string& aMessage);

  std::unique_ptr<kFiscalProcessorHandler> fHandler;
  kFiscalProcessor* fProcessor = nullptr;  // borrowed from the processor table
  bool fError = false;
  std::string fErrorText;
  std::string fLogFileName;
};

class kFiscalProcessorWrapper_OPEN : public kFiscalProcessorWrapper {
 public:
  void Process(const std::string& aXml) override;
  // The handle to report; 0 until the processor has opened.
  std::int32_t Handle() const { return fHandle; }

 private:
  std::int32_t fHandle = 0;
};

class kFiscalProcessorWrapper_PROCESSRECEIPT : public kFiscalProcessorWrapper {
 public:
  void Process(const std::string& aXml) override;
  // The updated receipt XML; empty until the processor succeeded.
  const std::string& Output() const { return fOutput; }
  void SetOutput(const std::string& aValue) { fOutput = aValue; }

 private:
  std::string fOutput;
};

class kFiscalProcessorWrapper_PROCESSZREPORT : public kFiscalProcessorWrapper {
 public:
  void Process(const std::string& aXml) override;

  std::int32_t CurrentReceiptNo() const { return fCurrentReceiptNo; }
  std::int32_t CurrentReportNo() const { return fCurrentReportNo; }
  DateTime ReportDateTime() const { return fReportDateTime; }
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
  const std::string& ReportText() const { return fReportText; }

 protected:
  // Copies the processor's report record field for field.
  void CopyCounters(const qzFiscalCounters& aCounters);

 private:
  std::int32_t fCurrentReceiptNo = 0;
  std::int32_t fCurrentReportNo = 0;
  DateTime fReportDateTime;
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
  std::string fReportText;
};

// The same fields as the Z wrapper; only the operation differs (the day stays open).
class kFiscalProcessorWrapper_PROCESSXREPORT : public kFiscalProcessorWrapper_PROCESSZREPORT {
 public:
  void Process(const std::string& aXml) override;
};

class kFiscalProcessorWrapper_GETSTATUS : public kFiscalProcessorWrapper {
 public:
  void Process(const std::string& aXml) override;

  bool DayOpened() const { return fDayOpened; }
  ::DateTime DateTime() const { return fDateTime; }
  bool TrainingMode() const { return fTrainingMode; }
  const std::string& FirmwareVersion() const { return fFirmwareVersion; }
  const std::string& SerialNumber() const { return fSerialNumber; }
  const std::string& FiscalMode() const { return fFiscalMode; }

 private:
  bool fDayOpened = false;
  ::DateTime fDateTime;
  bool fTrainingMode = false;
  std::string fFirmwareVersion;
  std::string fSerialNumber;
  std::string fFiscalMode;
};

// ---------------------------------------------------------------------------------------------------------
// Reply documents: one root element, one child per value, no declaration, no indentation, CR LF at the end.

// <ZReport> (aRootName "ZReport") or <XReport> from the report wrapper's fields.
std::string BuildReportReply(const std::string& aRootName,
                             const kFiscalProcessorWrapper_PROCESSZREPORT& aWrapper);
// <Status> from the status wrapper's fields.
std::string BuildStatusReply(const kFiscalProcessorWrapper_GETSTATUS& aWrapper);

// Amount text of the replies: "." decimal separator, no grouping, no trailing zeros, no point for whole
// amounts: 1234.5, 10, 0, -2.25, 0.0001.
std::string AmountToText(Currency aValue);
// "True" or "False".
std::string FlagToText(bool aValue);
