#include "platform/RegionalSettings.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>

namespace qzplatform {

namespace {

// The locale name the environment gives a category, in the order the C library itself uses.
std::string LocaleNameFor(const char* aCategoryVariable) {
  for (const char* variable : {"LC_ALL", aCategoryVariable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

// A locale object for one category; "C" when the named locale is not installed.
class LocaleHandle {
 public:
  LocaleHandle(int aCategoryMask, const std::string& aName) {
    fLocale = newlocale(aCategoryMask, aName.c_str(), static_cast<locale_t>(0));
    if (fLocale == static_cast<locale_t>(0))
      fLocale = newlocale(aCategoryMask, "C", static_cast<locale_t>(0));
  }
  ~LocaleHandle() {
    if (fLocale != static_cast<locale_t>(0)) freelocale(fLocale);
  }
  LocaleHandle(const LocaleHandle&) = delete;
  LocaleHandle& operator=(const LocaleHandle&) = delete;

  std::string Info(nl_item aItem) const {
    if (fLocale == static_cast<locale_t>(0)) return {};
    const char* value = nl_langinfo_l(aItem, fLocale);
    return value == nullptr ? std::string() : std::string(value);
  }

 private:
  locale_t fLocale;
};

// The shorthand conversions of strftime that a date or time layout may use.
std::string ExpandShorthands(const std::string& aFormat) {
  std::string result;
  for (std::size_t i = 0; i < aFormat.size(); ++i) {
    if (aFormat[i] == '%' && i + 1 < aFormat.size()) {
      const char c = aFormat[i + 1];
      if (c == 'D') {
        result += "%m/%d/%y";
      } else if (c == 'F') {
        result += "%Y-%m-%d";
      } else if (c == 'T') {
        result += "%H:%M:%S";
      } else if (c == 'R') {
        result += "%H:%M";
      } else if (c == 'r') {
        result += "%I:%M:%S %p";
      } else {
        result += aFormat.substr(i, 2);
      }
      ++i;
    } else {
      result += aFormat[i];
    }
  }
  return result;
}

struct ParsedLayout {
  std::string Fields;     // conversion letters in order, modifiers removed ("dmY")
  std::string Separator;  // the first literal text between two conversions
};

ParsedLayout ParseLayout(const std::string& aFormat) {
  ParsedLayout layout;
  std::string literal;
  for (std::size_t i = 0; i < aFormat.size(); ++i) {
    if (aFormat[i] != '%') {
      literal += aFormat[i];
      continue;
    }
    ++i;
    // Flags and the E / O modifiers change how a field is written, not which field it is.
    while (i < aFormat.size() && std::string_view("-_0^#EO").find(aFormat[i]) != std::string_view::npos) ++i;
    if (i >= aFormat.size()) break;
    if (!layout.Fields.empty() && layout.Separator.empty()) layout.Separator = literal;
    literal.clear();
    layout.Fields += aFormat[i];
  }
  return layout;
}

std::string ShortDateFormatFrom(const ParsedLayout& aLayout, const std::string& aSeparator) {
  std::string order;
  for (char c : aLayout.Fields) {
    char field = 0;
    if (c == 'd' || c == 'e') field = 'd';
    if (c == 'm' || c == 'b' || c == 'B' || c == 'h') field = 'm';
    if (c == 'Y' || c == 'y' || c == 'G' || c == 'g' || c == 'C') field = 'y';
    if (field != 0 && order.find(field) == std::string::npos) order += field;
  }
  for (char field : std::string("dmy")) {
    if (order.find(field) == std::string::npos) order += field;
  }
  std::string format;
  for (char field : order) {
    if (!format.empty()) format += aSeparator;
    format += field == 'd' ? "dd" : field == 'm' ? "mm" : "yyyy";
  }
  return format;
}

std::string OrDefault(std::string aValue, std::string_view aDefault) {
  if (aValue.empty()) aValue.assign(aDefault.data(), aDefault.size());
  return aValue;
}

RegionalSettings ReadSettings(const std::string& aNumericLocale, const std::string& aTimeLocale) {
  RegionalSettings settings;
  const LocaleHandle numeric(LC_NUMERIC_MASK, aNumericLocale);
  settings.DecimalSeparator = OrDefault(numeric.Info(RADIXCHAR), ".");
  settings.ThousandSeparator = numeric.Info(THOUSEP);

  const LocaleHandle time(LC_TIME_MASK, aTimeLocale);
  const ParsedLayout date = ParseLayout(ExpandShorthands(time.Info(D_FMT)));
  settings.DateSeparator = OrDefault(date.Separator, "/");
  settings.ShortDateFormat = ShortDateFormatFrom(date, settings.DateSeparator);
  const ParsedLayout clock = ParseLayout(ExpandShorthands(time.Info(T_FMT)));
  settings.TimeSeparator = OrDefault(clock.Separator, ":");
  return settings;
}

}  // namespace

RegionalSettings RegionalSettingsFor(const std::string& aNumericLocale, const std::string& aTimeLocale) {
  static std::mutex lock;
  static std::map<std::pair<std::string, std::string>, RegionalSettings> cache;
  const std::lock_guard guard(lock);
  const auto key = std::make_pair(aNumericLocale, aTimeLocale);
  auto found = cache.find(key);
  if (found == cache.end()) found = cache.emplace(key, ReadSettings(aNumericLocale, aTimeLocale)).first;
  return found->second;
}

RegionalSettings CurrentRegionalSettings() {
  return RegionalSettingsFor(LocaleNameFor("LC_NUMERIC"), LocaleNameFor("LC_TIME"));
}

std::string FormatShortDate(const DateTime& aDate, const RegionalSettings& aSettings) {
  const DateTime::Parts parts = aDate.Decode();
  const std::string& format = aSettings.ShortDateFormat;
  std::string result;
  char number[16];
  for (std::size_t i = 0; i < format.size();) {
    if (format.compare(i, 4, "yyyy") == 0) {
      std::snprintf(number, sizeof number, "%04d", parts.Year);
      result += number;
      i += 4;
    } else if (format.compare(i, 2, "dd") == 0 || format.compare(i, 2, "mm") == 0) {
      std::snprintf(number, sizeof number, "%02d", format[i] == 'd' ? parts.Day : parts.Month);
      result += number;
      i += 2;
    } else {
      result += format[i++];
    }
  }
  return result;
}

}  // namespace qzplatform
