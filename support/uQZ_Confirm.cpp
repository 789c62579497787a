#include "support/uQZ_Confirm.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/QzError.h"
#include "support/uQZ_Base.h"

namespace {

// An error line of the window requests, in the application log.
void LogError(const std::string& aMessage) { Application().Log(let_error, aMessage); }

struct RegisteredCallback {
  QZFP_ConfirmCallback fCallback = nullptr;
  void* fUserData = nullptr;
};

std::mutex& CallbackLock() {
  static std::mutex lock;
  return lock;
}

RegisteredCallback& Registered() {
  static RegisteredCallback registered;
  return registered;
}

RegisteredCallback CurrentCallback() {
  std::lock_guard<std::mutex> guard(CallbackLock());
  return Registered();
}

tQZ_ConfirmOption OptionFromAnswer(int aAnswer) {
  switch (aAnswer) {
    case co_Yes:
      return co_Yes;
    case co_No:
      return co_No;
    default:
      return co_Cancel;
  }
}

std::string OptionsArgument(tQZ_ConfirmOptions aOptions) {
  std::string text;
  auto add = [&text](const char* aName) {
    if (!text.empty()) text += ",";
    text += aName;
  };
  if (aOptions.Contains(co_Yes)) add("yes");
  if (aOptions.Contains(co_No)) add("no");
  if (aOptions.Contains(co_Cancel)) add("cancel");
  return text;
}

// Why the helper did not answer, for the log: the statuses it uses for failures are explained.
std::string HelperFailure(const std::string& aProgram, int aStatus) {
  if (aStatus < 0) return aProgram + " ended abnormally";
  std::string text = aProgram + " failed with exit status " + std::to_string(aStatus);
  if (aStatus == 3) text += " (it did not accept its command line)";
  if (aStatus == 4) text += " (it could not open the display: is DISPLAY set?)";
  return text;
}

std::string ColorArgument(tQZ_Color aColor) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(aColor.ToRgb()));
  return text;
}

// The file this code was loaded from: the driver library inside a host, or the program itself when the
// code is linked into one.
std::string OwnBinaryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnBinaryPath), &info) != 0 && info.dli_fname != nullptr &&
      info.dli_fname[0] != '\0') {
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) != nullptr) return resolved;
  }
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.string();
}

}  // namespace

void SetConfirmCallback(QZFP_ConfirmCallback aCallback, void* aUserData) {
  std::lock_guard<std::mutex> guard(CallbackLock());
  Registered() = RegisteredCallback{aCallback, aCallback != nullptr ? aUserData : nullptr};
}

std::string FindConfirmProgram(std::string* aWhy) {
  auto fail = [aWhy](const std::string& aReason) {
    if (aWhy != nullptr) *aWhy = aReason;
    return std::string();
  };
  const char* configured = std::getenv("QZFP_CONFIRM_PROGRAM");
  if (configured != nullptr && configured[0] != '\0') {
    // An explicit choice that does not work is reported, not quietly replaced by another program.
    if (qzprocess::IsExecutableFile(configured)) return configured;
    return fail(std::string("QZFP_CONFIRM_PROGRAM names no program that can be run: ") + configured);
  }
  std::string binary = OwnBinaryPath();
  if (binary.empty()) return fail("the folder of the library is unknown");
  std::string beside = (std::filesystem::path(binary).parent_path() / "qzfp-confirm").string();
  if (qzprocess::IsExecutableFile(beside)) return beside;
  return fail("no confirm callback is registered, QZFP_CONFIRM_PROGRAM is not set and there is no " + beside);
}

