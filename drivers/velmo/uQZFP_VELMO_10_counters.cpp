// The counters file of a till: reading, writing and the locked read-modify-write of a receipt or a Z.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <pugixml.hpp>
#include <sstream>

#include "documents/krptUtil.h"
#include "drivers/velmo/DurableFile.h"
#include "drivers/velmo/uQZFP_VELMO_10.h"
#include "platform/QzError.h"
#include "support/uQZ_Base.h"

namespace {

const char* const kRootName = "FPRCounters";
// Before Init there is no file to lock or write: a save then would land in the current folder.
const char* const kNotBound = "Counters file not set";

std::string XmlParseMessage(const pugi::xml_parse_result& aResult) {
  return std::string(aResult.description()) + " at offset " + std::to_string(aResult.offset);
}

void AddText(pugi::xml_node aParent, const char* aName, const std::string& aText) {
  aParent.append_child(aName).text().set(aText.c_str());
}

}  // namespace

struct kFiscalProcessorCounters::Values {
  DateTime CreatedAt;
  DateTime LastUpdatedAt;
  std::int32_t CurrentReceiptNo = 0;
  std::int32_t CurrentZReportNo = 0;
  Currency DailyTotal, DailySales, DailyRefunds, DailyVoids, DailyDiscounts;
  Currency GrandTotalTotal, GrandTotalSales, GrandTotalRefunds, GrandTotalVoids, GrandTotalDiscounts;
  bool TrainingMode = false;
};

kFiscalProcessorCounters::~kFiscalProcessorCounters() {
  if (fLockFd >= 0) ::close(fLockFd);
}

kFiscalProcessorCounters::Values kFiscalProcessorCounters::TakeValues() const {
  return Values{fCreatedAt,       fLastUpdatedAt,       fCurrentReceiptNo, fCurrentZReportNo,
                fDailyTotal,      fDailySales,          fDailyRefunds,     fDailyVoids,
                fDailyDiscounts,  fGrandTotalTotal,     fGrandTotalSales,  fGrandTotalRefunds,
                fGrandTotalVoids, fGrandTotalDiscounts, fTrainingMode};
}

void kFiscalProcessorCounters::RestoreValues(const Values& aValues) {
  fCreatedAt = aValues.CreatedAt;
  fLastUpdatedAt = aValues.LastUpdatedAt;
  fCurrentReceiptNo = aValues.CurrentReceiptNo;
  fCurrentZReportNo = aValues.CurrentZReportNo;
  fDailyTotal = aValues.DailyTotal;
  fDailySales = aValues.DailySales;
  fDailyRefunds = aValues.DailyRefunds;
  fDailyVoids = aValues.DailyVoids;
  fDailyDiscounts = aValues.DailyDiscounts;
  fGrandTotalTotal = aValues.GrandTotalTotal;
  fGrandTotalSales = aValues.GrandTotalSales;
  fGrandTotalRefunds = aValues.GrandTotalRefunds;
  fGrandTotalVoids = aValues.GrandTotalVoids;
  fGrandTotalDiscounts = aValues.GrandTotalDiscounts;
  fTrainingMode = aValues.TrainingMode;
}

void kFiscalProcessorCounters::Init(const std::string& aFileName, const std::string& aTillSerial) {
  fFileName = aFileName;
  fTillSerial = aTillSerial;
  if (std::filesystem::exists(fFileName)) {
    Refresh();
    return;
  }
  // Created under the lock, and only if no other process created it meanwhile: a blank file written over
  // a fresh one would lose the receipts already counted in it.
  if (!Lock()) throw QzError(fLockError);
  try {
    if (std::filesystem::exists(fFileName)) {
      Refresh();
    } else {
      const DateTime now = DateTime::Now();
      RestoreValues(Values{now, now, 0, 1, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, false});
      Save();
    }
  } catch (...) {
    Unlock();
    throw;
  }
  Unlock();
}

void kFiscalProcessorCounters::Refresh() {
  if (!std::filesystem::exists(fFileName)) return;
  const std::string content = velmofile::ReadWholeFile(fFileName);
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(content.data(), content.size());
  if (!parsed) throw QzError(XmlParseMessage(parsed));
  const pugi::xml_node root = document.document_element();
  if (!root) throw QzError("No document element found");

  // Everything is read before anything is assigned, so a bad element leaves the object as it was. The
  // stored TillSerial is not taken back: the object keeps the serial of its OPEN request.
  Values read;
  read.CreatedAt = krptUtil::GetNodeValueAsDateTime(root, "CreatedAt");
  read.LastUpdatedAt = krptUtil::GetNodeValueAsDateTime(root, "LastUpdatedAt");
  read.CurrentReceiptNo = krptUtil::GetNodeValueAsInteger(root, "CurrentReceiptNo");
  read.CurrentZReportNo = krptUtil::GetNodeValueAsInteger(root, "CurrentZReportNo");
  read.DailyTotal = krptUtil::GetNodeValueAsCurrency(root, "DailyTotal");
  read.DailySales = krptUtil::GetNodeValueAsCurrency(root, "DailySales");
  read.DailyRefunds = krptUtil::GetNodeValueAsCurrency(root, "DailyRefunds");
  read.DailyVoids = krptUtil::GetNodeValueAsCurrency(root, "DailyVoids");
  read.DailyDiscounts = krptUtil::GetNodeValueAsCurrency(root, "DailyDiscounts");
  read.GrandTotalTotal = krptUtil::GetNodeValueAsCurrency(root, "GrandTotalTotal");
  read.GrandTotalSales = krptUtil::GetNodeValueAsCurrency(root, "GrandTotalSales");
  read.GrandTotalRefunds = krptUtil::GetNodeValueAsCurrency(root, "GrandTotalRefunds");
  read.GrandTotalVoids = krptUtil::GetNodeValueAsCurrency(root, "GrandTotalVoids");
  read.GrandTotalDiscounts = krptUtil::GetNodeValueAsCurrency(root, "GrandTotalDiscounts");
  read.TrainingMode = krptUtil::GetNodeValueAsBoolean(root, "TrainingMode", false);
  RestoreValues(read);
}

