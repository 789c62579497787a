// The reply documents of the report and status exports, and the text forms of their values.

#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "library/uQZFiscalProcessorWrapper.h"
#include "support/uQZ_Base.h"

namespace {

using ReplyRows = std::vector<std::pair<const char*, std::string>>;

// A document loaded from "<aRootName/>", one child per row in order, each holding its value as text; written
// without declaration or indentation and ended with CR LF, as the host's readers expect.
std::string BuildReply(const std::string& aRootName, const ReplyRows& aRows) {
  pugi::xml_document document;
  document.load_string(("<" + aRootName + "/>").c_str());
  pugi::xml_node root = document.document_element();
  for (const auto& [name, value] : aRows) root.append_child(name).text().set(value.c_str());
  std::ostringstream text;
  document.save(text, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  text << "\r\n";
  return text.str();
}

}  // namespace

std::string AmountToText(Currency aValue) {
  std::string text = aValue.ToText();
  // The general number format may group thousands in some settings; the replies never do.
  std::erase(text, ',');
  return text;
}

std::string FlagToText(bool aValue) { return aValue ? "True" : "False"; }

std::string BuildReportReply(const std::string& aRootName,
                             const kFiscalProcessorWrapper_PROCESSZREPORT& aWrapper) {
  return BuildReply(aRootName, {
                                   {"GrandTotalAmount", AmountToText(aWrapper.GrandTotalTotal())},
                                   {"GrandTotalRefundsAmount", AmountToText(aWrapper.GrandTotalRefunds())},
                                   {"GrandTotalVoidsAmount", AmountToText(aWrapper.GrandTotalVoids())},
                                   {"DayTotalAmount", AmountToText(aWrapper.DailyTotal())},
                                   {"DayDiscountsAmount", AmountToText(aWrapper.DailyDiscounts())},
                                   {"DayRefundsAmount", AmountToText(aWrapper.DailyRefunds())},
                                   {"DayVoidsAmount", AmountToText(aWrapper.DailyVoids())},
                                   {"DayReceiptsNumber", std::to_string(aWrapper.CurrentReceiptNo())},
                                   // Refunds are not counted apart from the other receipts.
                                   {"DayRefundsNumber", AmountToText(Currency())},
                                   {"ReportNumber", std::to_string(aWrapper.CurrentReportNo())},
                                   {"ReportDateTime", DateTimeToXml(false, aWrapper.ReportDateTime())},
                                   {"Text", aWrapper.ReportText()},
                               });
}

std::string BuildStatusReply(const kFiscalProcessorWrapper_GETSTATUS& aWrapper) {
  return BuildReply("Status", {
                                  {"DayOpened", FlagToText(aWrapper.DayOpened())},
                                  {"DateTime", DateTimeToXml(false, aWrapper.DateTime())},
                                  {"TrainingMode", FlagToText(aWrapper.TrainingMode())},
                                  {"FirmwareVersion", aWrapper.FirmwareVersion()},
                                  {"SerialNumber", aWrapper.SerialNumber()},
                                  {"FiscalMode", aWrapper.FiscalMode()},
                              });
}
