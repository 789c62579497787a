// The VELMO processor as a whole: construction, OPEN, the settings file, the status and the answers to
// the printer operations this service does not have.

#include "drivers/velmo/uQZFP_VELMO_10.h"

#include <filesystem>

#include "io/uQZIOHandler.h"
#include "platform/Paths.h"
#include "platform/QzError.h"
#include "support/uQZ_Base.h"

namespace {

const char* const kFiscalMode = "MF";

}  // namespace

kFiscalProcessor_VELMO::kFiscalProcessor_VELMO(kFiscalProcessorHandler& aHandler)
    : kFiscalProcessor(aHandler) {}

kFiscalProcessor_VELMO::~kFiscalProcessor_VELMO() = default;

std::unique_ptr<kFiscalProcessor> kFiscalProcessor_VELMO::Create(kFiscalProcessorHandler& aHandler) {
  return std::make_unique<kFiscalProcessor_VELMO>(aHandler);
}

bool kFiscalProcessor_VELMO::Open(kFiscalProcessorHandler& aHandler) {
  kFiscalProcessor::Open(aHandler);
  fIOHandler->WriteLog(let_info, "OPEN", "BEGIN");
  fFPCounters.Init(fCountersActualFileName, aHandler.TillSerial());
  Init();
  fIOHandler->WriteLog(let_info, "OPEN", "END");
  return true;
}

bool kFiscalProcessor_VELMO::Init() {
  LoadSettings();
  return true;
}

bool kFiscalProcessor_VELMO::LoadSettings() {
  const std::string path = qzplatform::ApplicationDirectory() + kSettingsFileName;
  if (!std::filesystem::exists(path)) return false;
  LoadIniSection(path, kReceiptSubTypesSection, fReceiptSubTypes);
  return true;
}

bool kFiscalProcessor_VELMO::ProcessGetStatus(kFiscalProcessorHandler& /*aHandler*/) {
  fIOHandler->WriteLog(let_info, "GETSTATUS", "BEGIN");
  bool dayOpened = false;
  DateTime dateTime;
  bool trainingMode = false;
  std::string firmwareVersion;
  std::string serialNumber;
  std::string fiscalMode;
  const bool result = GetStatus(dayOpened, dateTime, trainingMode, firmwareVersion, serialNumber, fiscalMode);
  fStatus.DayOpened = dayOpened;
  fStatus.DateTime = dateTime;
  fStatus.TrainingMode = trainingMode;
  fStatus.FirmwareVersion = firmwareVersion;
  fStatus.SerialNumber = serialNumber;
  fStatus.FiscalMode = fiscalMode;
  fIOHandler->WriteLog(let_info, "GETSTATUS", "END");
  return result;
}

bool kFiscalProcessor_VELMO::CheckReady() { return true; }

// Every value comes from the counters file, the clock and the library itself: the proxy keeps no day.
bool kFiscalProcessor_VELMO::GetStatus(bool& aDayOpened, DateTime& aDateTime, bool& aTrainingMode,
                                       std::string& aFirmwareVersion, std::string& aSerialNumber,
                                       std::string& aFiscalMode) {
  fFPCounters.Refresh();
  aDayOpened = fFPCounters.CurrentReceiptNo() != 0;
  aDateTime = DateTime::Now();
  aFirmwareVersion = Application().Info().Version();
  aTrainingMode = fFPCounters.TrainingMode();
  aFiscalMode = kFiscalMode;
  aSerialNumber = fFPCounters.TillSerial();
  fIOHandler->Debug(let_info, "FiscalMode=" + aFiscalMode);
  fIOHandler->Debug(let_info, "TrainingMode=" + BooleanToXml(aTrainingMode));
  fIOHandler->Debug(let_info, "SerialNumber=" + aSerialNumber);
  return true;
}

bool kFiscalProcessor_VELMO::GetDateTime(DateTime& aDateTime) {
  aDateTime = DateTime::Now();
  return true;
}

// The service has no clock of its own to set.
bool kFiscalProcessor_VELMO::SetDateTime(DateTime /*aDateTime*/) { return true; }

// Training mode is a flag of the counters file; nothing switches it back off, so it survives until the
// file is recreated. The lock keeps a receipt counted meanwhile by another process from being lost.
bool kFiscalProcessor_VELMO::BeginTraining() {
  if (!fFPCounters.Lock()) throw QzError(fFPCounters.LockError());
  try {
    fFPCounters.Refresh();
    fFPCounters.SetTrainingMode(true);
    fFPCounters.Save();
  } catch (...) {
    fFPCounters.Unlock();
    throw;
  }
  fFPCounters.Unlock();
  return true;
}

