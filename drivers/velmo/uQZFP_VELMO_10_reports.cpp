// The Z and X reports: built from the till's own counters (the proxy keeps no day), composed as fixed-column
// Italian text for the host to print or store. The Z report also archives the counters and closes the day.

#include <filesystem>
#include <vector>

#include "drivers/velmo/DurableFile.h"
#include "drivers/velmo/ReportFormat.h"
#include "drivers/velmo/uQZFP_VELMO_10.h"
#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "platform/RegionalSettings.h"
#include "support/uQZ_Base.h"

namespace {

const std::string kDashes(44, '-');
const char* const kLineBreak = "\r\n";

std::string JoinLines(const std::vector<std::string>& aLines) {
  std::string text;
  for (std::size_t i = 0; i < aLines.size(); ++i) {
    if (i > 0) text += kLineBreak;
    text += aLines[i];
  }
  return text;
}

std::string ZeroPadded4(std::int32_t aNumber) { return FormatNumberZeroPadded(aNumber, 4, 0); }

std::string DayFolderName(const DateTime& aDay) {
  const DateTime::Parts parts = aDay.Decode();
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", parts.Year, parts.Month, parts.Day);
  return text;
}

// The till and the moment of the report, in the block every report has under its title.
void AppendTillAndDate(std::vector<std::string>& aLines, const std::string& aTillSerial,
                       const qzplatform::RegionalSettings& aSettings) {
  aLines.insert(aLines.end(),
                {"Cassa " + aTillSerial, "Data " + velmoreport::FormatReportDate(DateTime::Now(), aSettings),
                 "", kDashes, ""});
}

// The lines every report ends with, from the daily totals on.
void AppendDailyLines(std::vector<std::string>& aLines, const qzFiscalCounters& aCounters,
                      const qzplatform::RegionalSettings& aSettings) {
  using velmoreport::FormatReportNumber;
  using velmoreport::ReportLine;
  aLines.push_back(ReportLine("Totale Giorno", FormatReportNumber(aCounters.DailyTotal, 2, aSettings)));
  aLines.push_back("");
  aLines.push_back(
      ReportLine("Totale Giorno Vendite", FormatReportNumber(aCounters.DailySales, 2, aSettings)));
  aLines.push_back(
      ReportLine("Totale Giorno Resi", FormatReportNumber(aCounters.DailyRefunds, 2, aSettings)));
  aLines.push_back(
      ReportLine("Totale Giorno Annullamenti", FormatReportNumber(aCounters.DailyVoids, 2, aSettings)));
  aLines.push_back("");
  aLines.push_back(kDashes);
  aLines.push_back("");
  aLines.push_back(ReportLine(
      "Scontrini Emessi", FormatReportNumber(Currency::FromUnits(aCounters.CurrentReceiptNo), 0, aSettings)));
}

}  // namespace

void kFiscalProcessor_VELMO::FillReportCounters() {
  fCounters.CurrentReceiptNo = fFPCounters.CurrentReceiptNo();
  fCounters.CurrentReportNo = fFPCounters.CurrentZReportNo();
  fCounters.ReportDateTime = DateTime::Now().DateOnly();
  fCounters.DailyTotal = fFPCounters.DailyTotal();
  fCounters.DailySales = fFPCounters.DailySales();
  fCounters.DailyRefunds = fFPCounters.DailyRefunds();
  fCounters.DailyVoids = fFPCounters.DailyVoids();
  fCounters.DailyDiscounts = fFPCounters.DailyDiscounts();
  fCounters.GrandTotalTotal = fFPCounters.GrandTotalTotal();
  fCounters.GrandTotalSales = fFPCounters.GrandTotalSales();
  fCounters.GrandTotalRefunds = fFPCounters.GrandTotalRefunds();
  fCounters.GrandTotalVoids = fFPCounters.GrandTotalVoids();
  fCounters.GrandTotalDiscounts = fFPCounters.GrandTotalDiscounts();
}

