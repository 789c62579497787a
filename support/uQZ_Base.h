#pragma once
// Application services: the one application object of the loaded library (version information, the
// application log, the host's command-line switches) and the conversion functions shared by every unit.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stack>
#include <string>
#include <utility>
#include <vector>

#include "platform/Currency.h"
#include "platform/DateTime.h"
#include "support/uQZ_Base_Defs.h"
#include "support/uQZ_LogWriter.h"

// One release of the library as its version resource tells it.
class tQZ_ApplicationHistory {
 public:
  const std::string& Version() const { return fVersion; }
  void SetVersion(const std::string& aValue) { fVersion = aValue; }
  DateTime ReleaseDate() const { return fReleaseDate; }
  void SetReleaseDate(DateTime aValue) { fReleaseDate = aValue; }
  const std::string& Author() const { return fAuthor; }
  void SetAuthor(const std::string& aValue) { fAuthor = aValue; }
  const std::vector<std::string>& Text() const { return fText; }
  std::vector<std::string>& Text() { return fText; }

 private:
  std::string fVersion;
  DateTime fReleaseDate;
  std::string fAuthor;
  std::vector<std::string> fText;
};

class tQZ_ApplicationInfo {
 public:
  // Reads the version strings aString(10000), aString(10001), ... ("KEY=value"; nullopt or "" when an id
  // holds no string) until 11 consecutive ids hold none. A "$RELEASEDATE" that is no date throws QzError.
  void LoadFromStrings(const std::function<std::optional<std::string>(int)>& aString);
  // The version strings built into this library.
  void LoadFromResource();

  const std::string& Description() const { return fDescription; }
  const std::string& Copyright() const { return fCopyright; }
  const std::string& Version() const { return fVersion; }
  DateTime ReleaseDate() const { return fReleaseDate; }
  const std::vector<std::unique_ptr<tQZ_ApplicationHistory>>& History() const { return fHistory; }
  // "[" + Version + " - " + release date as a regional short date + "]": "[1.04 - 14/04/2022]".
  std::string VersionString() const;

 private:
  void ApplyVersionString(const std::string& aString);

  std::string fDescription;
  std::string fCopyright;
  std::string fVersion;
  DateTime fReleaseDate;
  std::vector<std::unique_ptr<tQZ_ApplicationHistory>> fHistory;
};

// The string resource of this library with the given id, or nullopt (ids counted from 10000).
std::optional<std::string> LibraryStringResource(int aId);

class tQZ_SetupEntry {
 public:
  tQZ_SetupEntry(std::string aName, std::string aValue)
      : fName(std::move(aName)), fValue(std::move(aValue)) {}
  const std::string& Name() const { return fName; }
  const std::string& Value() const { return fValue; }
  void SetValue(const std::string& aValue) { fValue = aValue; }

 private:
  std::string fName;
  std::string fValue;
};

// Named settings; names compared in lower case.
class tQZ_Setup {
 public:
  void Define(const std::string& aName);
  void SetValue(const std::string& aName, const std::string& aValue);
  std::string GetValue(const std::string& aName) const;  // "" when not defined
  std::size_t Count() const { return fList.size(); }

 private:
  tQZ_SetupEntry* Find(const std::string& aName) const;
  std::vector<std::unique_ptr<tQZ_SetupEntry>> fList;
};

class tQZ_Application {
 public:
  // Creates the application log folder ("LogFiles" in the host executable folder), reads the command-line
  // switches "/BATCH", "/DEBUG", "/TEST" and the version information.
  tQZ_Application();
  ~tQZ_Application();
  tQZ_Application(const tQZ_Application&) = delete;
  tQZ_Application& operator=(const tQZ_Application&) = delete;

  // Writes a line to the application log; an error line also becomes LastError.
  void Log(tQZ_MessageType aEntryType, const std::string& aMessage);
  void ForceIsBatch() { fIsBatch = true; }

  std::string GetLogDirectory() const;
  std::string GetLogFileName() const;
  // A relative aNewDir is taken inside the application log folder; an absolute one is used unchanged.
  void ChangeLogDirectory(const std::string& aNewDir);
  void ChangeLogFilename(const std::string& aNewFileName);

  // Adds "id:text" lines to the message table (only the text up to a second ":" is kept; the first line
  // of an id wins). This library carries no message resource, so the table starts empty.
  void LoadMessages(const std::vector<std::string>& aLines);
  // The message table text of aMessageId for the current language (else the default language, else the
  // id itself), each "%s" replaced by the next of aValues.
  std::string GetMessage(const std::string& aMessageId, const std::vector<std::string>& aValues = {}) const;

