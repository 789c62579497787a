// The version information of the library: a block of "KEY=value" strings, ids counted from 10000, read at
// start-up into the description, the copyright, the history of releases and the current version.

#include <iterator>
#include <utility>

#include "platform/QzError.h"
#include "platform/RegionalSettings.h"
#include "platform/Text.h"
#include "support/uQZ_Base.h"

namespace {

constexpr int kFirstVersionStringId = 10000;
// Reading stops after this many consecutive ids without a string.
constexpr int kMaxMissingIds = 11;
constexpr std::size_t kMaxStringLength = 1023;

constexpr const char* kVersionStrings[] = {
    "$APPDESCRIPTION=QZFP_VELMO_10 - Driver processore fiscale VELMO",
    "$COPYRIGHT=Copyright (C) 2021-2022 QZ",
    "$VERSION=1.00",
    "$RELEASEDATE=18/06/2021",
    "$AUTHOR=QZ Sviluppo",
    "$TEXT=Rilascio Iniziale",
    "$VERSION=1.01",
    "$RELEASEDATE=23/06/2021",
    "$AUTHOR=QZ Sviluppo",
    "$TEXT=Aggiunta Gestione Tipologie di Documento",
    "$VERSION=1.02",
    "$RELEASEDATE=25/06/2021",
    "$AUTHOR=QZ Sviluppo",
    "$TEXT=Gestione Z Report e X Report",
    "$VERSION=1.03",
    "$RELEASEDATE=12/10/2021",
    "$AUTHOR=QZ Sviluppo",
    "$TEXT=Esclusione transazione SMAC in caso di pagamento avvenuto con SMAC",
    "$VERSION=1.04",
    "$RELEASEDATE=14/04/2022",
    "$AUTHOR=QZ Sviluppo",
    "$TEXT=Changed ISO Date Processing and new ProcessGetStatus function",
};

// Characters aStart..aStart+aLength-1 as a number, or 1 when they are not one.
int NumberOrOne(const std::string& aText, std::size_t aStart, std::size_t aLength) {
  if (aStart >= aText.size()) return 1;
  const std::string field = qztext::Trim(aText.substr(aStart, aLength));
  if (field.empty()) return 1;
  int value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return 1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<std::string> LibraryStringResource(int aId) {
  const int index = aId - kFirstVersionStringId;
  if (index < 0 || index >= static_cast<int>(std::size(kVersionStrings))) return std::nullopt;
  const std::string text = kVersionStrings[static_cast<std::size_t>(index)];
  if (text.empty()) return std::nullopt;
  return text;
}

void tQZ_ApplicationInfo::LoadFromResource() { LoadFromStrings(LibraryStringResource); }

void tQZ_ApplicationInfo::LoadFromStrings(const std::function<std::optional<std::string>(int)>& aString) {
  int missing = 0;
  for (int id = kFirstVersionStringId; missing < kMaxMissingIds; ++id) {
    const std::optional<std::string> text = aString(id);
    if (!text || text->empty()) {
      ++missing;
      continue;
    }
    missing = 0;
    ApplyVersionString(
        qztext::Utf16Length(*text) > kMaxStringLength ? qztext::Utf16Left(*text, kMaxStringLength) : *text);
  }
}

void tQZ_ApplicationInfo::ApplyVersionString(const std::string& aString) {
  const auto equals = aString.find('=');
  if (equals == std::string::npos) return;
  const std::string key = qztext::ToUpperAscii(aString.substr(0, equals));
  const std::string value = aString.substr(equals + 1);
  tQZ_ApplicationHistory* current = fHistory.empty() ? nullptr : fHistory.back().get();

  if (key == "$APPDESCRIPTION") {
    fDescription = value;
  } else if (key == "$COPYRIGHT") {
    fCopyright = value;
  } else if (key == "$VERSION") {
    fVersion = value;
    fHistory.push_back(std::make_unique<tQZ_ApplicationHistory>());
    fHistory.back()->SetVersion(value);
  } else if (key == "$RELEASEDATE" && current != nullptr) {
    // dd/mm/yyyy by position; a part that is not a number counts as 1.
    const auto date =
        DateTime::Encode(NumberOrOne(value, 6, 4), NumberOrOne(value, 3, 2), NumberOrOne(value, 0, 2));
    if (!date) throw QzError("Invalid argument to date encode");
    current->SetReleaseDate(*date);
    fReleaseDate = *date;
  } else if (key == "$AUTHOR" && current != nullptr) {
    current->SetAuthor(value);
  } else if ((key == "$PTEXT" || key == "$TEXT") && current != nullptr) {
    current->Text().push_back(value);
  }
}

std::string tQZ_ApplicationInfo::VersionString() const {
  return "[" + fVersion + " - " +
         qzplatform::FormatShortDate(fReleaseDate, qzplatform::CurrentRegionalSettings()) + "]";
}
