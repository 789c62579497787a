// Reading the receipt a host sends inside its request. Values are element texts found by exact name; the
// order of reading fixes which failure is reported when several are present, and an item is appended to
// its list only once it has been read completely.

#include <algorithm>
#include <string>

#include "documents/krptUtil.h"
#include "documents/uQzReceipt.h"
#include "platform/QzError.h"

namespace {

using Util = krptUtil;

// A new line of class TLine owned by aOwner, filled by aRead before anyone else sees it.
template <typename TLine, typename TRead>
std::unique_ptr<kReceiptLine> MakeLine(kReceipt* aOwner, TRead aRead) {
  auto line = std::make_unique<TLine>(aOwner);
  aRead(*line);
  return line;
}

std::string Text(const pugi::xml_node& aParent, const char* aName) {
  return Util::GetNodeValueAsString(aParent, aName);
}
Currency Amount(const pugi::xml_node& aParent, const char* aName) {
  return Util::GetNodeValueAsCurrency(aParent, aName);
}
DateTime Date(const pugi::xml_node& aParent, const char* aName) {
  return Util::GetNodeValueAsDateTime(aParent, aName);
}
bool Flag(const pugi::xml_node& aParent, const char* aName, bool aDefault) {
  return Util::GetNodeValueAsBoolean(aParent, aName, aDefault);
}

}  // namespace

void kReceipt::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node receipt = Util::GetDocumentNode(aXmlDocument, "Receipt");

  ReadScalars(receipt);
  ReadReferences(receipt);
  Util::ForEachChildElement(receipt.child("Headers"), [&](const pugi::xml_node& aHeader) {
    fHeaders.push_back(Util::GetElementText(aHeader));
  });

  const pugi::xml_node lines = receipt.child("Lines");
  if (!lines) throw QzError("Unable to find Lines node ");
  ReadLines(lines);
  const pugi::xml_node taxes = receipt.child("Taxes");
  if (!taxes) throw QzError("Unable to find Taxes node ");
  ReadTaxes(taxes);
  const pugi::xml_node payments = receipt.child("Payments");
  if (!payments) throw QzError("Unable to find Payments node ");
  ReadPayments(payments);

  ReadMessageLines(receipt.child("TrailerMessages"), fTrailerMessages);
  ReadMessageLines(receipt.child("LeaderLines"), fLeaderLines);
}

