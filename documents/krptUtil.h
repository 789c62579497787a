#pragma once
// krptUtil: the reading contract of every XML format of the system. Documents are element-only: each value
// is the text of a child element looked up by exact name under its parent. These class-level readers take
// typed values out of such elements, AddNode appends one, NormalizeText makes free text printable on a
// plain-ASCII fiscal printer, and the Decode/Encode pairs give each enumeration its fixed word.
//
// Readers never treat a missing element as an error (it gives the empty text, 0 or the stated default);
// a value that does not convert raises QzError with two lines: "Error in processing node <name> as
// <type>.\r\n" followed by the conversion's own message.

#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "documents/qzReceiptEnums.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

class krptUtil {
 public:
  krptUtil() = delete;

  // --- Element readers. aNodeName matches exactly, letter case included; the first such child is used. ---

  // Missing child: empty text. A child whose content is not a single text node fails.
  static std::string GetNodeValueAsString(const pugi::xml_node& aParentNode, const std::string& aNodeName);
  // Missing child: aDefaultValue. "True"/"False" in any case, or a number (0 is False, others True).
  static bool GetNodeValueAsBoolean(const pugi::xml_node& aParentNode, const std::string& aNodeName,
                                    bool aDefaultValue);
  // Missing or empty child: 0. "." decimal separator, "," grouping.
  static Currency GetNodeValueAsCurrency(const pugi::xml_node& aParentNode, const std::string& aNodeName);
  // Missing or empty child: 0. A signed 32-bit whole number.
  static std::int32_t GetNodeValueAsInteger(const pugi::xml_node& aParentNode, const std::string& aNodeName);
  // Missing child: the zero date-time. yyyy-mm-ddThh:nn:ss[.zzz]; an empty text fails.
  static DateTime GetNodeValueAsDateTime(const pugi::xml_node& aParentNode, const std::string& aNodeName);
  // As GetNodeValueAsDateTime, but every failure gives the zero date-time.
  static DateTime TryGetNodeValueAsDateTime(const pugi::xml_node& aParentNode, const std::string& aNodeName);
  // The attribute's value, empty when absent.
  static std::string GetAttributeValueAsString(const pugi::xml_node& aNode, const std::string& aAttrName);
  static bool HasNode(const pugi::xml_node& aParentNode, const std::string& aNodeName);

  // The element's single text (comments and processing instructions are not content); anything else
  // raises "Element "<name>" does not contain a single text node".
  static std::string GetElementText(const pugi::xml_node& aElement);
  // The first child of the request root named aName (a document of the request); raises
  // "<aName> node not found" when there is none.
  static pugi::xml_node GetDocumentNode(const pugi::xml_document& aXmlDocument, const char* aName);
  // aVisit for every child element of aParent, in document order; text and comments between them are
  // skipped. A loop, not a recursion: the depth of a hostile document costs nothing here.
  template <typename TVisit>
  static void ForEachChildElement(const pugi::xml_node& aParent, TVisit aVisit) {
    for (pugi::xml_node child = aParent.first_child(); child; child = child.next_sibling()) {
      if (child.type() == pugi::node_element) aVisit(child);
    }
  }

  // Appends <aNodeName>aNodeValue</aNodeName> as the last child of aParentNode and returns it.
  static pugi::xml_node AddNode(pugi::xml_node aParentNode, const std::string& aNodeName,
                                const std::string& aNodeValue);

  // Ten accented capitals and the euro sign become plain capitals, "TOTALE" becomes "TOT.", and every
  // other character outside 32..127 becomes one blank (one per UTF-16 unit).
  static std::string NormalizeText(const std::string& aText);

  // --- Enumeration words. Decoders lower-case the whole text (no trimming) and match it exactly; a word
  // that is no member raises "<Enumeration> %s is invalid" with the lowered text. Encoders give the
  // written form, or the empty text for a value outside the enumeration. ---

  static qzReceiptLineType DecodeLineType(const std::string& aLineType);
  static std::string EncodeLineType(qzReceiptLineType aValue);

  static qzReceiptPaymentType DecodePaymentType(const std::string& aPaymentType);
  static std::string EncodePaymentType(qzReceiptPaymentType aValue);

  static qzReceiptType DecodeReceiptType(const std::string& aReceiptType);
  static std::string EncodeReceiptType(qzReceiptType aValue);

  // Never fails: every unknown text, the empty text included, is rrt_OriginalReceipt.
  static qzReceiptReferenceType DecodeReferenceType(const std::string& aReferenceType);
  static std::string EncodeReferenceType(qzReceiptReferenceType aValue);

  static qzReceiptTaxType DecodeTaxType(const std::string& aTaxType);
  static std::string EncodeTaxType(qzReceiptTaxType aValue);

  // la_none has no word: "none" and the empty text fail; encoding la_none gives the empty text.
  static qzReceiptMessageLineAlignment DecodeAlignment(const std::string& aAlignment);
  static std::string EncodeAlignment(qzReceiptMessageLineAlignment aValue);

  static qzReceiptMessageBarcodeType DecodeBarcodeType(const std::string& aBarcodeType);
  static std::string EncodeBarcodeType(qzReceiptMessageBarcodeType aValue);

  static qzReceiptMessageLineEffect DecodeEffect(const std::string& aEffect);
  static std::string EncodeEffect(qzReceiptMessageLineEffect aValue);
  // Comma list; reading stops at the first empty piece; pieces are not trimmed.
  static qzReceiptMessageLineEffectSet DecodeEffects(const std::string& aEffects);
  // Members in ordinal order joined by ",".
  static std::string EncodeEffects(qzReceiptMessageLineEffectSet aEffects);

  static qzReceiptMessageImageSource DecodeImageSource(const std::string& aSource);
  static std::string EncodeImageSource(qzReceiptMessageImageSource aValue);

  static qzEJReportType DecodeEJReportType(const std::string& aReportType);
  static qzEJReportDestination DecodeEJReportDestination(const std::string& aReportDestination);
  // Fails with "ReferenceType %s is invalid" (the word this request has always used).
  static qzEJFilesRequestType DecodeEJRequestType(const std::string& aReferenceType);
  // Never fails: "product" is rla_Product, every other text rla_Service.
  static qzReceiptLineAttribute DecodeLineAttribute(const std::string& aAttribute);
};