std::string kFiscalProcessorCounters::ToXml(const DateTime& aSavedAt) const {
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = document.append_child(kRootName);
  AddText(root, "TillSerial", fTillSerial);
  AddText(root, "CreatedAt", DateTimeToXml(false, fCreatedAt));
  AddText(root, "LastUpdatedAt", DateTimeToXml(false, aSavedAt));
  AddText(root, "CurrentReceiptNo", std::to_string(fCurrentReceiptNo));
  AddText(root, "CurrentZReportNo", std::to_string(fCurrentZReportNo));
  AddText(root, "DailyTotal", CurrencyToXml(fDailyTotal));
  AddText(root, "DailySales", CurrencyToXml(fDailySales));
  AddText(root, "DailyRefunds", CurrencyToXml(fDailyRefunds));
  AddText(root, "DailyVoids", CurrencyToXml(fDailyVoids));
  AddText(root, "DailyDiscounts", CurrencyToXml(fDailyDiscounts));
  AddText(root, "GrandTotalTotal", CurrencyToXml(fGrandTotalTotal));
  AddText(root, "GrandTotalSales", CurrencyToXml(fGrandTotalSales));
  AddText(root, "GrandTotalRefunds", CurrencyToXml(fGrandTotalRefunds));
  AddText(root, "GrandTotalVoids", CurrencyToXml(fGrandTotalVoids));
  AddText(root, "GrandTotalDiscounts", CurrencyToXml(fGrandTotalDiscounts));
  AddText(root, "TrainingMode", BooleanToXml(fTrainingMode));

  std::ostringstream text;
  document.save(text, "", pugi::format_raw, pugi::encoding_utf8);
  return text.str();
}

void kFiscalProcessorCounters::Save() {
  if (fFileName.empty()) throw QzError(kNotBound);
  velmofile::WriteFileAtomically(fFileName, ToXml(DateTime::Now()));
}

bool kFiscalProcessorCounters::Lock() {
  if (fLockDepth > 0) {
    ++fLockDepth;
    return true;
  }
  if (fFileName.empty()) {
    fLockError = kNotBound;
    return false;
  }
  // The lock lives on a file of its own: the counters file is replaced by rename on every save, so a lock
  // on it would stay behind on the replaced file.
  const std::string lockPath = fFileName + ".lock";
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    fLockError = "Cannot lock counters file \"" + fFileName + "\": " + std::strerror(errno);
    return false;
  }
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    fLockError = "Cannot lock counters file \"" + fFileName + "\": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  fLockFd = fd;
  fLockDepth = 1;
  fLockError.clear();
  return true;
}

bool kFiscalProcessorCounters::Unlock() {
  if (fLockDepth == 0) return true;
  if (--fLockDepth == 0) {
    ::close(fLockFd);  // closing the last descriptor releases the flock
    fLockFd = -1;
  }
  return true;
}

template <typename Change>
bool kFiscalProcessorCounters::ChangeUnderLock(Change aChange) {
  // A lock that cannot be taken is raised, not answered false: a receipt the proxy has fiscalised must
  // never be reported counted when it was not.
  if (!Lock()) throw QzError(fLockError);
  const Values before = TakeValues();
  try {
    Refresh();
    aChange();
    Save();
  } catch (...) {
    RestoreValues(before);
    Unlock();
    throw;
  }
  Unlock();
  return true;
}

bool kFiscalProcessorCounters::Update(qzReceiptType aReceiptType, Currency aAmount) {
  return ChangeUnderLock([&] {
    ++fCurrentReceiptNo;
    switch (aReceiptType) {
      case rt_Sale:
        fDailySales += aAmount;
        fGrandTotalSales += aAmount;
        break;
      case rt_Refund:
        fDailyRefunds += aAmount;
        fGrandTotalRefunds += aAmount;
        break;
      case rt_Void:
        fDailyVoids += aAmount;
        fGrandTotalVoids += aAmount;
        break;
      default:  // invoices are only numbered
        break;
    }
    fDailyTotal = fDailySales - fDailyRefunds - fDailyVoids;
    fGrandTotalTotal = fGrandTotalSales - fGrandTotalRefunds - fGrandTotalVoids;
  });
}

bool kFiscalProcessorCounters::Z() {
  return ChangeUnderLock([&] {
    ++fCurrentZReportNo;
    fCurrentReceiptNo = 0;
    fDailyTotal = fDailySales = fDailyRefunds = fDailyVoids = fDailyDiscounts = Currency();
  });
}
