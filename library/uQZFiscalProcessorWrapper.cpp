// The request wrappers: one per export, each running its processor operation and keeping what the export
// hands back to the host.

#include "library/uQZFiscalProcessorWrapper.h"

#include <cstdio>
#include <exception>
#include <string>
#include <utility>

#include "io/uQZIOHandler.h"
#include "platform/DateTime.h"
#include "platform/QzError.h"
#include "platform/RegionalSettings.h"
#include "support/uQZ_Base_Defs.h"

namespace {

// The message of whatever was thrown; an error without one still needs a text for the host.
std::string MessageOf(std::exception_ptr aError) {
  try {
    std::rethrow_exception(std::move(aError));
  } catch (const std::exception& e) {
    std::string text = e.what();
    return text.empty() ? "Unknown error" : text;
  } catch (...) {
    return "Unknown error";
  }
}

// yyyy-mm-dd hh:nn:ss with the regional time separator.
std::string FormatLogDateTime(const DateTime& aValue) {
  const DateTime::Parts parts = aValue.Decode();
  const std::string time = qzplatform::CurrentRegionalSettings().TimeSeparator;
  char date[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d", parts.Year, parts.Month, parts.Day, parts.Hour);
  char minutes[8];
  char seconds[8];
  std::snprintf(minutes, sizeof minutes, "%02d", parts.Minute);
  std::snprintf(seconds, sizeof seconds, "%02d", parts.Second);
  return std::string(date) + time + minutes + time + seconds;
}

}  // namespace

kFiscalProcessorWrapper::kFiscalProcessorWrapper() : fHandler(std::make_unique<kFiscalProcessorHandler>()) {}

kFiscalProcessorWrapper::~kFiscalProcessorWrapper() = default;

void kFiscalProcessorWrapper::Deserialize(const std::string& aXml,
                                          qzReceiptHandlerDocumentTypes aDocumentTypes) {
  fHandler->Deserialize(aXml, aDocumentTypes);
}

template <typename TOperation>
void kFiscalProcessorWrapper::Run(const std::string& aXml, qzReceiptHandlerDocumentTypes aDocumentTypes,
                                  Binding aBinding, TOperation&& aOperation) {
  try {
    Deserialize(aXml, aDocumentTypes);
    if (aBinding == Binding::SkipWithoutHandle && fHandler->DeviceHandle() <= 0) return;
    GetProcessor(aBinding == Binding::CreateWithoutHandle);
    aOperation(*fProcessor);
  } catch (...) {
    SetError(MessageOf(std::current_exception()));
  }
}

void kFiscalProcessorWrapper::SetError(const std::string& aText) {
  fError = true;
  if (fProcessor != nullptr) {
    // The log is a courtesy to whoever reads it later; the host learns of the failure either way.
    try {
      fProcessor->IOHandler().Debug(let_error, aText);
    } catch (...) {
    }
  }
  fErrorText = aText;
}

void kFiscalProcessorWrapper::SetProcessorError() {
  fError = true;
  fErrorText = fProcessor->IOHandler().ErrorMessage();
}

void kFiscalProcessorWrapper::WriteLog(const std::string& aTitle, const std::string& aMessage) {
  fProcessor->IOHandler().WriteLog(let_info, aTitle, aMessage);
}

void kFiscalProcessorWrapper_OPEN::Process(const std::string& aXml) {
  Run(aXml, {}, Binding::CreateWithoutHandle, [this](kFiscalProcessor& aProcessor) {
    if (!aProcessor.Open(*fHandler)) return SetProcessorError();
    fHandle = aProcessor.Handle();
    WriteLog("OPEN", "Assigned Handle: " + std::to_string(fHandle));
  });
}

void kFiscalProcessorWrapper_PROCESSRECEIPT::Process(const std::string& aXml) {
  Run(aXml, {dt_Receipt}, Binding::Existing, [this](kFiscalProcessor& aProcessor) {
    if (!aProcessor.ProcessReceipt(*fHandler)) return SetProcessorError();
    fOutput = aProcessor.XmlOutput();
    WriteLog("PROCESSRECEIPT", "Updated Receipt:\r\n" + fOutput);
  });
}

void kFiscalProcessorWrapper_PROCESSZREPORT::CopyCounters(const qzFiscalCounters& aCounters) {
  fCurrentReceiptNo = aCounters.CurrentReceiptNo;
  fCurrentReportNo = aCounters.CurrentReportNo;
  fReportDateTime = aCounters.ReportDateTime;
  fDailyTotal = aCounters.DailyTotal;
  fDailySales = aCounters.DailySales;
  fDailyRefunds = aCounters.DailyRefunds;
  fDailyVoids = aCounters.DailyVoids;
  fDailyDiscounts = aCounters.DailyDiscounts;
  fGrandTotalTotal = aCounters.GrandTotalTotal;
  fGrandTotalSales = aCounters.GrandTotalSales;
  fGrandTotalRefunds = aCounters.GrandTotalRefunds;
  fGrandTotalVoids = aCounters.GrandTotalVoids;
  fGrandTotalDiscounts = aCounters.GrandTotalDiscounts;
  fReportText = aCounters.Text;
}

void kFiscalProcessorWrapper_PROCESSZREPORT::Process(const std::string& aXml) {
  Run(aXml, {}, Binding::Existing, [this](kFiscalProcessor& aProcessor) {
    if (!aProcessor.ProcessZReport(*fHandler)) return SetProcessorError();
    CopyCounters(aProcessor.Counters());
    WriteLog("PROCESSZREPORT", "ReportNo: " + std::to_string(CurrentReportNo()));
  });
}

void kFiscalProcessorWrapper_PROCESSXREPORT::Process(const std::string& aXml) {
  Run(aXml, {}, Binding::Existing, [this](kFiscalProcessor& aProcessor) {
    if (!aProcessor.ProcessXReport(*fHandler)) return SetProcessorError();
    CopyCounters(aProcessor.Counters());
    WriteLog("PROCESSXREPORT", "Data: " + FormatLogDateTime(ReportDateTime()));
  });
}

void kFiscalProcessorWrapper_GETSTATUS::Process(const std::string& aXml) {
  // A status request without a handle is answered with the initial values: the host may ask before it has
  // opened anything.
  Run(aXml, {}, Binding::SkipWithoutHandle, [this](kFiscalProcessor& aProcessor) {
    if (!aProcessor.ProcessGetStatus(*fHandler)) return SetProcessorError();
    const qzProcessorStatus& status = aProcessor.Status();
    fDayOpened = status.DayOpened;
    fDateTime = status.DateTime;
    fTrainingMode = status.TrainingMode;
    fFirmwareVersion = status.FirmwareVersion;
    fSerialNumber = status.SerialNumber;
    fFiscalMode = status.FiscalMode;
  });
}