void kReceipt::ReadScalars(const pugi::xml_node& r) {
  fLayout = Text(r, "Layout");
  fDefaultLayout = fLayout.empty();
  if (fDefaultLayout) fLayout = "DocumentLayout";
  // Hosts that send no business day trade on the day of the receipt.
  fBusinessDate = Util::HasNode(r, "BusinessDate") ? Date(r, "BusinessDate") : Date(r, "DateTime");
  fReceiptType = Util::DecodeReceiptType(Text(r, "Type"));
  fReceiptSubType = Text(r, "SubType");
  fReceiptTypeDescription = Text(r, "ReceiptTypeDescription");
  fExternalReference = Text(r, "ExternalReference");
  fStoreCode = Text(r, "StoreCode");
  fStoreAddress = Text(r, "StoreAddress");
  fStoreZipCode = Text(r, "StoreZipCode");
  fStoreCity = Text(r, "StoreCity");
  fTillCode = Text(r, "TillCode");
  fReceiptNumber = Text(r, "Number");
  fReceiptDateTime = Date(r, "DateTime");
  fReceiptZReportNumber = Text(r, "ZReportNumber");
  fDeviceSerialNumber = Text(r, "DeviceSerialNumber");
  fInvoiceNumber = Text(r, "InvoiceNumber");
  fInvoiceDateTime = Date(r, "InvoiceDateTime");
  fTotalAmount = Amount(r, "TotalAmount");
  fTipAmount = Amount(r, "TipAmount");
  fCountryCode = Text(r, "CountryCode");
  fFiscalAreaCode = Text(r, "FiscalAreaCode");
  fCompanyCode = Text(r, "CompanyCode");
  fCompanyTaxCode = Text(r, "CompanyTaxCode");
  fOperatorCode = Text(r, "OperatorCode");
  fReceiptBarcode = Text(r, "ReceiptBarcode");
  fCurrencyCode = Text(r, "CurrencyCode");
  fCustomerCode = Text(r, "CustomerCode");
  fCustomerCard = Text(r, "CustomerCard");
  fCustomerBusinessName = Text(r, "CustomerBusinessName");
  fCustomerName = Text(r, "CustomerName");
  fCustomerSurname = Text(r, "CustomerSurname");
  fCustomerAddress = Text(r, "CustomerAddress");
  // Both spellings of the postal code are in use; the capitalised one wins when it holds a value.
  fCustomerZipCode = Text(r, "CustomerZIPCode");
  if (fCustomerZipCode.empty()) fCustomerZipCode = Text(r, "CustomerZipCode");
  fCustomerCity = Text(r, "CustomerCity");
  fCustomerProvince = Text(r, "CustomerProvince");
  fCustomerCountry = Text(r, "CustomerCountry");
  fCustomerTaxCode = Text(r, "CustomerTaxCode");
  fCustomerIdNumber = Text(r, "CustomerIdNumber");
  fCustomerDateOfBirth = Date(r, "CustomerDateOfBirth");
  fLotteryIdCode = Text(r, "LotteryIdCode");
  fToBeInvoiced = Flag(r, "ToBeInvoiced", false);
  fSendByEmail = Flag(r, "SendByEmail", false);
  fEmailReference = Text(r, "EmailReference");
  fEmailRecipients = Text(r, "EmailRecipients");
  fPrintReceipt = Flag(r, "PrintReceipt", true);
}

void kReceipt::ReadReferences(const pugi::xml_node& aReceiptNode) {
  const pugi::xml_node o = aReceiptNode.child("References").child("OriginalReceipt");
  if (!o) return;
  qzOriginalReceipt& ref = fOriginalReceipt;
  ref.ReceiptDateTime = Date(o, "ReceiptDateTime");
  ref.ReceiptNumber = Text(o, "ReceiptNumber");
  ref.DeviceSerialNumber = Text(o, "DeviceSerialNumber");
  ref.ServerSerialNumber = Text(o, "ServerSerialNumber");
  ref.EJNumber = Text(o, "EJNumber");
  ref.EJClosingNumber = Text(o, "EJClosingNumber");
  ref.ExcludeFPCheck = Flag(o, "ExcludeFPCheck", false);
  ref.ReferenceType = Util::DecodeReferenceType(Text(o, "ReferenceType"));
  ref.InvoiceNumber = Text(o, "InvoiceNumber");
  ref.InvoiceDateTime = Date(o, "InvoiceDateTime");
}

void kReceipt::ReadLines(const pugi::xml_node& aLinesNode) {
  Util::ForEachChildElement(aLinesNode,
                            [&](const pugi::xml_node& aLineNode) { fLines.push_back(ReadLine(aLineNode)); });
}

