#include "documents/krptUtil.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/QzError.h"
#include "platform/Text.h"
#include "support/uQZ_Base.h"

namespace {

// --- Element text ---

// The value of an element's single text content. Whitespace-only content that the parser dropped leaves
// no child at all, which reads as the empty text; anything else (child elements, mixed content) has no
// single text and is refused rather than silently flattened. Comments and processing instructions, when
// the document kept them, are not content. The text is a view into the document.
std::string_view ElementText(const pugi::xml_node& aElement) {
  pugi::xml_node text;
  for (pugi::xml_node child = aElement.first_child(); child; child = child.next_sibling()) {
    const pugi::xml_node_type type = child.type();
    if (type == pugi::node_comment || type == pugi::node_pi) continue;
    if ((type != pugi::node_pcdata && type != pugi::node_cdata) || text) {
      throw QzError("Element \"" + std::string(aElement.name()) + "\" does not contain a single text node");
    }
    text = child;
  }
  return text ? std::string_view(text.value()) : std::string_view();
}

pugi::xml_node FindChild(const pugi::xml_node& aParentNode, const std::string& aNodeName) {
  // pugixml's child() compares names exactly, letter case included, and answers the first in document
  // order.
  return aParentNode.child(aNodeName.c_str());
}

[[noreturn]] void RaiseNodeError(const std::string& aNodeName, const char* aKind, const std::string& aCause) {
  throw QzError("Error in processing node " + aNodeName + " as " + aKind + ".\r\n" + aCause);
}

// Runs one conversion of an element's text and words any failure as the reader of aKind does.
template <typename TConvert>
auto ReadWrapped(const pugi::xml_node& aElement, const std::string& aNodeName, const char* aKind,
                 TConvert aConvert) {
  try {
    return aConvert(ElementText(aElement));
  } catch (const QzError& e) {
    RaiseNodeError(aNodeName, aKind, e.what());
  }
}

// --- Number texts ---

// Blanks around a number or a Boolean word are tolerated: hosts that indent their XML leave them there.
std::string_view TrimBlanks(std::string_view aText) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!aText.empty() && isBlank(aText.front())) aText.remove_prefix(1);
  while (!aText.empty() && isBlank(aText.back())) aText.remove_suffix(1);
  return aText;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "," is the thousands character, but only where thousands fall: 1,234.5 reads, 12,5 does not (a decimal
// comma must never turn 12,5 into 125).
bool HasWellFormedGrouping(std::string_view aText) {
  std::size_t start = (!aText.empty() && (aText[0] == '-' || aText[0] == '+')) ? 1 : 0;
  std::size_t end = start;
  while (end < aText.size() && (IsDigit(aText[end]) || aText[end] == ',')) ++end;
  const std::string_view whole = aText.substr(start, end - start);
  if (whole.find(',') == std::string_view::npos) return true;
  const std::size_t firstComma = whole.find(',');
  if (firstComma == 0 || firstComma > 3) return false;
  for (std::size_t i = firstComma; i < whole.size(); i += 4) {
    if (whole[i] != ',' || i + 4 > whole.size()) return false;
    for (std::size_t k = i + 1; k < i + 4; ++k)
      if (!IsDigit(whole[k])) return false;
  }
  return true;
}

Currency TextToCurrency(std::string_view aText) {
  const std::string_view text = TrimBlanks(aText);
  if (HasWellFormedGrouping(text)) {
    if (auto value = Currency::Parse(text, '.', ',')) return *value;
  }
  throw QzError("'" + std::string(aText) + "' is not a valid floating point value");
}

std::int32_t TextToInteger(std::string_view aText) {
  std::string_view text = TrimBlanks(aText);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw QzError("'" + std::string(aText) + "' is not a valid integer value");
  }
  return value;
}

bool TextToBoolean(std::string_view aText) {
  const std::string_view text = TrimBlanks(aText);
  if (qztext::EqualsIgnoreCaseAscii(text, "true")) return true;
  if (qztext::EqualsIgnoreCaseAscii(text, "false")) return false;
  if (!text.empty() &&
      (IsDigit(text.front()) || text.front() == '-' || text.front() == '+' || text.front() == '.')) {
    std::string_view number = text;
    if (number.front() == '+') number.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc() && end == number.data() + number.size()) return value != 0;
    // A number too large for a double is still not zero.
    if (error == std::errc::result_out_of_range && end == number.data() + number.size()) return true;
  }
  throw QzError("'" + std::string(aText) + "' is not a valid boolean value");
}

// --- Unicode lower-casing for the enumeration words ---

