#include "support/uQZ_Base.h"

#include <mutex>

#include "platform/CommandLine.h"
#include "platform/Text.h"

tQZ_Application::tQZ_Application() {
  fSetup = std::make_unique<tQZ_Setup>();
  fTerminateOnExceptionIfBatch = true;
  // The folder is created now; the file, named after the host executable, only with its first line.
  fLogger =
      std::make_unique<tQZ_LogWriter>(GetApplicationName(), GetApplicationPath() + "LogFiles", 0, false);
  const std::vector<std::string> parameters = qzplatform::CommandLineParameters();
  fIsBatch = !GetCommandLineParameter(parameters, "/BATCH", true).empty();
  fIsDebug = !GetCommandLineParameter(parameters, "/DEBUG", true).empty();
  fIsTest = !GetCommandLineParameter(parameters, "/TEST", true).empty();
  fInfo = std::make_unique<tQZ_ApplicationInfo>();
  fInfo->LoadFromResource();
}

tQZ_Application::~tQZ_Application() = default;

void tQZ_Application::Log(tQZ_MessageType aEntryType, const std::string& aMessage) {
  if (aEntryType == let_error) fLastError = aMessage;
  fLogger->Write(aEntryType, aMessage);
}

std::string tQZ_Application::GetLogDirectory() const { return fLogger->Directory(); }

std::string tQZ_Application::GetLogFileName() const { return fLogger->FileName(); }

void tQZ_Application::ChangeLogDirectory(const std::string& aNewDir) {
  const bool absolute = !aNewDir.empty() && aNewDir.front() == '/';
  fLogger->SetDirectory(absolute ? aNewDir : GetApplicationPath() + "LogFiles/" + aNewDir);
}

void tQZ_Application::ChangeLogFilename(const std::string& aNewFileName) {
  fLogger->SetFileName(aNewFileName);
}

void tQZ_Application::LoadMessages(const std::vector<std::string>& aLines) {
  for (const std::string& line : aLines) {
    const std::string id = ExtractDelimitedField(line, 1, ':');
    const std::string text = ExtractDelimitedField(line, 2, ':');
    bool present = false;
    for (const auto& [knownId, knownText] : fMessages) present = present || knownId == id;
    if (!present) fMessages.emplace_back(id, text);
  }
}

std::string tQZ_Application::GetMessage(const std::string& aMessageId,
                                        const std::vector<std::string>& aValues) const {
  auto lookup = [this](const std::string& aKey) -> const std::string* {
    for (const auto& [id, text] : fMessages) {
      if (id == aKey) return &text;
    }
    return nullptr;
  };
  const std::string* found = lookup(fLanguage + "." + aMessageId);
  if (found == nullptr) found = lookup(aMessageId + "." + fDefaultLanguage);
  const std::string& pattern = found != nullptr ? *found : aMessageId;
  std::string result;
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
      if (next < aValues.size()) result += aValues[next++];
      ++i;
    } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%') {
      result += '%';
      ++i;
    } else {
      result += pattern[i];
    }
  }
  return result;
}

void tQZ_Application::StartTimer() { fTimers.push(DateTime::Now()); }

std::int64_t tQZ_Application::StopTimer() {
  const std::int64_t elapsed = GetTimerValue();
  if (!fTimers.empty()) fTimers.pop();
  return elapsed;
}

std::int64_t tQZ_Application::GetTimerValue() const {
  if (fTimers.empty()) return 0;
  return TimeOfDayToMilliseconds(DateTime::Now()) - TimeOfDayToMilliseconds(fTimers.top());
}

// ---------------------------------------------------------------------------------------------------------
// Settings container

tQZ_SetupEntry* tQZ_Setup::Find(const std::string& aName) const {
  const std::string key = qztext::ToLowerAscii(aName);
  for (const auto& entry : fList) {
    if (qztext::ToLowerAscii(entry->Name()) == key) return entry.get();
  }
  return nullptr;
}

void tQZ_Setup::Define(const std::string& aName) { SetValue(aName, ""); }

void tQZ_Setup::SetValue(const std::string& aName, const std::string& aValue) {
  if (tQZ_SetupEntry* entry = Find(aName)) {
    entry->SetValue(aValue);
  } else {
    fList.push_back(std::make_unique<tQZ_SetupEntry>(aName, aValue));
  }
}

std::string tQZ_Setup::GetValue(const std::string& aName) const {
  const tQZ_SetupEntry* entry = Find(aName);
  return entry != nullptr ? entry->Value() : std::string();
}

// ---------------------------------------------------------------------------------------------------------
// The one application object of the loaded library

namespace {

std::mutex gApplicationLock;
std::unique_ptr<tQZ_Application> gApplication;

}  // namespace

void CreateApplication() {
  const std::lock_guard guard(gApplicationLock);
  if (!gApplication) gApplication = std::make_unique<tQZ_Application>();
}

void FreeApplication() {
  std::unique_ptr<tQZ_Application> application;
  {
    const std::lock_guard guard(gApplicationLock);
    application = std::move(gApplication);
  }
  // Destroyed outside the lock: the log writer drains its queue first.
}

tQZ_Application& Application() {
  const std::lock_guard guard(gApplicationLock);
  if (!gApplication) gApplication = std::make_unique<tQZ_Application>();
  return *gApplication;
}