std::unique_ptr<kReceiptLine> kReceipt::ReadLine(const pugi::xml_node& n) {
  const qzReceiptLineType type = Util::DecodeLineType(n.name());

  // The three product classes share their fields; the weighted one reads its tare right after the amount.
  const auto readProduct = [&](kReceiptLineProductSale& p, kReceiptLineWeightedProductSale* aWeighted) {
    p.fCode = Text(n, "Code");
    p.fDescription = Text(n, "Description");
    p.fQuantity = Amount(n, "Quantity");
    p.fUOM = Text(n, "UOM");
    p.fDepartment = Text(n, "Department");
    p.fTaxCode = Text(n, "TaxCode");
    p.fPrice = Amount(n, "Price");
    p.fAmount = Amount(n, "Amount");
    if (aWeighted != nullptr) aWeighted->fTare = Amount(n, "Tare");
    p.fFreeOfCharge = Flag(n, "FreeOfCharge", false);
    p.fAttribute = Util::DecodeLineAttribute(Text(n, "Attribute"));
  };
  const auto readVoucher = [&](kReceiptLineVoucherSale& v, bool aWithFreeOfCharge) {
    v.fCode = Text(n, "Code");
    v.fDescription = Text(n, "Description");
    v.fDepartment = Text(n, "Department");
    v.fTaxCode = Text(n, "TaxCode");
    v.fPrice = Amount(n, "Price");
    if (aWithFreeOfCharge) v.fFreeOfCharge = Flag(n, "FreeOfCharge", false);
  };
  const auto readGiftCard = [&](kReceiptLineGiftCardSale& g, bool aWithFreeOfCharge) {
    g.fCode = Text(n, "Code");
    g.fDescription = Text(n, "Description");
    g.fDepartment = Text(n, "Department");
    g.fTaxCode = Text(n, "TaxCode");
    g.fPrice = Amount(n, "Price");
    if (aWithFreeOfCharge) g.fFreeOfCharge = Flag(n, "FreeOfCharge", false);
  };
  const auto readAmountAdjustment = [&](kReceiptLineDiscountAmount& a) {
    a.fAmount = Amount(n, "Amount");
    a.fDescription = Text(n, "Description");
  };
  const auto readPercentageAdjustment = [&](kReceiptLineDiscountPercentage& a) {
    a.fPercentage = Amount(n, "Percentage");
    a.fAmount = Amount(n, "Amount");
    a.fDescription = Text(n, "Description");
  };

  std::unique_ptr<kReceiptLine> line;
  switch (type) {
    case rlt_ProductSale:
      line = MakeLine<kReceiptLineProductSale>(this, [&](auto& p) { readProduct(p, nullptr); });
      break;
    case rlt_ProductReturn:
      line = MakeLine<kReceiptLineProductReturn>(this, [&](auto& p) { readProduct(p, nullptr); });
      break;
    case rlt_WeightedProductSale:
      line = MakeLine<kReceiptLineWeightedProductSale>(this, [&](auto& p) { readProduct(p, &p); });
      break;
    case rlt_CollectAmount:
      line = MakeLine<kReceiptLineCollectAmount>(this, [&](kReceiptLineCollectAmount& c) {
        c.fDescription = Text(n, "Description");
        c.fDepartment = Text(n, "Department");
        c.fTaxCode = Text(n, "TaxCode");
        c.fAmount = Amount(n, "Amount");
      });
      break;
    case rlt_VoucherSale:
      line = MakeLine<kReceiptLineVoucherSale>(this, [&](auto& v) { readVoucher(v, true); });
      break;
    case rlt_VoucherRedeem:
      line = MakeLine<kReceiptLineVoucherRedeem>(this, [&](auto& v) { readVoucher(v, false); });
      break;
    case rlt_GiftCardSale:
      line = MakeLine<kReceiptLineGiftCardSale>(this, [&](auto& g) { readGiftCard(g, true); });
      break;
    case rlt_GiftCardRedeem:
      line = MakeLine<kReceiptLineGiftCardRedeem>(this, [&](auto& g) { readGiftCard(g, false); });
      break;
    case rlt_SubTotal:
      line = MakeLine<kReceiptLineSubtotal>(
          this, [&](kReceiptLineSubtotal& s) { s.fAmount = Amount(n, "Amount"); });
      break;
    case rlt_Text:
      line = MakeLine<kReceiptLineText>(
          this, [&](kReceiptLineText& t) { t.fDescription = Text(n, "Description"); });
      break;
    case rlt_DiscountAmount:
      line = MakeLine<kReceiptLineDiscountAmount>(this, readAmountAdjustment);
      break;
    case rlt_DiscountAmountOnSubtotal:
      line = MakeLine<kReceiptLineDiscountAmountOnSubTotal>(this, readAmountAdjustment);
      break;
    case rlt_MarkupAmount:
      line = MakeLine<kReceiptLineMarkupAmount>(this, readAmountAdjustment);
      break;
    case rlt_MarkupAmountOnSubtotal:
      line = MakeLine<kReceiptLineMarkupAmountOnSubTotal>(this, readAmountAdjustment);
      break;
    case rlt_DiscountPercentage:
      line = MakeLine<kReceiptLineDiscountPercentage>(this, readPercentageAdjustment);
      break;
    case rlt_DiscountPercentageOnSubTotal:
      line = MakeLine<kReceiptLineDiscountPercentageOnSubTotal>(this, readPercentageAdjustment);
      break;
    case rlt_MarkupPercentage:
      line = MakeLine<kReceiptLineMarkupPercentage>(this, readPercentageAdjustment);
      break;
    case rlt_MarkupPercentageOnSubTotal:
      line = MakeLine<kReceiptLineMarkupPercentageOnSubTotal>(this, readPercentageAdjustment);
      break;
  }
  line->SetLineType(type);
  return line;
}

