#pragma once
// Small builders for receipt tests: a request document around a receipt body, read into a kReceipt.

#include <gtest/gtest.h>

#include <memory>
#include <pugixml.hpp>
#include <string>

#include "documents/uQzReceipt.h"
#include "platform/Currency.h"

namespace receipt_test {

inline Currency C(const char* aText) { return *Currency::Parse(aText); }

inline std::unique_ptr<pugi::xml_document> ParseRequest(const std::string& aXml) {
  auto doc = std::make_unique<pugi::xml_document>();
  const pugi::xml_parse_result parsed = doc->load_string(aXml.c_str());
  EXPECT_TRUE(parsed) << parsed.description();
  return doc;
}

// A request whose receipt holds aBody inside <Receipt>.
inline std::string Request(const std::string& aBody) {
  return "<Request><Type>Receipt</Type><Receipt>" + aBody + "</Receipt></Request>";
}

// A sale receipt with the given lines, taxes and payments (element contents) and extra receipt children.
inline std::string SaleBody(const std::string& aLines, const std::string& aTaxes = "",
                            const std::string& aPayments = "", const std::string& aExtra = "") {
  return "<Type>sale</Type>" + aExtra + "<Lines>" + aLines + "</Lines><Taxes>" + aTaxes +
         "</Taxes><Payments>" + aPayments + "</Payments>";
}

inline void ReadInto(kReceipt& aReceipt, const std::string& aBody) {
  auto doc = ParseRequest(Request(aBody));
  aReceipt.Deserialize(*doc);
}

// The message the reading raised, or "" when it succeeded.
inline std::string ReadError(kReceipt& aReceipt, const std::string& aRequestXml) {
  auto doc = ParseRequest(aRequestXml);
  try {
    aReceipt.Deserialize(*doc);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

inline std::string Product(const char* aAmount, const char* aExtra = "") {
  return std::string("<ProductSale><Code>A</Code><Description>Item</Description><Quantity>1</Quantity>") +
         "<TaxCode>V22</TaxCode><Price>" + aAmount + "</Price><Amount>" + aAmount + "</Amount>" + aExtra +
         "</ProductSale>";
}

}  // namespace receipt_test