locale_t LowerCaseLocale() {
  static const locale_t locale = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l;
  }();
  return locale;
}

char32_t LowerCodePoint(char32_t aCode) {
  if (aCode < 0x80) return (aCode >= 'A' && aCode <= 'Z') ? aCode + ('a' - 'A') : aCode;
  const locale_t locale = LowerCaseLocale();
  if (locale == static_cast<locale_t>(nullptr)) return aCode;
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(aCode), locale));
}

std::string UnicodeLowerCase(const std::string& aText) {
  const bool ascii = std::all_of(aText.begin(), aText.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii) return qztext::ToLowerAscii(aText);
  const std::u16string units = qztext::Utf8ToUtf16(aText);
  std::u16string lowered;
  lowered.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                      units[i + 1] <= 0xDFFF;
    char32_t code = unit;
    if (pair) code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
    const char32_t lower = (unit >= 0xD800 && unit <= 0xDFFF && !pair) ? code : LowerCodePoint(code);
    if (lower >= 0x10000) {
      lowered += static_cast<char16_t>(0xD800 + ((lower - 0x10000) >> 10));
      lowered += static_cast<char16_t>(0xDC00 + ((lower - 0x10000) & 0x3FF));
    } else {
      lowered += static_cast<char16_t>(lower);
    }
    if (pair) ++i;
  }
  return qztext::Utf16ToUtf8(lowered);
}

// --- Word tables ---

template <typename TEnum>
struct WordRow {
  TEnum Member;
  const char* Read;     // lower-case form the decoder accepts
  const char* Written;  // form the encoder gives
};

template <typename TEnum, std::size_t N>
TEnum DecodeWord(const std::array<WordRow<TEnum>, N>& aTable, const std::string& aText,
                 const char* aMessagePrefix) {
  const std::string lowered = UnicodeLowerCase(aText);
  for (const auto& row : aTable) {
    if (row.Read != nullptr && lowered == row.Read) return row.Member;
  }
  throw QzError(std::string(aMessagePrefix) + " " + lowered + " is invalid");
}

template <typename TEnum, std::size_t N>
std::string EncodeWord(const std::array<WordRow<TEnum>, N>& aTable, TEnum aValue) {
  for (const auto& row : aTable) {
    if (row.Member == aValue) return row.Written;
  }
  return std::string();
}

constexpr std::array<WordRow<qzReceiptLineType>, 18> kLineTypes{{
    {rlt_ProductSale, "productsale", "productsale"},
    {rlt_ProductReturn, "productreturn", "productreturn"},
    {rlt_WeightedProductSale, "weightedproductsale", "weightedproductsale"},
    {rlt_VoucherSale, "vouchersale", "vouchersale"},
    {rlt_VoucherRedeem, "voucherredeem", "voucherredeem"},
    {rlt_GiftCardSale, "giftcardsale", "giftcardsale"},
    {rlt_GiftCardRedeem, "giftcardredeem", "giftcardredeem"},
    {rlt_SubTotal, "subtotal", "subtotal"},
    {rlt_Text, "text", "text"},
    {rlt_DiscountAmount, "discountamount", "discountamount"},
    {rlt_DiscountPercentage, "discountpercentage", "discountpercentage"},
    {rlt_DiscountAmountOnSubtotal, "discountamountonsubtotal", "discountamountonsubtotal"},
    {rlt_DiscountPercentageOnSubTotal, "discountpercentageonsubtotal", "discountpercentageonsubtotal"},
    {rlt_MarkupAmount, "markupamount", "markupamount"},
    {rlt_MarkupPercentage, "markuppercentage", "markuppercentage"},
    {rlt_MarkupAmountOnSubtotal, "markupamountonsubtotal", "markupamountonsubtotal"},
    {rlt_MarkupPercentageOnSubTotal, "markuppercentageonsubtotal", "markuppercentageonsubtotal"},
    {rlt_CollectAmount, "collectamount", "collectamount"},
}};

constexpr std::array<WordRow<qzReceiptPaymentType>, 12> kPaymentTypes{{
    {rpt_Cash, "cash", "cash"},
    {rpt_Cheque, "cheque", "cheque"},
    {rpt_CreditCard, "creditcard", "creditcard"},
    {rpt_DebitCard, "debitcard", "debitcard"},
    {rpt_Credit, "credit", "credit"},
    {rpt_CreditOnProducts, "creditonproducts", "creditonproducts"},
    {rpt_CreditOnServices, "creditonservices", "creditonservices"},
    {Rpt_GiftCard, "giftcard", "giftcard"},
    {Rpt_Voucher, "voucher", "voucher"},
    {Rpt_MealVoucher, "mealvoucher", "mealvoucher"},
    {Rpt_NHSCard, "nhscard", "nhscard"},
    {Rpt_Change, "change", "change"},
}};