std::string kFiscalProcessor_VELMO::ComposeZReportText() const {
  using velmoreport::FormatReportNumber;
  using velmoreport::ReportLine;
  const qzplatform::RegionalSettings settings = qzplatform::CurrentRegionalSettings();
  std::vector<std::string> lines = {"Z-REPORT # " + ZeroPadded4(fCounters.CurrentReportNo), "", kDashes, ""};
  AppendTillAndDate(lines, fFPCounters.TillSerial(), settings);
  lines.insert(
      lines.end(),
      {
          ReportLine("Grantotale", FormatReportNumber(fCounters.GrandTotalTotal, 2, settings)),
          "",
          ReportLine("Grantotale Vendite", FormatReportNumber(fCounters.GrandTotalSales, 2, settings)),
          ReportLine("Grantotale Resi", FormatReportNumber(fCounters.GrandTotalRefunds, 2, settings)),
          ReportLine("Grantotale Annullamenti", FormatReportNumber(fCounters.GrandTotalVoids, 2, settings)),
          "",
          kDashes,
          "",
      });
  AppendDailyLines(lines, fCounters, settings);
  return JoinLines(lines);
}

std::string kFiscalProcessor_VELMO::ComposeXReportText() const {
  const qzplatform::RegionalSettings settings = qzplatform::CurrentRegionalSettings();
  std::vector<std::string> lines = {"X-REPORT", kDashes, ""};
  AppendTillAndDate(lines, fFPCounters.TillSerial(), settings);
  AppendDailyLines(lines, fCounters, settings);
  return JoinLines(lines);
}

// Both copies hold the counters of the day being closed and reach the disk before Z changes the file, so
// a crash in between never leaves the day closed without its archive.
void kFiscalProcessor_VELMO::ArchiveCountersForZ() {
  const std::string actual = velmofile::ReadWholeFile(fCountersActualFileName);
  // One atomic replacement instead of a delete and a copy: the previous day's copy is never missing.
  velmofile::WriteFileAtomically(fCountersPreviousFileName, actual);
  const std::filesystem::path dayFolder = TodayProcessedFolder();
  const std::string snapshotName = ZeroPadded4(fFPCounters.CurrentZReportNo()) + "-9999.fprd";
  // The fixed receipt part 9999 sorts the snapshot after the day's receipt journal files of that Z number.
  velmofile::CreateFileAtomically((dayFolder / snapshotName).string(), actual);
}

std::string kFiscalProcessor_VELMO::TodayProcessedFolder() {
  const std::string folder = (std::filesystem::path(fDirProcessed) / DayFolderName(DateTime::Now())).string();
  velmofile::CreateFoldersDurably(folder);
  return folder;
}

bool kFiscalProcessor_VELMO::ProcessZReport(kFiscalProcessorHandler& /*aHandler*/) {
  fIOHandler->WriteLog(let_info, "PROCESSZREPORT", "BEGIN");
  // The lock spans the read, the archive and the close, so no receipt counted by another process can
  // slip in between and vanish from the closed day.
  if (!fFPCounters.Lock()) throw QzError(fFPCounters.LockError());
  try {
    fFPCounters.Refresh();
    FillReportCounters();
    fCounters.Text = ComposeZReportText();
    if (std::filesystem::exists(fCountersActualFileName)) ArchiveCountersForZ();
    fFPCounters.Z();
  } catch (...) {
    fFPCounters.Unlock();
    throw;
  }
  fFPCounters.Unlock();
  fIOHandler->WriteLog(let_info, "PROCESSZREPORT", "END");
  return true;
}

bool kFiscalProcessor_VELMO::ProcessXReport(kFiscalProcessorHandler& /*aHandler*/) {
  fIOHandler->WriteLog(let_info, "PROCESSXREPORT", "BEGIN");
  fFPCounters.Refresh();
  FillReportCounters();
  fCounters.Text = ComposeXReportText();
  fIOHandler->WriteLog(let_info, "PROCESSXREPORT", "END");
  return true;
}
