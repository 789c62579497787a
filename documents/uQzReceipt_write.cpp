// Writing a receipt as XML. The writer's shape is its own: "Receipt" is the root, every element is
// written whether or not it holds a value, and a few elements carry the names the receipt's fields have
// ("ReceiptDateTime", "ReceiptZReportNumber", "TaxRate", "HeaderLine").

#include <sstream>
#include <string>

#include "documents/krptUtil.h"
#include "documents/uQzReceipt.h"
#include "support/uQZ_Base.h"

namespace {

void Add(pugi::xml_node aParent, const char* aName, const std::string& aValue) {
  krptUtil::AddNode(aParent, aName, aValue);
}
void Add(pugi::xml_node aParent, const char* aName, Currency aValue) {
  krptUtil::AddNode(aParent, aName, CurrencyToXml(aValue));
}
void Add(pugi::xml_node aParent, const char* aName, DateTime aValue) {
  krptUtil::AddNode(aParent, aName, DateTimeToXml(false, aValue));
}
void Add(pugi::xml_node aParent, const char* aName, bool aValue) {
  krptUtil::AddNode(aParent, aName, BooleanToXml(aValue));
}
void Add(pugi::xml_node aParent, const char* aName, std::int32_t aValue) {
  krptUtil::AddNode(aParent, aName, std::to_string(aValue));
}

void WriteOriginalReceipt(pugi::xml_node aReceipt, const qzOriginalReceipt& aRef) {
  pugi::xml_node o = krptUtil::AddNode(krptUtil::AddNode(aReceipt, "References", ""), "OriginalReceipt", "");
  Add(o, "ReceiptDateTime", aRef.ReceiptDateTime);
  Add(o, "ReceiptNumber", aRef.ReceiptNumber);
  Add(o, "DeviceSerialNumber", aRef.DeviceSerialNumber);
  Add(o, "ServerSerialNumber", aRef.ServerSerialNumber);
  Add(o, "EJNumber", aRef.EJNumber);
  Add(o, "EJClosingNumber", aRef.EJClosingNumber);
  Add(o, "ExcludeFPCheck", aRef.ExcludeFPCheck);
  Add(o, "ReferenceType", krptUtil::EncodeReferenceType(aRef.ReferenceType));
  Add(o, "InvoiceNumber", aRef.InvoiceNumber);
  Add(o, "InvoiceDateTime", aRef.InvoiceDateTime);
}

void WriteTax(pugi::xml_node aTaxes, const kReceiptTaxLine& aTax) {
  pugi::xml_node t = krptUtil::AddNode(aTaxes, "Tax", "");
  Add(t, "Type", krptUtil::EncodeTaxType(aTax.TaxType()));
  Add(t, "Code", aTax.TaxCode());
  Add(t, "Description", aTax.TaxDescription());
  Add(t, "TaxRate", aTax.TaxRate());
  Add(t, "TaxableAmount", aTax.TaxableAmount());
  Add(t, "TaxAmount", aTax.TaxAmount());
  Add(t, "TotalAmount", aTax.TotalAmount());
}

void WritePayment(pugi::xml_node aPayments, const kReceiptPaymentLine& aPayment) {
  pugi::xml_node p = krptUtil::AddNode(aPayments, "Payment", "");
  Add(p, "Type", krptUtil::EncodePaymentType(aPayment.PaymentType()));
  Add(p, "Description", aPayment.Description());
  Add(p, "Amount", aPayment.Amount());
  Add(p, "Currency", aPayment.Currency());
  Add(p, "Quantity", aPayment.Quantity());
  Add(p, "UnitPrice", aPayment.UnitPrice());
}

}  // namespace