constexpr std::array<WordRow<qzReceiptType>, 5> kReceiptTypes{{
    {rt_Sale, "sale", "Sale"},
    {rt_Refund, "refund", "Refund"},
    {rt_Void, "void", "Void"},
    {rt_InvoiceSale, "invoicesale", "InvoiceSale"},
    {rt_InvoiceSaleFromReceipt, "invoicesalefromreceipt", "InvoiceSaleFromReceipt"},
}};

// rrt_OriginalReceipt is what every unknown word means, so it has no word of its own to read.
constexpr std::array<WordRow<qzReceiptReferenceType>, 4> kReferenceTypes{{
    {rrt_OriginalReceipt, nullptr, "OriginalReceipt"},
    {rrt_EFTReceipt, "eftreceipt", "EFTReceipt"},
    {rrt_NotAvailable, "notavailable", "NotAvailable"},
    {rrt_Empties, "empties", "Empties"},
}};

constexpr std::array<WordRow<qzReceiptTaxType>, 2> kTaxTypes{{
    {tt_VAT, "vat", "VAT"},
    {tt_SalesTax, "salestax", "SalesTax"},
}};

// la_none is never read: a message line must say where it goes.
constexpr std::array<WordRow<qzReceiptMessageLineAlignment>, 4> kAlignments{{
    {la_none, nullptr, ""},
    {la_right, "right", "right"},
    {la_center, "center", "center"},
    {la_left, "left", "left"},
}};

constexpr std::array<WordRow<qzReceiptMessageBarcodeType>, 8> kBarcodeTypes{{
    {bt_EAN13, "ean13", "ean13"},
    {bt_EAN8, "ean8", "ean8"},
    {bt_CODE39, "code39", "code39"},
    {bt_CODE128, "code128", "code128"},
    {bt_QRCODE, "qrcode", "qrcode"},
    {bt_UPCA, "upca", "upca"},
    {bt_UPCE, "upce", "upce"},
    {bt_Interleaved2Of5, "interleaved2of5", "interleaved2of5"},
}};

constexpr std::array<WordRow<qzReceiptMessageLineEffect>, 8> kEffects{{
    {le_bold, "bold", "bold"},
    {le_italic, "italic", "italic"},
    {le_underline, "underline", "underline"},
    {le_doubleheight, "doubleheight", "doubleheight"},
    {le_doublewidth, "doublewidth", "doublewidth"},
    {le_doublesize, "doublesize", "doublesize"},
    {le_invertcolors, "invertcolors", "invertcolors"},
    {le_condensed, "condensed", "condensed"},
}};

constexpr std::array<WordRow<qzReceiptMessageImageSource>, 2> kImageSources{{
    {is_Resource, "resource", "resource"},
    {is_FileSystem, "filesystem", "filesystem"},
}};

constexpr std::array<WordRow<qzEJReportType>, 5> kEJReportTypes{{
    {ejrt_ZReport, "zreport", ""},
    {ejrt_FiscalReceipt, "fiscalreceipt", ""},
    {ejrt_NonFiscalReceipt, "nonfiscalreceipt", ""},
    {ejrt_CreditNote, "creditnote", ""},
    {ejrt_Invoice, "invoice", ""},
}};

constexpr std::array<WordRow<qzEJReportDestination>, 2> kEJReportDestinations{{
    {rd_Printer, "printer", ""},
    {rd_Memory, "memory", ""},
}};

constexpr std::array<WordRow<qzEJFilesRequestType>, 1> kEJRequestTypes{{
    {ej_xml, "xml", ""},
}};

// --- NormalizeText ---

char16_t PlainCapital(char16_t aUnit) {
  switch (aUnit) {
    case u'\u00C0':
      return u'A';
    case u'\u00D9':
      return u'U';
    case u'\u00C8':
    case u'\u00C9':
    case u'\u20AC':
      return u'E';
    case u'\u00D2':
    case u'\u00D6':
      return u'O';
    case u'\u00C7':
      return u'C';
    case u'\u00CF':
    case u'\u00CC':
      return u'I';
    default:
      return aUnit;
  }
}

