// kFiscalProcessor: construction, the till's folders, and the services for drivers (settings sections and
// the driver version text).

#include "framework/uQzFiscalProcessor.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "documents/uQzReceipt.h"
#include "io/uQZIOHandler.h"
#include "platform/Paths.h"
#include "platform/QzError.h"
#include "platform/RegionalSettings.h"
#include "platform/Text.h"
#include "support/uQZ_Base.h"

namespace {

std::string JoinPath(const std::string& aFolder, const std::string& aName) {
  if (aFolder.empty() || aFolder.back() == '/') return aFolder + aName;
  return aFolder + "/" + aName;
}

std::string ReadWholeFile(const std::string& aFileName) {
  std::ifstream file(aFileName, std::ios::binary);
  if (!file) throw QzError("Cannot open file \"" + aFileName + "\". " + std::strerror(errno));
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw QzError("Cannot read file \"" + aFileName + "\". " + std::strerror(errno));
  return bytes;
}

std::string Utf16BytesToUtf8(std::string_view aBytes, bool aBigEndian) {
  std::u16string units;
  units.reserve(aBytes.size() / 2);
  for (std::size_t i = 0; i + 1 < aBytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(aBytes[i]);
    const auto second = static_cast<unsigned char>(aBytes[i + 1]);
    units += static_cast<char16_t>(aBigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return qztext::Utf16ToUtf8(units);
}

// The text of a settings file: the encoding its byte-order mark names, UTF-8 when it has none.
std::string DecodeTextFile(const std::string& aBytes) {
  const std::string_view bytes = aBytes;
  if (bytes.starts_with("\xEF\xBB\xBF")) return aBytes.substr(3);
  if (bytes.starts_with("\xFF\xFE")) return Utf16BytesToUtf8(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return Utf16BytesToUtf8(bytes.substr(2), true);
  return aBytes;
}

}  // namespace

kFiscalProcessor::kFiscalProcessor(kFiscalProcessorHandler& aHandler)
    : fVatTable(std::make_unique<kVatTable>()),
      fDeptTable(std::make_unique<kDeptTable>()),
      fEATable(std::make_unique<kEconomicActivityTable>()) {
  // Logs live beside the host program (not this library), one daily file per driver and log id.
  fIOHandler = aHandler.CreateIOHandler(qzplatform::ApplicationDirectory() + kLogFolder);
  // The handler writes it in the banner of every Connect.
  fIOHandler->SetVersion(GetDriverVersion());
}

kFiscalProcessor::~kFiscalProcessor() = default;

void kFiscalProcessor::SetIOHandler(std::unique_ptr<kIOHandler> aValue) { fIOHandler = std::move(aValue); }

bool kFiscalProcessor::Open(kFiscalProcessorHandler& aHandler) {
  // The serial comes from the request and names the till's own folder under the data root.
  CheckPathPart(aHandler.TillSerial());
  const std::string root = qzplatform::DataRoot() + aHandler.TillSerial();

  fDirErrors = JoinPath(root, "Errors");
  fDirJournal = JoinPath(root, "Journal");
  fDirProcessed = JoinPath(root, "Processed");
  fDirQueue = JoinPath(root, "Queue");
  fCountersActualFileName = JoinPath(root, "counters.actual.fprc");
  fCountersPreviousFileName = JoinPath(root, "counters.previous.fprc");

  // A folder that cannot be made is not reported here: the write that needs it fails where it happens.
  for (const std::string* folder : {&fDirQueue, &fDirErrors, &fDirProcessed, &fDirJournal}) {
    std::error_code ignored;
    std::filesystem::create_directories(*folder, ignored);
  }
  return true;
}

bool kFiscalProcessor::LoadIniSection(const std::string& aFileName, const std::string& aSectionName,
                                      std::vector<std::string>& aList) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(aFileName, error)) return false;
  aList.clear();

  const std::vector<std::string> lines = qztext::SplitLines(DecodeTextFile(ReadWholeFile(aFileName)));
  const std::string header = "[" + aSectionName + "]";
  std::size_t i = 0;
  while (i < lines.size() && !qztext::EqualsIgnoreCaseAscii(lines[i], header)) ++i;
  if (i == lines.size()) return true;

  // Blank and comment lines belong to the section too; the caller reads name=value pairs from them.
  for (++i; i < lines.size() && !lines[i].starts_with('['); ++i) aList.push_back(lines[i]);
  return true;
}

std::string kFiscalProcessor::GetDriverVersion() {
  const tQZ_ApplicationInfo& info = Application().Info();
  return "Version " + info.Version() + " - " +
         qzplatform::FormatShortDate(info.ReleaseDate(), qzplatform::CurrentRegionalSettings());
}