std::string kReceipt::Serialize() const {
  pugi::xml_document doc;
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "utf-8";
  pugi::xml_node r = doc.append_child("Receipt");

  Add(r, "Layout", fLayout);
  Add(r, "BusinessDate", fBusinessDate);
  Add(r, "Type", krptUtil::EncodeReceiptType(fReceiptType));
  Add(r, "SubType", fReceiptSubType);
  Add(r, "ReceiptTypeDescription", fReceiptTypeDescription);
  Add(r, "ExternalReference", fExternalReference);
  Add(r, "StoreCode", fStoreCode);
  Add(r, "StoreAddress", fStoreAddress);
  Add(r, "StoreZipCode", fStoreZipCode);
  Add(r, "StoreCity", fStoreCity);
  Add(r, "TillCode", fTillCode);
  Add(r, "Number", fReceiptNumber);
  Add(r, "ReceiptDateTime", fReceiptDateTime);
  Add(r, "ReceiptZReportNumber", fReceiptZReportNumber);
  Add(r, "DeviceSerialNumber", fDeviceSerialNumber);
  Add(r, "InvoiceNumber", fInvoiceNumber);
  Add(r, "InvoiceDateTime", fInvoiceDateTime);
  Add(r, "TotalAmount", fTotalAmount);
  Add(r, "TipAmount", fTipAmount);
  Add(r, "CountryCode", fCountryCode);
  Add(r, "FiscalAreaCode", fFiscalAreaCode);
  Add(r, "CompanyCode", fCompanyCode);
  Add(r, "CompanyTaxCode", fCompanyTaxCode);
  Add(r, "OperatorCode", fOperatorCode);
  Add(r, "ReceiptBarcode", fReceiptBarcode);
  Add(r, "CurrencyCode", fCurrencyCode);
  Add(r, "CustomerCode", fCustomerCode);
  Add(r, "CustomerCard", fCustomerCard);
  Add(r, "CustomerBusinessName", fCustomerBusinessName);
  Add(r, "CustomerName", fCustomerName);
  Add(r, "CustomerSurname", fCustomerSurname);
  Add(r, "CustomerAddress", fCustomerAddress);
  Add(r, "CustomerZIPCode", fCustomerZipCode);
  Add(r, "CustomerCity", fCustomerCity);
  Add(r, "CustomerProvince", fCustomerProvince);
  Add(r, "CustomerCountry", fCustomerCountry);
  Add(r, "CustomerTaxCode", fCustomerTaxCode);
  Add(r, "CustomerIdNumber", fCustomerIdNumber);
  Add(r, "CustomerDateOfBirth", fCustomerDateOfBirth);
  Add(r, "LotteryIdCode", fLotteryIdCode);
  Add(r, "ToBeInvoiced", fToBeInvoiced);
  Add(r, "SendByEmail", fSendByEmail);
  Add(r, "EmailReference", fEmailReference);
  Add(r, "EmailRecipients", fEmailRecipients);
  Add(r, "PrintReceipt", fPrintReceipt);
  WriteOriginalReceipt(r, fOriginalReceipt);

  pugi::xml_node headers = krptUtil::AddNode(r, "Headers", "");
  for (const std::string& header : fHeaders) Add(headers, "HeaderLine", header);
  pugi::xml_node lines = krptUtil::AddNode(r, "Lines", "");
  for (const auto& line : fLines) WriteLine(lines, *line);
  pugi::xml_node taxes = krptUtil::AddNode(r, "Taxes", "");
  for (const auto& tax : fTaxes) WriteTax(taxes, *tax);
  pugi::xml_node payments = krptUtil::AddNode(r, "Payments", "");
  for (const auto& payment : fPayments) WritePayment(payments, *payment);
  pugi::xml_node trailer = krptUtil::AddNode(r, "TrailerMessages", "");
  for (const auto& message : fTrailerMessages) WriteMessageLine(trailer, *message);
  pugi::xml_node leader = krptUtil::AddNode(r, "LeaderLines", "");
  for (const auto& message : fLeaderLines) WriteMessageLine(leader, *message);

  std::ostringstream out;
  doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
  return out.str();
}