void ReplaceAll(std::u16string& aText, std::u16string_view aFrom, std::u16string_view aTo) {
  std::u16string result;
  result.reserve(aText.size());
  std::size_t pos = 0;
  for (std::size_t hit = aText.find(aFrom); hit != std::u16string::npos; hit = aText.find(aFrom, pos)) {
    result.append(aText, pos, hit - pos);
    result.append(aTo);
    pos = hit + aFrom.size();
  }
  result.append(aText, pos, std::u16string::npos);
  aText = std::move(result);
}

}  // namespace

// --- Element readers ---

std::string krptUtil::GetNodeValueAsString(const pugi::xml_node& aParentNode, const std::string& aNodeName) {
  const pugi::xml_node child = FindChild(aParentNode, aNodeName);
  if (!child) return std::string();
  return ReadWrapped(child, aNodeName, "string", [](std::string_view aText) { return std::string(aText); });
}

std::string krptUtil::GetElementText(const pugi::xml_node& aElement) {
  return std::string(ElementText(aElement));
}

pugi::xml_node krptUtil::GetDocumentNode(const pugi::xml_document& aXmlDocument, const char* aName) {
  const pugi::xml_node node = aXmlDocument.document_element().child(aName);
  if (!node) throw QzError(std::string(aName) + " node not found");
  return node;
}

bool krptUtil::GetNodeValueAsBoolean(const pugi::xml_node& aParentNode, const std::string& aNodeName,
                                     bool aDefaultValue) {
  const pugi::xml_node child = FindChild(aParentNode, aNodeName);
  if (!child) return aDefaultValue;
  return ReadWrapped(child, aNodeName, "boolean", TextToBoolean);
}

Currency krptUtil::GetNodeValueAsCurrency(const pugi::xml_node& aParentNode, const std::string& aNodeName) {
  const pugi::xml_node child = FindChild(aParentNode, aNodeName);
  if (!child) return Currency();
  return ReadWrapped(child, aNodeName, "currency", [](std::string_view aText) {
    return aText.empty() ? Currency() : TextToCurrency(aText);
  });
}

std::int32_t krptUtil::GetNodeValueAsInteger(const pugi::xml_node& aParentNode,
                                             const std::string& aNodeName) {
  const pugi::xml_node child = FindChild(aParentNode, aNodeName);
  if (!child) return 0;
  return ReadWrapped(child, aNodeName, "integer", [](std::string_view aText) {
    return aText.empty() ? std::int32_t{0} : TextToInteger(aText);
  });
}

DateTime krptUtil::GetNodeValueAsDateTime(const pugi::xml_node& aParentNode, const std::string& aNodeName) {
  const pugi::xml_node child = FindChild(aParentNode, aNodeName);
  if (!child) return DateTime();
  return ReadWrapped(child, aNodeName, "datetime",
                     [](std::string_view aText) { return XmlToDateTime(std::string(aText)); });
}

DateTime krptUtil::TryGetNodeValueAsDateTime(const pugi::xml_node& aParentNode,
                                             const std::string& aNodeName) {
  try {
    return GetNodeValueAsDateTime(aParentNode, aNodeName);
  } catch (const QzError&) {
    return DateTime();
  }
}

std::string krptUtil::GetAttributeValueAsString(const pugi::xml_node& aNode, const std::string& aAttrName) {
  return aNode.attribute(aAttrName.c_str()).value();
}

bool krptUtil::HasNode(const pugi::xml_node& aParentNode, const std::string& aNodeName) {
  return static_cast<bool>(FindChild(aParentNode, aNodeName));
}

pugi::xml_node krptUtil::AddNode(pugi::xml_node aParentNode, const std::string& aNodeName,
                                 const std::string& aNodeValue) {
  pugi::xml_node node = aParentNode.append_child(aNodeName.c_str());
  // pugixml answers a null node instead of failing; a value must never vanish unnoticed.
  if (!node) throw QzError("Unable to add node " + aNodeName);
  // An empty value stays an empty element (<Name/>), not an element holding an empty text.
  if (!aNodeValue.empty()) node.text().set(aNodeValue.c_str());
  return node;
}

std::string krptUtil::NormalizeText(const std::string& aText) {
  std::u16string units = qztext::Utf8ToUtf16(aText);
  for (char16_t& unit : units) unit = PlainCapital(unit);
  ReplaceAll(units, u"TOTALE", u"TOT.");
  for (char16_t& unit : units) {
    if (unit < 32 || unit > 127) unit = u' ';
  }
  return qztext::Utf16ToUtf8(units);
}

// --- Enumeration words ---

qzReceiptLineType krptUtil::DecodeLineType(const std::string& aLineType) {
  return DecodeWord(kLineTypes, aLineType, "LineType");
}
std::string krptUtil::EncodeLineType(qzReceiptLineType aValue) { return EncodeWord(kLineTypes, aValue); }

