#include "tools/qzfp-host/HostLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "platform/Text.h"

namespace qzhost {

namespace {

using Bstr = char16_t*;
using AllocFn = Bstr (*)(const char16_t*, std::uint32_t);
using FreeFn = void (*)(Bstr);
using LenFn = std::uint32_t (*)(Bstr);
using OpenFn = std::int32_t (*)(Bstr, std::int32_t*, Bstr*);
using ProcessFn = std::int32_t (*)(Bstr, Bstr*, Bstr*);
using ConfirmCallback = int (*)(void*, const char*, const char*, unsigned, unsigned);
using SetCallbackFn = void (*)(ConfirmCallback, void*);

constexpr const char* kExports[] = {"OPEN", "PROCESSRECEIPT", "PROCESSZREPORT", "PROCESSXREPORT",
                                    "PROCESSGETSTATUS"};

const char* AnswerName(int aAnswer) {
  switch (aAnswer) {
    case 0:
      return "Yes";
    case 1:
      return "No";
    default:
      return "Cancel";
  }
}

// The callback answers what the command line chose; aUserData holds that answer.
int AnswerFromCommandLine(void* aUserData, const char* aTitle, const char* aMessage, unsigned, unsigned) {
  int answer = static_cast<int>(reinterpret_cast<std::intptr_t>(aUserData));
  std::printf("SMAC question \"%s\" / \"%s\": answered %s\n", aTitle, aMessage, AnswerName(answer));
  std::fflush(stdout);
  return answer;
}

}  // namespace

HostLibrary::HostLibrary(const std::string& aPath) {
  fHandle = dlopen(aPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (fHandle == nullptr) throw std::runtime_error(dlerror());
  for (const char* name : kExports) Symbol(name);
  for (const char* name : {"SysAllocStringLen", "SysFreeString", "SysStringLen"}) Symbol(name);
}

HostLibrary::~HostLibrary() {
  if (fHandle != nullptr) dlclose(fHandle);
}

void* HostLibrary::Symbol(const char* aName) {
  dlerror();
  void* symbol = dlsym(fHandle, aName);
  if (symbol == nullptr) {
    const char* error = dlerror();
    throw std::runtime_error(error != nullptr ? error : std::string("missing export ") + aName);
  }
  return symbol;
}

bool HostLibrary::IsExportName(const std::string& aName) {
  for (const char* name : kExports)
    if (aName == name) return true;
  return false;
}

CallResult HostLibrary::Call(const std::string& aName, const std::string& aRequest) {
  auto alloc = reinterpret_cast<AllocFn>(Symbol("SysAllocStringLen"));
  auto release = reinterpret_cast<FreeFn>(Symbol("SysFreeString"));
  auto length = reinterpret_cast<LenFn>(Symbol("SysStringLen"));
  auto take = [&](Bstr aText) {
    std::string text =
        aText == nullptr ? std::string() : qztext::Utf16ToUtf8(std::u16string_view(aText, length(aText)));
    release(aText);
    return text;
  };

  std::u16string wide = qztext::Utf8ToUtf16(aRequest);
  Bstr request = wide.empty() ? nullptr : alloc(wide.data(), static_cast<std::uint32_t>(wide.size()));
  CallResult result;
  Bstr error = nullptr;
  if (aName == "OPEN") {
    std::int32_t handle = 0;
    result.fResult = reinterpret_cast<OpenFn>(Symbol("OPEN"))(request, &handle, &error);
    result.fHandle = handle;
  } else {
    Bstr output = nullptr;
    result.fResult = reinterpret_cast<ProcessFn>(Symbol(aName.c_str()))(request, &output, &error);
    result.fOutput = take(output);
  }
  result.fError = take(error);
  release(request);
  return result;
}

void HostLibrary::SetSmacAnswer(SmacAnswer aAnswer) {
  auto set = reinterpret_cast<SetCallbackFn>(Symbol("QZFP_SetConfirmCallback"));
  switch (aAnswer) {
    case SmacAnswer::Helper:
      set(nullptr, nullptr);
      break;
    case SmacAnswer::Yes:
      set(&AnswerFromCommandLine, reinterpret_cast<void*>(std::intptr_t{0}));
      break;
    case SmacAnswer::No:
      set(&AnswerFromCommandLine, reinterpret_cast<void*>(std::intptr_t{1}));
      break;
    case SmacAnswer::Cancel:
      set(&AnswerFromCommandLine, reinterpret_cast<void*>(std::intptr_t{2}));
      break;
  }
}

std::string DefaultLibraryPath() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "QZFP_VELMO_10.so";
  std::filesystem::path folder = self.parent_path();
  std::filesystem::path beside = folder / "QZFP_VELMO_10.so";
  if (std::filesystem::exists(beside)) return beside.string();
  return (folder / ".." / ".." / "QZFP_VELMO_10.so").lexically_normal().string();
}

}  // namespace qzhost