// The element is the line type's word; which children follow depends on the line's class. Texts are the
// stored fields, not their printable forms.
void kReceipt::WriteLine(pugi::xml_node aParent, const kReceiptLine& aLine) {
  pugi::xml_node n = krptUtil::AddNode(aParent, krptUtil::EncodeLineType(aLine.LineType()), "");

  if (const auto* p = dynamic_cast<const kReceiptLineProductSale*>(&aLine)) {
    Add(n, "Code", p->fCode);
    Add(n, "Description", p->fDescription);
    Add(n, "Quantity", p->fQuantity);
    Add(n, "UOM", p->fUOM);
    Add(n, "Department", p->fDepartment);
    Add(n, "TaxCode", p->fTaxCode);
    Add(n, "Price", p->fPrice);
    Add(n, "Amount", p->fAmount);
    if (const auto* w = dynamic_cast<const kReceiptLineWeightedProductSale*>(p)) Add(n, "Tare", w->fTare);
    Add(n, "FreeOfCharge", p->fFreeOfCharge);
    Add(n, "Attribute", static_cast<std::int32_t>(p->fAttribute));
  } else if (const auto* v = dynamic_cast<const kReceiptLineVoucherSale*>(&aLine)) {
    Add(n, "Code", v->fCode);
    Add(n, "Description", v->fDescription);
    Add(n, "Department", v->fDepartment);
    Add(n, "TaxCode", v->fTaxCode);
    Add(n, "Price", v->fPrice);
    if (dynamic_cast<const kReceiptLineVoucherRedeem*>(v) == nullptr)
      Add(n, "FreeOfCharge", v->fFreeOfCharge);
  } else if (const auto* g = dynamic_cast<const kReceiptLineGiftCardSale*>(&aLine)) {
    Add(n, "Code", g->fCode);
    Add(n, "Description", g->fDescription);
    Add(n, "Department", g->fDepartment);
    Add(n, "TaxCode", g->fTaxCode);
    Add(n, "Price", g->fPrice);
    Add(n, "FreeOfCharge", g->fFreeOfCharge);
  } else if (const auto* s = dynamic_cast<const kReceiptLineSubtotal*>(&aLine)) {
    Add(n, "Amount", s->fAmount);
  } else if (const auto* t = dynamic_cast<const kReceiptLineText*>(&aLine)) {
    Add(n, "Description", t->fDescription);
  } else if (const auto* a = dynamic_cast<const kReceiptLineDiscountAmount*>(&aLine)) {
    Add(n, "Amount", a->fAmount);
    Add(n, "Description", a->fDescription);
  } else if (const auto* pc = dynamic_cast<const kReceiptLineDiscountPercentage*>(&aLine)) {
    Add(n, "Percentage", pc->fPercentage);
    Add(n, "Amount", pc->fAmount);
    Add(n, "Description", pc->fDescription);
  } else if (const auto* c = dynamic_cast<const kReceiptLineCollectAmount*>(&aLine)) {
    Add(n, "Description", c->fDescription);
    Add(n, "Department", c->fDepartment);
    Add(n, "TaxCode", c->fTaxCode);
    Add(n, "Amount", c->fAmount);
  }
}

void kReceipt::WriteMessageLine(pugi::xml_node aParent, const kReceiptMessageLine& aLine) {
  if (const auto* b = dynamic_cast<const kReceiptMessageBarcodeLine*>(&aLine)) {
    pugi::xml_node n = krptUtil::AddNode(aParent, "Barcode", "");
    Add(n, "Value", b->kReceiptMessageLine::Value());
    Add(n, "Type", krptUtil::EncodeBarcodeType(b->BarcodeType()));
    Add(n, "HRI", b->HRI());
    Add(n, "QRCodeMinVersion", b->QRCOdeMinVersion());
  } else if (const auto* t = dynamic_cast<const kReceiptMessageTextLine*>(&aLine)) {
    pugi::xml_node n = krptUtil::AddNode(aParent, "Text", "");
    Add(n, "Value", t->kReceiptMessageLine::Value());
    Add(n, "Size", t->Size());
    Add(n, "Alignment", krptUtil::EncodeAlignment(t->Alignment()));
  } else if (const auto* i = dynamic_cast<const kReceiptMessageImageLine*>(&aLine)) {
    pugi::xml_node n = krptUtil::AddNode(aParent, "Image", "");
    Add(n, "Alignment", krptUtil::EncodeAlignment(i->Alignment()));
  }
}
