#pragma once
// The printable forms of the Z and X report: amounts and counts as a person reads them under the
// computer's regional settings, the report date, and the fixed columns of a report line.

#include <string>

#include "platform/Currency.h"
#include "platform/DateTime.h"
#include "platform/RegionalSettings.h"

namespace velmoreport {

// aValue rounded to six significant digits, then written with aDecimals decimals (halves away from zero),
// aSettings' decimal separator and its thousands separator every three whole digits, "-" when negative.
// A value that needs more than six whole digits (one million or more) is written in exponent form
// instead: up to six significant digits, the decimal separator, "E", at least two exponent digits
// (1234567.89 gives 1,23457E06 and 2000000 gives 2E06 with Italian settings).
std::string FormatReportNumber(Currency aValue, int aDecimals, const qzplatform::RegionalSettings& aSettings);

// "dd/mm/yyyy hh:nn" with the regional date and time separators in place of "/" and ":".
std::string FormatReportDate(const DateTime& aValue, const qzplatform::RegionalSettings& aSettings);

// aLabel padded with blanks to 34 characters, then aValue right-aligned in 10 (neither is ever cut).
std::string ReportLine(const std::string& aLabel, const std::string& aValue);

}  // namespace velmoreport
