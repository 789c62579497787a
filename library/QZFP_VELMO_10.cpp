// The driver library's entry: its start-up and finalisation, and the five exports a point-of-sale host
// calls. Each export creates the wrapper of its class, runs the request, hands the wrapper's results back
// as OLE strings the host then owns, and answers 0 or -1. Nothing thrown inside ever reaches the host.

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "drivers/velmo/uQZFP_VELMO_10.h"
#include "library/uQZFiscalProcessorWrapper.h"
#include "platform/Export.h"
#include "platform/OleString.h"
#include "support/uQZ_Base.h"

// The C++ runtime's exit registration, tied to this library so that a dlclose runs (and drops) the entry.
extern "C" void* __dso_handle;
extern "C" int __cxa_atexit(void (*aFunction)(void*), void* aArgument, void* aDsoHandle);

namespace {

// Why the start-up failed, when it did: every export then fails with it instead of running on half-built
// tables. A plain pointer, like the tables: its lifetime is the load, not static initialisation.
std::string* gStartupError = nullptr;
// The process is ending (exit handlers run) rather than the library being unloaded by dlclose.
bool gExiting = false;

// At process exit the C++ runtime runs the exit handlers, among them the destructors of the library's
// static objects, before the library's own finalisation; the processors' log threads must be gone before
// that happens. This handler ends them. It is registered at load and again by the first call of each export:
// a handler runs before everything registered ahead of it, and the static objects that the calls bring to
// life are registered by those calls. On dlclose it runs too, after OnLibraryUnload has done the work.
void FinishAtExit(void*) noexcept {
  gExiting = true;
  try {
    FreeProcessorTables();
  } catch (...) {
  }
}

void RegisterExitHandler() noexcept { __cxa_atexit(&FinishAtExit, nullptr, &__dso_handle); }

void StartLibrary() noexcept {
  try {
    CreateApplication();
    CreateProcessorTables();
    // The driver unit cannot reach up to the tables, so its registration is made here.
    RegisterFiscalProcessorClass(kFiscalProcessor_VELMO::kDriverName, &kFiscalProcessor_VELMO::Create);
  } catch (const std::exception& e) {
    gStartupError = std::make_unique<std::string>(e.what()).release();
  } catch (...) {
    gStartupError = std::make_unique<std::string>("Library start-up failed").release();
  }
  RegisterExitHandler();
}

__attribute__((constructor)) void OnLibraryLoad() { StartLibrary(); }

// dlclose runs this before any static destructor of the library: the reverse of the start-up. The
// processors go with their tables, so their log threads have ended before the application object (and then
// the library's code) goes away. At process exit FinishAtExit has ended the processors already, and the
// application object has gone with the static objects, so nothing is left to do.
__attribute__((destructor)) void OnLibraryUnload() {
  if (!gExiting) {
    try {
      FreeProcessorTables();
    } catch (...) {
    }
    try {
      FreeApplication();
    } catch (...) {
    }
  }
  std::unique_ptr<std::string> error(gStartupError);
  gStartupError = nullptr;
}

// The first call of each export registers the exit handler once more (see FinishAtExit).
template <typename TWrapper>
void RegisterExitHandlerOnFirstCall() noexcept {
  static bool registered = false;
  if (!registered) {
    registered = true;
    RegisterExitHandler();
  }
}

// A library-owned OLE string for the host, null for an empty text or when no memory is left.
BSTR HostText(const std::string& aText) noexcept {
  try {
    return Utf8ToBstr(aText);
  } catch (...) {
    return nullptr;
  }
}

// Runs one export with the wrapper class TWrapper: aStore hands the wrapper's results to the host's out
// variables (and may build a reply). Answers the result code and leaves the error text in aErrorText.
template <typename TWrapper, typename TStore>
std::int32_t RunExport(const char16_t* aRequest, BSTR* aErrorText, TStore&& aStore) noexcept {
  std::int32_t result = -1;
  std::string errorText;
  try {
    if (gStartupError != nullptr) {
      errorText = *gStartupError;
    } else {
      TWrapper wrapper;
      try {
        wrapper.Process(BstrToUtf8(aRequest));
        aStore(wrapper);
        result = wrapper.GetResultCode();
        errorText = wrapper.ErrorText();
      } catch (const std::exception& e) {
        errorText = wrapper.Error() ? wrapper.ErrorText() : std::string(e.what());
      } catch (...) {
        errorText = wrapper.Error() ? wrapper.ErrorText() : std::string("Unknown error");
      }
    }
  } catch (const std::exception& e) {
    errorText = e.what();
  } catch (...) {
    errorText = "Unknown error";
  }
  if (result != 0 && errorText.empty()) errorText = "Unknown error";
  *aErrorText = result == 0 ? nullptr : HostText(errorText);
  RegisterExitHandlerOnFirstCall<TWrapper>();
  return result;
}

}  // namespace

