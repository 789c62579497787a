// The driver table, the processor table and the handle counter, and the lookup that binds a wrapper to its
// processor.

#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "io/uQZIOHandler.h"
#include "library/uQZFiscalProcessorWrapper.h"
#include "platform/QzError.h"

namespace {

struct ProcessorTables {
  std::map<std::string, kFiscalProcessorClass> Drivers;  // exact names, letter case included
  // Processors stay here from their creation until the library is unloaded, whether their Open succeeded
  // or not: a handle, once issued, always names the same object.
  std::map<std::int32_t, std::unique_ptr<kFiscalProcessor>> Processors;
  std::int32_t LastHandle = 0;
};

// The tables live from library start-up to unload, not from static initialisation to static destruction:
// the unload must end the processors' log threads before anything else of the library is torn down, so
// their lifetime is held by a plain pointer that only CreateProcessorTables and FreeProcessorTables touch.
ProcessorTables* gTables = nullptr;
// The host is expected to make one call at a time; the lock only keeps the tables themselves whole if it
// does not.
std::mutex gTablesLock;

}  // namespace

void CreateProcessorTables() {
  std::lock_guard<std::mutex> lock(gTablesLock);
  if (gTables == nullptr) gTables = std::make_unique<ProcessorTables>().release();
}

void FreeProcessorTables() {
  std::unique_ptr<ProcessorTables> tables;
  {
    std::lock_guard<std::mutex> lock(gTablesLock);
    tables.reset(std::exchange(gTables, nullptr));
  }
  // Destroyed outside the lock: each processor's I/O handler writes its stop banner and waits for its log
  // writer to drain.
  if (tables) {
    for (auto it = tables->Processors.rbegin(); it != tables->Processors.rend(); ++it) it->second.reset();
  }
}

void RegisterFiscalProcessorClass(const std::string& aName, kFiscalProcessorClass aClass) {
  std::lock_guard<std::mutex> lock(gTablesLock);
  if (gTables == nullptr) throw QzError("Fiscal Processor tables not created");
  if (aClass == nullptr) throw QzError("Fiscal Processor Driver [" + aName + "] has no class");
  if (!gTables->Drivers.emplace(aName, aClass).second) {
    throw QzError("Fiscal Processor Driver [" + aName + "] already registered.");
  }
}

void kFiscalProcessorWrapper::GetProcessor(bool aCreate) {
  const std::int32_t handle = fHandler->DeviceHandle();
  if (handle > 0) {
    kFiscalProcessor* processor = nullptr;
    {
      std::lock_guard<std::mutex> lock(gTablesLock);
      if (gTables != nullptr) {
        auto found = gTables->Processors.find(handle);
        if (found != gTables->Processors.end()) processor = found->second.get();
      }
    }
    if (processor == nullptr) throw QzError("Processor Handle not found");
    fProcessor = processor;
    // An error an earlier call left in the I/O handler must not count against this one.
    fProcessor->IOHandler().ResetCustomError();
  } else {
    if (!aCreate) throw QzError("Fiscal Processor has not previously opened");
    const std::string& driver = fHandler->Driver();
    kFiscalProcessorClass processorClass = nullptr;
    {
      std::lock_guard<std::mutex> lock(gTablesLock);
      if (gTables != nullptr) {
        auto found = gTables->Drivers.find(driver);
        if (found != gTables->Drivers.end()) processorClass = found->second;
      }
    }
    if (processorClass == nullptr) throw QzError("Fiscal Processor Driver [" + driver + "] not registered.");
    // Created outside the lock (it opens a log); a creation that raises issues no handle.
    std::unique_ptr<kFiscalProcessor> processor = processorClass(*fHandler);
    std::lock_guard<std::mutex> lock(gTablesLock);
    if (gTables == nullptr) throw QzError("Fiscal Processor Driver [" + driver + "] not registered.");
    // Handles are never reused, so the counter's end is the end of what this load can open.
    if (gTables->LastHandle == std::numeric_limits<std::int32_t>::max())
      throw QzError("No processor handle left");
    const std::int32_t newHandle = ++gTables->LastHandle;
    processor->SetHandle(newHandle);
    fProcessor = processor.get();
    gTables->Processors.emplace(newHandle, std::move(processor));
  }
  fLogFileName = fProcessor->IOHandler().GetLogFileName();
}
