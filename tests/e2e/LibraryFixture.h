#pragma once
// The built driver library as a point-of-sale host sees it: loaded with dlopen, texts passed as OLE strings
// made and freed by the library's own allocator, the five exports called by their plain names.
//
// One test program is one process: the library is loaded once (its start-up runs once) and its handles
// carry over from test to test. Every test therefore takes a fresh till serial and log id (NewTill), and
// a test that needs the state of a fresh load (handle numbering) calls Library::Reload().
//
// The environment is fixed before the first load: QZFP_DATA_ROOT and QZFP_APP_DIR point into a new
// temporary folder of this process, and LC_ALL is it_IT.UTF-8 so report texts come out Italian. A test
// program that wants other values sets them before the first Library::Get().

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace qze2e {

namespace fs = std::filesystem;

using Bstr = char16_t*;
using OpenFn = std::int32_t (*)(Bstr, std::int32_t*, Bstr*);
using ProcessFn = std::int32_t (*)(Bstr, Bstr*, Bstr*);

// The process-wide folders the library sees.
struct Folders {
  fs::path Root;
  fs::path DataRoot;  // QZFP_DATA_ROOT
  fs::path AppDir;    // QZFP_APP_DIR

  static const Folders& Get() {
    static const Folders folders = Make();
    return folders;
  }

 private:
  static Folders Make() {
    std::string pattern = (fs::temp_directory_path() / "qzfp-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    Folders f;
    f.Root = pattern;
    f.DataRoot = f.Root / "data";
    f.AppDir = f.Root / "app";
    fs::create_directories(f.DataRoot);
    fs::create_directories(f.AppDir);
    setenv("QZFP_DATA_ROOT", (f.DataRoot.string() + "/").c_str(), 0);
    setenv("QZFP_APP_DIR", (f.AppDir.string() + "/").c_str(), 0);
    setenv("LC_ALL", "it_IT.UTF-8", 0);
    return f;
  }
};

// The result of one export call, texts in UTF-8; the Null flags tell a null string from an empty one.
struct Reply {
  std::int32_t Result = 0;
  std::int32_t Handle = 0;  // OPEN only
  std::string Output;
  bool OutputNull = true;
  std::string Error;
  bool ErrorNull = true;
};

class Library {
 public:
  enum class Export { OPEN, PROCESSRECEIPT, PROCESSZREPORT, PROCESSXREPORT, PROCESSGETSTATUS };

  // The library of this process, loaded on first use.
  static Library& Get() {
    static Library library;
    return library;
  }

  // Unloads the library and loads it again: its start-up runs anew and handles start again at 1.
  void Reload() {
    Unload();
    Load();
  }
  // Unloads the library; a library that stays mapped (something pins it) fails the running test, since
  // a reload would then not start afresh.
  void Unload() {
    if (fHandle == nullptr) return;
    dlclose(fHandle);
    fHandle = nullptr;
    if (void* still = dlopen(QZ_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD)) {
      dlclose(still);
      ADD_FAILURE() << "dlclose left the library loaded";
    }
  }
  bool Loaded() const { return fHandle != nullptr; }
  void* Symbol(const char* aName) const { return dlsym(fHandle, aName); }

  // A library-owned OLE string holding aText (null for a null aText).
  Bstr MakeBstr(const std::string* aText) const {
    if (aText == nullptr) return nullptr;
    std::u16string units = qztext::Utf8ToUtf16(*aText);
    return fAlloc(units.data(), static_cast<std::uint32_t>(units.size()));
  }
  std::string ReadBstr(Bstr aText) const {
    if (aText == nullptr) return {};
    return qztext::Utf16ToUtf8(std::u16string_view(aText, fLen(aText)));
  }
  void FreeBstr(Bstr aText) const { fFree(aText); }

  Reply Open(const std::string& aRequest) { return CallOpen(&aRequest); }
  Reply Call(Export aExport, const std::string& aRequest) { return CallProcess(aExport, &aRequest); }

  // aRequest null passes a null string. The out strings are taken over and freed here.
  Reply CallOpen(const std::string* aRequest) {
    Bstr request = MakeBstr(aRequest);
    Reply reply;
    Bstr error = nullptr;
    reply.Result = fOpen(request, &reply.Handle, &error);
    TakeOver(error, reply.Error, reply.ErrorNull);
    FreeBstr(request);
    return reply;
  }
  Reply CallProcess(Export aExport, const std::string* aRequest) {
    Bstr request = MakeBstr(aRequest);
    Reply reply;
    Bstr output = nullptr;
    Bstr error = nullptr;
    reply.Result = Process(aExport)(request, &output, &error);
    TakeOver(output, reply.Output, reply.OutputNull);
    TakeOver(error, reply.Error, reply.ErrorNull);
    FreeBstr(request);
    return reply;
  }

  OpenFn OpenExport() const { return fOpen; }
  ProcessFn Process(Export aExport) const {
    switch (aExport) {
      case Export::PROCESSRECEIPT:
        return fReceipt;
      case Export::PROCESSZREPORT:
        return fZReport;
      case Export::PROCESSXREPORT:
        return fXReport;
      case Export::PROCESSGETSTATUS:
        return fStatus;
      case Export::OPEN:
        break;
    }
    throw std::logic_error("OPEN has its own signature");
  }

  ~Library() { Unload(); }

 private:
  Library() { Load(); }

  void Load() {
    Folders::Get();
    fHandle = dlopen(QZ_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (fHandle == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
    fOpen = Resolve<OpenFn>("OPEN");
    fReceipt = Resolve<ProcessFn>("PROCESSRECEIPT");
    fZReport = Resolve<ProcessFn>("PROCESSZREPORT");
    fXReport = Resolve<ProcessFn>("PROCESSXREPORT");
    fStatus = Resolve<ProcessFn>("PROCESSGETSTATUS");
    fAlloc = Resolve<Bstr (*)(const char16_t*, std::uint32_t)>("SysAllocStringLen");
    fFree = Resolve<void (*)(Bstr)>("SysFreeString");
    fLen = Resolve<std::uint32_t (*)(Bstr)>("SysStringLen");
  }

  template <class F>
  F Resolve(const char* aName) {
    void* symbol = dlsym(fHandle, aName);
    if (symbol == nullptr) throw std::runtime_error(std::string("missing export ") + aName);
    return reinterpret_cast<F>(symbol);
  }

  void TakeOver(Bstr aText, std::string& aOut, bool& aNull) const {
    aNull = aText == nullptr;
    aOut = ReadBstr(aText);
    FreeBstr(aText);
  }

  void* fHandle = nullptr;
  OpenFn fOpen = nullptr;
  ProcessFn fReceipt = nullptr;
  ProcessFn fZReport = nullptr;
  ProcessFn fXReport = nullptr;
  ProcessFn fStatus = nullptr;
  Bstr (*fAlloc)(const char16_t*, std::uint32_t) = nullptr;
  void (*fFree)(Bstr) = nullptr;
  std::uint32_t (*fLen)(Bstr) = nullptr;
};

// XML-escaped text for building requests.
inline std::string XmlEscape(const std::string& aText) {
  std::string out;
  for (char c : aText) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A request envelope as a host writes it. Extra parameters are appended after Processor and FPTillSerial;
// aBody goes after Parameters (a Receipt element, for example).
struct RequestParts {
  int Handle = 0;  // 0: no Handle element
  std::string Processor = "QZFP_VELMO_10";
  std::string TillSerial;
  std::string LogId;
  std::vector<std::pair<std::string, std::string>> Parameters;
  std::string Body;
  std::string Method = "OPEN";
};

inline std::string BuildRequest(const RequestParts& aParts) {
  std::ostringstream xml;
  xml << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      << "<ReceiptPrinterManager Version=\"1.0\">"
      << "<Type>FiscalPrinter</Type><Driver>QZFP_VELMO_10</Driver>"
      << "<Method>" << XmlEscape(aParts.Method) << "</Method>"
      << "<LogId>" << XmlEscape(aParts.LogId) << "</LogId>";
  if (aParts.Handle != 0) xml << "<Handle>" << aParts.Handle << "</Handle>";
  xml << "<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>5001</Port></Connection>"
      << "<Parameters><Processor>" << XmlEscape(aParts.Processor) << "</Processor>"
      << "<FPTillSerial>" << XmlEscape(aParts.TillSerial) << "</FPTillSerial>";
  for (const auto& [name, value] : aParts.Parameters)
    xml << "<" << name << ">" << XmlEscape(value) << "</" << name << ">";
  xml << "</Parameters>" << aParts.Body << "</ReceiptPrinterManager>";
  return xml.str();
}

// A till of its own for one test: a serial and a log id nobody else in this process uses.
struct Till {
  std::string Serial;
  std::string LogId;
  int Handle = 0;  // set by OpenTill

  std::string Request(const std::string& aMethod, std::string aBody = {}) const {
    RequestParts parts;
    parts.Handle = Handle;
    parts.TillSerial = Serial;
    parts.LogId = LogId;
    parts.Method = aMethod;
    parts.Body = std::move(aBody);
    return BuildRequest(parts);
  }
  std::string OpenRequest() const {
    RequestParts parts;
    parts.TillSerial = Serial;
    parts.LogId = LogId;
    return BuildRequest(parts);
  }

  fs::path Folder() const { return Folders::Get().DataRoot / Serial; }
  fs::path CountersFile() const { return Folder() / "counters.actual.fprc"; }
  fs::path PreviousCountersFile() const { return Folder() / "counters.previous.fprc"; }
  // The Processed folder of today, where the receipt journal files and the Z snapshots go.
  fs::path ProcessedToday() const { return Folder() / "Processed" / Today("%Y%m%d"); }
  // The connection log of the processors opened with this till's log id, as of today.
  fs::path LogFile() const {
    return Folders::Get().AppDir / "LogFiles" / "FiscalPrinter" /
           ("QZFP_VELMO_10_" + LogId + "_" + Today("%Y%m%d") + ".log");
  }

  static std::string Today(const char* aFormat) {
    time_t now = time(nullptr);
    struct tm parts {};
    localtime_r(&now, &parts);
    char text[64];
    strftime(text, sizeof text, aFormat, &parts);
    return text;
  }
};

inline Till NewTill(const std::string& aPrefix = "T") {
  static int counter = 0;
  ++counter;
  Till till;
  till.Serial = aPrefix + std::to_string(getpid() % 100000) + "_" + std::to_string(counter);
  till.LogId = "L" + std::to_string(counter);
  return till;
}

// Opens aTill through OPEN and stores its handle; fails the test when OPEN fails.
inline void OpenTill(Till& aTill) {
  Reply reply = Library::Get().Open(aTill.OpenRequest());
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  ASSERT_GT(reply.Handle, 0);
  aTill.Handle = reply.Handle;
}

inline std::string ReadFile(const fs::path& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The log lines are written by the log writer's own thread: wait (up to aTimeout) until the file holds
// aText, and answer the file's text either way.
inline std::string WaitForFileText(const fs::path& aPath, const std::string& aText,
                                   std::chrono::milliseconds aTimeout = std::chrono::seconds(5)) {
  auto deadline = std::chrono::steady_clock::now() + aTimeout;
  for (;;) {
    std::string text = ReadFile(aPath);
    if (text.find(aText) != std::string::npos || std::chrono::steady_clock::now() > deadline) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// The text of the first aElement of an XML text (no nesting, no attributes), or nullopt-like "<none>".
inline std::string ElementText(const std::string& aXml, const std::string& aElement) {
  std::string open = "<" + aElement + ">";
  std::string empty = "<" + aElement + "/>";
  std::size_t at = aXml.find(open);
  if (at == std::string::npos) return aXml.find(empty) != std::string::npos ? std::string() : "<none>";
  at += open.size();
  std::size_t end = aXml.find("</" + aElement + ">", at);
  return end == std::string::npos ? "<none>" : aXml.substr(at, end - at);
}

}  // namespace qze2e