void kReceipt::ReadTaxes(const pugi::xml_node& aTaxesNode) {
  Util::ForEachChildElement(aTaxesNode, [&](const pugi::xml_node& t) {
    if (std::string_view(t.name()) != "Tax") return;
    auto tax = std::make_unique<kReceiptTaxLine>(this);
    tax->fTaxType = Util::DecodeTaxType(Text(t, "Type"));
    tax->fTaxCode = Text(t, "Code");
    tax->fTaxDescription = Text(t, "Description");
    tax->fTaxRate = Amount(t, "Rate");
    tax->fTaxableAmount = Amount(t, "TaxableAmount");
    tax->fTaxAmount = Amount(t, "TaxAmount");
    tax->fTotalAmount = Amount(t, "TotalAmount");
    fTaxes.push_back(std::move(tax));
  });
}

void kReceipt::ReadPayments(const pugi::xml_node& aPaymentsNode) {
  Util::ForEachChildElement(aPaymentsNode, [&](const pugi::xml_node& p) {
    if (std::string_view(p.name()) != "Payment") return;
    auto payment = std::make_unique<kReceiptPaymentLine>(this);
    payment->SetPaymentType(Util::DecodePaymentType(Text(p, "Type")));
    payment->SetDescription(Text(p, "Description"));
    payment->SetAmount(Amount(p, "Amount"));
    payment->SetCurrency(Text(p, "Currency"));
    payment->SetQuantity(Amount(p, "Quantity"));
    payment->SetUnitPrice(Amount(p, "UnitPrice"));
    fPayments.push_back(std::move(payment));
  });
}

void kReceipt::ReadMessageLines(const pugi::xml_node& aGroupNode, kReceiptMessageLines& aList) {
  Util::ForEachChildElement(aGroupNode, [&](const pugi::xml_node& m) {
    const std::string_view name = m.name();
    if (name == "Barcode") {
      auto barcode = std::make_unique<kReceiptMessageBarcodeLine>(this);
      barcode->SetValue(Text(m, "Value"));
      barcode->SetBarcodeType(Util::DecodeBarcodeType(Text(m, "Type")));
      barcode->SetHRI(Flag(m, "HRI", true));
      // Version 1 is the smallest QR code there is.
      barcode->SetQRCOdeMinVersion(
          std::max<std::int32_t>(1, Util::GetNodeValueAsInteger(m, "QRCodeMinVersion")));
      aList.push_back(std::move(barcode));
    } else if (name == "Text") {
      auto text = std::make_unique<kReceiptMessageTextLine>(this);
      text->SetValue(Text(m, "Value"));
      text->SetSize(Util::GetNodeValueAsInteger(m, "Size"));
      text->SetAlignment(Util::DecodeAlignment(Text(m, "Alignment")));
      aList.push_back(std::move(text));
    } else if (name == "Image") {
      auto image = std::make_unique<kReceiptMessageImageLine>(this);
      image->SetAlignment(Util::DecodeAlignment(Text(m, "Alignment")));
      aList.push_back(std::move(image));
    }
  });
}
