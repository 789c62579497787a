// The VAT, department and economic-activity tables: their readers from a request and their lookups.
//
// A request carries at most a "VATTable" or a "DeptTable"; every child element of the table is one row,
// whatever its name. The economic activities have no element of their own: they are the distinct activity
// codes of the department rows, numbered from 1 in order of first appearance.

#include <limits>
#include <memory>
#include <string>
#include <unordered_set>

#include "documents/krptUtil.h"
#include "documents/uQzReceipt.h"
#include "platform/QzError.h"
#include "platform/Text.h"

namespace {

template <typename TTable>
auto FindByCode(const TTable& aTable, const std::string& aCode) -> decltype(aTable.front().get()) {
  for (const auto& entry : aTable) {
    if (entry->Code() == aCode) return entry.get();
  }
  return nullptr;
}

template <typename TTable>
auto FindByIndex(const TTable& aTable, std::int32_t aIndex) -> decltype(aTable.front().get()) {
  for (const auto& entry : aTable) {
    if (entry->Index() == aIndex) return entry.get();
  }
  return nullptr;
}

}  // namespace

// --- VAT ---

kVat* kVatTable::Get(const std::string& aCode) const { return FindByCode(*this, aCode); }

kVat* kVatTable::GetByIndex(std::int32_t aIndex) const { return FindByIndex(*this, aIndex); }

std::int32_t kVatTable::GetFirstAvailableIndex() const {
  // A zero rate is an unused slot of the device: it does not hold its index.
  std::int32_t highest = 0;
  for (const auto& vat : *this) {
    if (!vat->Rate().IsZero() && vat->Index() > highest) highest = vat->Index();
  }
  // A device never has that many slots; saturate rather than wrap.
  return highest == std::numeric_limits<std::int32_t>::max() ? highest : highest + 1;
}

void kVatTable::Deserialize(const pugi::xml_document& aXmlDocument) {
  krptUtil::ForEachChildElement(krptUtil::GetDocumentNode(aXmlDocument, "VATTable"),
                                [this](const pugi::xml_node& aRow) {
                                  auto vat = std::make_unique<kVat>();
                                  vat->SetCode(krptUtil::GetNodeValueAsString(aRow, "Code"));
                                  vat->SetDescription(krptUtil::GetNodeValueAsString(aRow, "Description"));
                                  vat->SetRate(krptUtil::GetNodeValueAsCurrency(aRow, "Rate"));
                                  push_back(std::move(vat));
                                });
}

// --- Departments ---

kDepartment* kDeptTable::Get(const std::string& aCode) const { return FindByCode(*this, aCode); }

kDepartment* kDeptTable::GetByIndex(std::int32_t aIndex) const { return FindByIndex(*this, aIndex); }

void kDeptTable::Deserialize(const pugi::xml_document& aXmlDocument) {
  krptUtil::ForEachChildElement(
      krptUtil::GetDocumentNode(aXmlDocument, "DeptTable"), [this](const pugi::xml_node& aRow) {
        auto department = std::make_unique<kDepartment>();
        department->SetCode(krptUtil::GetNodeValueAsString(aRow, "Code"));
        department->SetDescription(krptUtil::GetNodeValueAsString(aRow, "Description"));
        department->SetVATCode(krptUtil::GetNodeValueAsString(aRow, "VATCode"));
        // Only "service" makes a service department; anything else, nothing included, sells products.
        const std::string salesType = qztext::ToLowerAscii(krptUtil::GetNodeValueAsString(aRow, "SalesType"));
        department->SetSalesType(salesType == "service" ? st_Service : st_Product);
        department->SetEACode(krptUtil::GetNodeValueAsString(aRow, "EACode"));
        push_back(std::move(department));
      });
}

// --- Economic activities ---

kEconomicActivity* kEconomicActivityTable::Get(const std::string& aCode) const {
  return FindByCode(*this, aCode);
}

kEconomicActivity* kEconomicActivityTable::GetByIndex(std::int32_t aIndex) const {
  return FindByIndex(*this, aIndex);
}

void kEconomicActivityTable::Deserialize(const pugi::xml_document& aXmlDocument) {
  // The codes already held, so a large department table is read in one pass instead of a lookup per row.
  std::unordered_set<std::string> known;
  for (const auto& activity : *this) known.insert(activity->Code());

  krptUtil::ForEachChildElement(
      krptUtil::GetDocumentNode(aXmlDocument, "DeptTable"), [&](const pugi::xml_node& aRow) {
        const std::string code = krptUtil::GetNodeValueAsString(aRow, "EACode");
        // A code seen before keeps the description and mode of its first row.
        if (code.empty() || !known.insert(code).second) return;
        auto activity = std::make_unique<kEconomicActivity>();
        activity->SetIndex(static_cast<std::int32_t>(size()) + 1);
        activity->SetCode(code);
        activity->SetDescription(krptUtil::GetNodeValueAsString(aRow, "EADescription"));
        activity->SetVentilazione(krptUtil::GetNodeValueAsString(aRow, "EAVATMode") == "1");
        push_back(std::move(activity));
      });
}