QZ_EXPORT std::int32_t OPEN(BSTR aRequest, std::int32_t* aHandle, BSTR* aErrorText) {
  if (aHandle == nullptr || aErrorText == nullptr) return -1;
  *aErrorText = nullptr;
  std::int32_t handle = 0;
  std::int32_t result = RunExport<kFiscalProcessorWrapper_OPEN>(
      aRequest, aErrorText,
      [&handle](const kFiscalProcessorWrapper_OPEN& aWrapper) { handle = aWrapper.Handle(); });
  // A failed OPEN reports no handle, even when a processor was created before its Open failed.
  *aHandle = result == 0 ? handle : 0;
  return result;
}

QZ_EXPORT std::int32_t PROCESSRECEIPT(BSTR aRequest, BSTR* aOutput, BSTR* aErrorText) {
  if (aOutput == nullptr || aErrorText == nullptr) return -1;
  *aOutput = nullptr;
  *aErrorText = nullptr;
  return RunExport<kFiscalProcessorWrapper_PROCESSRECEIPT>(
      aRequest, aErrorText, [aOutput](const kFiscalProcessorWrapper_PROCESSRECEIPT& aWrapper) {
        *aOutput = HostText(aWrapper.Output());
      });
}

QZ_EXPORT std::int32_t PROCESSZREPORT(BSTR aRequest, BSTR* aOutput, BSTR* aErrorText) {
  if (aOutput == nullptr || aErrorText == nullptr) return -1;
  *aOutput = nullptr;
  *aErrorText = nullptr;
  return RunExport<kFiscalProcessorWrapper_PROCESSZREPORT>(
      aRequest, aErrorText, [aOutput](const kFiscalProcessorWrapper_PROCESSZREPORT& aWrapper) {
        *aOutput = HostText(BuildReportReply("ZReport", aWrapper));
      });
}

QZ_EXPORT std::int32_t PROCESSXREPORT(BSTR aRequest, BSTR* aOutput, BSTR* aErrorText) {
  if (aOutput == nullptr || aErrorText == nullptr) return -1;
  *aOutput = nullptr;
  *aErrorText = nullptr;
  return RunExport<kFiscalProcessorWrapper_PROCESSXREPORT>(
      aRequest, aErrorText, [aOutput](const kFiscalProcessorWrapper_PROCESSXREPORT& aWrapper) {
        *aOutput = HostText(BuildReportReply("XReport", aWrapper));
      });
}

QZ_EXPORT std::int32_t PROCESSGETSTATUS(BSTR aRequest, BSTR* aOutput, BSTR* aErrorText) {
  if (aOutput == nullptr || aErrorText == nullptr) return -1;
  *aOutput = nullptr;
  *aErrorText = nullptr;
  return RunExport<kFiscalProcessorWrapper_GETSTATUS>(
      aRequest, aErrorText, [aOutput](const kFiscalProcessorWrapper_GETSTATUS& aWrapper) {
        *aOutput = HostText(BuildStatusReply(aWrapper));
      });
}