tQZ_ConfirmOption tQZ_Confirm::Show() {
  fSelected = co_Cancel;
  RegisteredCallback host = CurrentCallback();
  if (host.fCallback != nullptr) {
    int answer = host.fCallback(host.fUserData, fTitle.c_str(), fMessage.c_str(), fOptions.Bits(),
                                fMessageContainerColor.ToRgb());
    fSelected = OptionFromAnswer(answer);
    return fSelected;
  }

  std::string why;
  std::string program = FindConfirmProgram(&why);
  if (program.empty()) {
    LogError("Cannot ask \"" + fTitle + "\", answered Cancel: " + why);
    return fSelected;
  }
  int status = -1;
  try {
    status = qzprocess::RunHelper(
        program, {"confirm", "--title", fTitle, "--message", fMessage, "--options", OptionsArgument(fOptions),
                  "--color", ColorArgument(fMessageContainerColor)});
  } catch (const QzError& error) {
    LogError("Cannot ask \"" + fTitle + "\", answered Cancel: " + error.what());
    return fSelected;
  }
  if (status < 0 || status > co_Cancel) {
    LogError("Cannot ask \"" + fTitle + "\", answered Cancel: " + HelperFailure(program, status));
    return fSelected;
  }
  fSelected = OptionFromAnswer(status);
  return fSelected;
}

tQZ_ConfirmOption ConfirmDialog(const std::string& aTitle, const std::string& aMessage,
                                tQZ_ConfirmOptions aOptions, tQZ_Color aColor) {
  if (aOptions.Empty()) throw QzError("ConfirmDialog needs at least one option");
  tQZ_Confirm confirm;
  confirm.SetTitle(aTitle);
  confirm.SetMessage(aMessage);
  confirm.SetOptions(aOptions);
  confirm.SetMessageContainerColor(aColor);
  return confirm.Show();
}

// ---- wait window and message boxes ----

namespace {

std::string ApplicationLanguage() { return Application().Language(); }
bool ApplicationIsBatch() { return Application().IsBatch(); }

}  // namespace

tQZ_Wait& ApplicationWaitWindow() {
  static tQZ_Wait wait;
  return wait;
}

tQZ_Wait::tQZ_Wait() : fText_IT("Attendere prego ..."), fText_EN("Wait please ...") { SetText(""); }

tQZ_Wait::~tQZ_Wait() { HideWindow(); }

void tQZ_Wait::SetText(const std::string& aValue) {
  std::string language = ApplicationLanguage();
  for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  fCaption = language == "en" ? fText_EN : fText_IT;
  if (!aValue.empty()) fCaption += "\r\n" + aValue;
  // The helper draws one caption for its life: a shown window is redrawn by showing it anew.
  if (fWindow) {
    HideWindow();
    ShowWindow();
  }
}

void tQZ_Wait::Start(const std::string& aText) {
  SetText(aText);
  if (!fWindow) ShowWindow();
  fStarted = true;
}

void tQZ_Wait::Stop() {
  fStarted = false;
  HideWindow();
}

void tQZ_Wait::ShowWindow() {
  std::string why;
  std::string program = FindConfirmProgram(&why);
  if (program.empty()) {
    LogError("Cannot show the wait window: " + why);
    return;
  }
  try {
    fWindow = std::make_unique<qzprocess::HelperProcess>(
        qzprocess::HelperProcess::Start(program, {"wait", "--text", fCaption}));
  } catch (const QzError& error) {
    LogError(std::string("Cannot show the wait window: ") + error.what());
  }
}

void tQZ_Wait::HideWindow() {
  if (!fWindow) return;
  fWindow->Terminate();
  fWindow.reset();
}

void DisplayMessage(int aKind, const std::string& aMessage) {
  if (ApplicationIsBatch()) {
    LogError(aMessage);
    return;
  }
  std::string why;
  std::string program = FindConfirmProgram(&why);
  int status = -1;
  if (!program.empty()) {
    try {
      status = qzprocess::RunHelper(program,
                                    {"message", "--kind", aKind == 1 ? "error" : "info", "--text", aMessage});
      if (status != 0) why = HelperFailure(program, status);
    } catch (const QzError& error) {
      why = error.what();
    }
  }
  if (status != 0) LogError("Cannot show the message \"" + aMessage + "\": " + why);
}

void DisplayMessageOverWait(int aKind, const std::string& aMessage) {
  tQZ_Wait& wait = ApplicationWaitWindow();
  bool wasStarted = wait.Started();
  if (wasStarted) wait.Stop();
  DisplayMessage(aKind, aMessage);
  if (wasStarted) wait.Start("");
}