  // Stopwatch timers on a stack; values are milliseconds between the times of day of start and now (so a
  // timer running past midnight is negative).
  void StartTimer();
  std::int64_t StopTimer();
  std::int64_t GetTimerValue() const;
  std::size_t GetTimerCount() const { return fTimers.size(); }

  tQZ_Setup& Setup() { return *fSetup; }
  const std::string& LastError() const { return fLastError; }
  bool IsBatch() const { return fIsBatch; }
  bool IsDebug() const { return fIsDebug; }
  bool IsTest() const { return fIsTest; }
  const tQZ_ApplicationInfo& Info() const { return *fInfo; }
  bool HideOnMinimize() const { return fHideOnMinimize; }
  void SetHideOnMinimize(bool aValue) { fHideOnMinimize = aValue; }
  bool TerminateOnExceptionIfBatch() const { return fTerminateOnExceptionIfBatch; }
  void SetTerminateOnExceptionIfBatch(bool aValue) { fTerminateOnExceptionIfBatch = aValue; }
  const std::string& DefaultLanguage() const { return fDefaultLanguage; }
  void SetDefaultLanguage(const std::string& aValue) { fDefaultLanguage = aValue; }
  const std::string& Language() const { return fLanguage; }
  void SetLanguage(const std::string& aValue) { fLanguage = aValue; }

 private:
  std::unique_ptr<tQZ_Setup> fSetup;
  bool fHideOnMinimize = false;
  std::unique_ptr<tQZ_LogWriter> fLogger;
  std::string fLastError;
  bool fIsBatch = false;
  bool fIsDebug = false;
  bool fIsTest = false;
  bool fTerminateOnExceptionIfBatch = true;
  std::string fDefaultLanguage;
  std::string fLanguage;
  std::vector<std::pair<std::string, std::string>> fMessages;  // id -> text, first definition wins
  std::unique_ptr<tQZ_ApplicationInfo> fInfo;
  std::stack<DateTime> fTimers;
};

// The library's start-up creates the application object and its unload frees it. Application() answers
// the object, creating it on first use when the start-up has not run (programs that link the units without
// the library, such as tests and tools).
void CreateApplication();
void FreeApplication();
tQZ_Application& Application();

// yyyy-mm-ddThh:nn:ss, or yyyy-mm-ddThh:nn:ss.zzz with aWithMilliseconds; never regional.
std::string DateTimeToXml(bool aWithMilliseconds, const DateTime& aValue);
// Reads yyyy-mm-ddThh:nn:ss with optional .zzz (the characters between the fields are not checked); any
// text that gives no real date-time throws QzError("DateTime Format invalid: [" + aText + "]").
DateTime XmlToDateTime(const std::string& aText);
// Shortest decimal text with ".": 12.5, 0, -3.25, 1234.5678.
std::string CurrencyToXml(Currency aValue);
std::string BooleanToXml(bool aValue);
// Rounded to two decimals, halves away from zero: 2.345 -> 2.35, -2.345 -> -2.35.
Currency RoundCurrency2(Currency aValue);
// aNumber with aDecimals decimals (halves away from zero) and aDecimalSeparator for the point (empty
// removes it), zero-padded on the left and cut to its last aDigits characters: (7, 4, 0) -> "0007",
// (12345, 4, 0) -> "2345". With aSign a negative number keeps its "-" in the first position ("-007").
std::string FormatNumberZeroPadded(double aNumber, int aDigits, int aDecimals,
                                   const std::string& aDecimalSeparator = ".", bool aSign = false);
// Field aFieldNumber (from 1) of aText split at aSeparator; with aToEnd everything from the start of that
// field to the end. A missing field gives "".
std::string ExtractDelimitedField(const std::string& aText, int aFieldNumber, char aSeparator,
                                  bool aToEnd = false);
// Number of positions at which aSearched occurs in aText, overlaps included ("aaa" in "aaaa" is 2).
int CountOccurrences(const std::string& aText, const std::string& aSearched);
std::int64_t TimeOfDayToMilliseconds(const DateTime& aValue);
// Folder of the host executable with a trailing "/".
std::string GetApplicationPath();
// File name of the host executable without its extension.
std::string GetApplicationName();
// The first host parameter that, in lower case, equals aName or starts with aName + ":" or aName + "=":
// whole (aWhole) or without the name and the character after it; "" when none matches.
std::string GetCommandLineParameter(const std::string& aName, bool aWhole);
std::string GetCommandLineParameter(const std::vector<std::string>& aParameters, const std::string& aName,
                                    bool aWhole);