qzReceiptPaymentType krptUtil::DecodePaymentType(const std::string& aPaymentType) {
  return DecodeWord(kPaymentTypes, aPaymentType, "PaymentType");
}
std::string krptUtil::EncodePaymentType(qzReceiptPaymentType aValue) {
  return EncodeWord(kPaymentTypes, aValue);
}

qzReceiptType krptUtil::DecodeReceiptType(const std::string& aReceiptType) {
  return DecodeWord(kReceiptTypes, aReceiptType, "ReceiptType");
}
std::string krptUtil::EncodeReceiptType(qzReceiptType aValue) { return EncodeWord(kReceiptTypes, aValue); }

qzReceiptReferenceType krptUtil::DecodeReferenceType(const std::string& aReferenceType) {
  const std::string lowered = UnicodeLowerCase(aReferenceType);
  for (const auto& row : kReferenceTypes) {
    if (row.Read != nullptr && lowered == row.Read) return row.Member;
  }
  return rrt_OriginalReceipt;
}
std::string krptUtil::EncodeReferenceType(qzReceiptReferenceType aValue) {
  return EncodeWord(kReferenceTypes, aValue);
}

qzReceiptTaxType krptUtil::DecodeTaxType(const std::string& aTaxType) {
  return DecodeWord(kTaxTypes, aTaxType, "TaxType");
}
std::string krptUtil::EncodeTaxType(qzReceiptTaxType aValue) { return EncodeWord(kTaxTypes, aValue); }

qzReceiptMessageLineAlignment krptUtil::DecodeAlignment(const std::string& aAlignment) {
  return DecodeWord(kAlignments, aAlignment, "Alignment");
}
std::string krptUtil::EncodeAlignment(qzReceiptMessageLineAlignment aValue) {
  return EncodeWord(kAlignments, aValue);
}

qzReceiptMessageBarcodeType krptUtil::DecodeBarcodeType(const std::string& aBarcodeType) {
  return DecodeWord(kBarcodeTypes, aBarcodeType, "BarcodeType");
}
std::string krptUtil::EncodeBarcodeType(qzReceiptMessageBarcodeType aValue) {
  return EncodeWord(kBarcodeTypes, aValue);
}

qzReceiptMessageLineEffect krptUtil::DecodeEffect(const std::string& aEffect) {
  return DecodeWord(kEffects, aEffect, "Effect");
}
std::string krptUtil::EncodeEffect(qzReceiptMessageLineEffect aValue) { return EncodeWord(kEffects, aValue); }

qzReceiptMessageLineEffectSet krptUtil::DecodeEffects(const std::string& aEffects) {
  qzReceiptMessageLineEffectSet effects;
  // A list has at most one piece per comma plus one; the first empty piece ends it.
  const auto pieces = static_cast<int>(std::count(aEffects.begin(), aEffects.end(), ',')) + 1;
  for (int field = 1; field <= pieces; ++field) {
    const std::string piece = ExtractDelimitedField(aEffects, field, ',', false);
    if (piece.empty()) break;
    effects.Include(DecodeEffect(piece));
  }
  return effects;
}

std::string krptUtil::EncodeEffects(qzReceiptMessageLineEffectSet aEffects) {
  std::string text;
  for (const auto& row : kEffects) {
    if (!aEffects.Contains(row.Member)) continue;
    if (!text.empty()) text += ',';
    text += row.Written;
  }
  return text;
}

qzReceiptMessageImageSource krptUtil::DecodeImageSource(const std::string& aSource) {
  return DecodeWord(kImageSources, aSource, "Image Source");
}
std::string krptUtil::EncodeImageSource(qzReceiptMessageImageSource aValue) {
  return EncodeWord(kImageSources, aValue);
}

qzEJReportType krptUtil::DecodeEJReportType(const std::string& aReportType) {
  return DecodeWord(kEJReportTypes, aReportType, "ReportType");
}

qzEJReportDestination krptUtil::DecodeEJReportDestination(const std::string& aReportDestination) {
  return DecodeWord(kEJReportDestinations, aReportDestination, "ReportDestination");
}

qzEJFilesRequestType krptUtil::DecodeEJRequestType(const std::string& aReferenceType) {
  return DecodeWord(kEJRequestTypes, aReferenceType, "ReferenceType");
}

qzReceiptLineAttribute krptUtil::DecodeLineAttribute(const std::string& aAttribute) {
  return UnicodeLowerCase(aAttribute) == "product" ? rla_Product : rla_Service;
}