// The service has no VAT, department or economic activity tables and no drawer: the processor-side
// tables stay empty and the operations succeed without effect.
bool kFiscalProcessor_VELMO::GetVatTable() { return true; }
bool kFiscalProcessor_VELMO::SetVatTable(const kVatTable& /*aVatTable*/) { return true; }
bool kFiscalProcessor_VELMO::GetEATable() { return true; }
bool kFiscalProcessor_VELMO::SetEATable(const kEconomicActivityTable& /*aEATable*/) { return true; }
bool kFiscalProcessor_VELMO::GetDeptTable() { return true; }
bool kFiscalProcessor_VELMO::SetDeptTable(const kDeptTable& /*aDeptTable*/) { return true; }
bool kFiscalProcessor_VELMO::OpenDrawer(std::int32_t /*aNumber*/) { return true; }

bool kFiscalProcessor_VELMO::EJReportZReport(qzEJReportDestination aDestination, DateTime aStartDate,
                                             DateTime aEndDate, _int_EJREPORT_result& aResult) {
  return DoEJReport(0, aDestination, aStartDate, aEndDate, 0, 0, aResult);
}

bool kFiscalProcessor_VELMO::EJReportFiscalReceipt(qzEJReportDestination aDestination, DateTime aStartDate,
                                                   DateTime aEndDate, std::int32_t aStartNumber,
                                                   std::int32_t aEndNumber, _int_EJREPORT_result& aResult) {
  return DoEJReport(1, aDestination, aStartDate, aEndDate, aStartNumber, aEndNumber, aResult);
}

bool kFiscalProcessor_VELMO::EJReportNonFiscalReceipt(qzEJReportDestination aDestination, DateTime aStartDate,
                                                      DateTime aEndDate, std::int32_t aStartNumber,
                                                      std::int32_t aEndNumber,
                                                      _int_EJREPORT_result& aResult) {
  return DoEJReport(2, aDestination, aStartDate, aEndDate, aStartNumber, aEndNumber, aResult);
}

bool kFiscalProcessor_VELMO::EJReportCreditNote(qzEJReportDestination aDestination, DateTime aStartDate,
                                                DateTime aEndDate, std::int32_t aStartNumber,
                                                std::int32_t aEndNumber, _int_EJREPORT_result& aResult) {
  return DoEJReport(3, aDestination, aStartDate, aEndDate, aStartNumber, aEndNumber, aResult);
}

bool kFiscalProcessor_VELMO::EJReportInvoice(qzEJReportDestination aDestination, DateTime aStartDate,
                                             DateTime aEndDate, std::int32_t aStartNumber,
                                             std::int32_t aEndNumber, _int_EJREPORT_result& aResult) {
  return DoEJReport(4, aDestination, aStartDate, aEndDate, aStartNumber, aEndNumber, aResult);
}

bool kFiscalProcessor_VELMO::DoEJReport(int /*aKind*/, qzEJReportDestination /*aDestination*/,
                                        DateTime /*aStartDate*/, DateTime /*aEndDate*/,
                                        std::int32_t /*aStartNumber*/, std::int32_t /*aEndNumber*/,
                                        _int_EJREPORT_result& /*aResult*/) {
  return true;
}

// No journal files exist on this service. The false answer records no error, so the caller sees success
// with zero files.
bool kFiscalProcessor_VELMO::GetEJFiles(qzEJFilesRequestType /*aReqType*/, DateTime /*aStartDate*/,
                                        DateTime /*aEndDate*/, const std::string& /*aOutputFolder*/,
                                        std::int32_t& aFilesCount) {
  aFilesCount = 0;
  return false;
}

bool kFiscalProcessor_VELMO::IsReady() { return true; }

bool kFiscalProcessor_VELMO::GetDayOpened() {
  fFPCounters.Refresh();
  return fFPCounters.CurrentReceiptNo() != 0;
}

// The lottery is not a service of this proxy; the status record is left as it was.
bool kFiscalProcessor_VELMO::GetLotteryReceiptStatus(const kReceiptReference& /*aReceiptReference*/) {
  return false;
}

bool kFiscalProcessor_VELMO::Probe() { return true; }
