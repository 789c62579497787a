// Readers of the smaller documents a request may carry: non-fiscal receipt, customer display, drawer,
// electronic-journal report, payment receipt, receipt reference and electronic-journal files request.
//
// Each reads its own element under the request root, value by value in a fixed order, so the first bad
// value of a request is the one reported. A failure leaves what was read before in place; a message line
// is appended only once it is read completely.

#include <charconv>
#include <memory>
#include <string>
#include <system_error>

#include "documents/krptUtil.h"
#include "documents/uQzReceipt.h"
#include "platform/QzError.h"
#include "support/uQZ_Base.h"

namespace {

// A whole number, or 0 for anything else: the journal report's numbers are optional bounds.
std::int32_t WholeNumberOrZero(const std::string& aText) {
  std::int32_t value = 0;
  const char* begin = aText.data();
  const char* end = aText.data() + aText.size();
  if (begin != end && *begin == '+') ++begin;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (begin == end || error != std::errc() || stop != end) return 0;
  return value;
}

// An element that is present and not empty. Content that is not a plain text still counts, so the date
// reader that follows reports it as a bad date-time rather than skipping it; comments do not count.
bool HasText(const pugi::xml_node& aParent, const char* aName) {
  for (pugi::xml_node child = aParent.child(aName).first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_comment || child.type() == pugi::node_pi) continue;
    if (child.type() != pugi::node_pcdata || *child.value() != '\0') return true;
  }
  return false;
}

bool IsElementNamed(const pugi::xml_node& aNode, const char* aName) {
  return aNode.type() == pugi::node_element && std::string(aNode.name()) == aName;
}

}  // namespace

// --- Non-fiscal receipt ---

void kNFReceipt::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node node = krptUtil::GetDocumentNode(aXmlDocument, "NFReceipt");

  fLayout = krptUtil::GetNodeValueAsString(node, "Layout");
  fDefaultLayout = fLayout.empty();
  if (fDefaultLayout) fLayout = "DocumentLayout";
  fStoreCode = krptUtil::GetNodeValueAsString(node, "StoreCode");
  fTillCode = krptUtil::GetNodeValueAsString(node, "TillCode");
  fReceiptNumber = krptUtil::GetNodeValueAsString(node, "Number");
  fReceiptDateTime = krptUtil::GetNodeValueAsDateTime(node, "DateTime");
  fCountryCode = krptUtil::GetNodeValueAsString(node, "CountryCode");
  fCompanyCode = krptUtil::GetNodeValueAsString(node, "CompanyCode");
  fCompanyTaxCode = krptUtil::GetNodeValueAsString(node, "CompanyTaxCode");
  fOperatorCode = krptUtil::GetNodeValueAsString(node, "OperatorCode");

  ReadMessageLines(node.child("Header").child("Lines"), rs_lead, fHeaderLines);
  ReadMessageLines(node.child("Lines"), rs_body, fLines);
  ReadMessageLines(node.child("Footer").child("Lines"), rs_trail, fFooterLines);
}

// The three groups read their barcode and image children in different orders; the order decides which
// bad value a request reports first, and hosts have been built against it, so it is kept per group.
void kNFReceipt::ReadMessageLines(const pugi::xml_node& aLinesNode, qzReceiptSection aSection,
                                  kReceiptMessageLines& aList) {
  for (const pugi::xml_node& child : aLinesNode.children()) {
    if (IsElementNamed(child, "Barcode")) {
      auto line = std::make_unique<kReceiptMessageBarcodeLine>(this);
      line->fSection = aSection;
      line->SetValue(krptUtil::GetNodeValueAsString(child, "Value"));
      const auto readType = [&] {
        line->SetBarcodeType(krptUtil::DecodeBarcodeType(krptUtil::GetNodeValueAsString(child, "Type")));
      };
      const auto readRest = [&] {
        line->SetHRI(krptUtil::GetNodeValueAsBoolean(child, "HRI", true));
        // Version 1 is the smallest QR code there is; anything below means "no minimum".
        const std::int32_t version = krptUtil::GetNodeValueAsInteger(child, "QRCodeMinVersion");
        line->SetQRCOdeMinVersion(version <= 1 ? 1 : version);
      };
      if (aSection == rs_lead) {
        readRest();
        readType();
      } else {
        readType();
        readRest();
      }
      aList.push_back(std::move(line));
    } else if (IsElementNamed(child, "Text")) {
      auto line = std::make_unique<kReceiptMessageTextLine>(this);
      line->SetSection(aSection);
      line->SetValue(krptUtil::GetNodeValueAsString(child, "Value"));
      line->SetSize(krptUtil::GetNodeValueAsInteger(child, "Size"));
      line->SetAlignment(krptUtil::DecodeAlignment(krptUtil::GetNodeValueAsString(child, "Alignment")));
      line->SetEffects(krptUtil::DecodeEffects(krptUtil::GetNodeValueAsString(child, "Effects")));
      aList.push_back(std::move(line));
    } else if (IsElementNamed(child, "Image")) {
      auto line = std::make_unique<kReceiptMessageImageLine>(this);
      line->fSection = aSection;
      line->SetAlignment(krptUtil::DecodeAlignment(krptUtil::GetNodeValueAsString(child, "Alignment")));
      const auto readSource = [&] {
        line->SetSource(krptUtil::DecodeImageSource(krptUtil::GetNodeValueAsString(child, "Source")));
      };
      const auto readValue = [&] { line->SetValue(krptUtil::GetNodeValueAsString(child, "Value")); };
      if (aSection == rs_body) {
        readSource();
        readValue();
      } else {
        readValue();
        readSource();
      }
      aList.push_back(std::move(line));
    }
  }
}

// --- Customer display ---

void kCustomerDisplay::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node node = krptUtil::GetDocumentNode(aXmlDocument, "Display");
  fClear = krptUtil::GetNodeValueAsBoolean(node, "Clear", false);
  for (const pugi::xml_node& child : node.child("Lines").children()) {
    if (!IsElementNamed(child, "Text")) continue;
    // No owner: a display takes plain text only, so its lines are always handed out normalized.
    auto line = std::make_unique<kReceiptMessageTextLine>();
    line->SetValue(krptUtil::GetNodeValueAsString(child, "Value"));
    line->SetAlignment(krptUtil::DecodeAlignment(krptUtil::GetNodeValueAsString(child, "Alignment")));
    fLines.push_back(std::move(line));
  }
}

// --- Drawer ---

void kDrawer::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node node = krptUtil::GetDocumentNode(aXmlDocument, "Drawer");
  fNumber = krptUtil::GetNodeValueAsInteger(node, "Number");
}

// --- Electronic-journal report ---

void kEJReport::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node node = krptUtil::GetDocumentNode(aXmlDocument, "EJReport");
  fReportType = krptUtil::DecodeEJReportType(krptUtil::GetNodeValueAsString(node, "ReportType"));
  fDestination =
      krptUtil::DecodeEJReportDestination(krptUtil::GetNodeValueAsString(node, "ReportDestination"));
  // The period is required: the dates are converted as they stand, so a missing one fails with the
  // date-time message itself.
  fStartDate = XmlToDateTime(krptUtil::GetNodeValueAsString(node, "StartDate"));
  fEndDate = XmlToDateTime(krptUtil::GetNodeValueAsString(node, "EndDate"));
  fStartNumber = WholeNumberOrZero(krptUtil::GetNodeValueAsString(node, "StartNumber"));
  fEndNumber = WholeNumberOrZero(krptUtil::GetNodeValueAsString(node, "EndNumber"));
}

// --- Payment receipt ---

void kPaymentReceipt::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node node = krptUtil::GetDocumentNode(aXmlDocument, "Payment");
  const std::int32_t copies = krptUtil::GetNodeValueAsInteger(node, "Copies");
  fCopies = copies < 0 ? 0 : copies;
  fStoreCode = krptUtil::GetNodeValueAsString(node, "StoreCode");
  fTillCode = krptUtil::GetNodeValueAsString(node, "TillCode");
  fReference = krptUtil::GetNodeValueAsString(node, "Reference");
  fAmount = krptUtil::GetNodeValueAsCurrency(node, "Amount");
  fCurrency = krptUtil::GetNodeValueAsString(node, "Currency");
  fReceiptId = krptUtil::GetNodeValueAsString(node, "ReceiptId");

  const std::string location = krptUtil::GetNodeValueAsString(node, "PrintLocation");
  if (location == "ECR") {
    fPrintLocation = pl_ECR;
  } else if (location == "EFT") {
    fPrintLocation = pl_EFT;
  } else if (!location.empty()) {
    throw QzError("Payment Location " + location + " invalid. Allowed values are: ECR,EFT.");
  }
}

// --- Receipt reference ---

void kReceiptReference::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node node = krptUtil::GetDocumentNode(aXmlDocument, "ReceiptReference");
  fReceiptType = krptUtil::DecodeReceiptType(krptUtil::GetNodeValueAsString(node, "ReceiptType"));
  if (krptUtil::HasNode(node, "EJNumber")) fEJNumber = krptUtil::GetNodeValueAsString(node, "EJNumber");
  if (krptUtil::HasNode(node, "EJClosingNumber"))
    fEJClosingNumber = krptUtil::GetNodeValueAsString(node, "EJClosingNumber");
  if (HasText(node, "ReceiptDateTime"))
    fReceiptDateTime = krptUtil::GetNodeValueAsDateTime(node, "ReceiptDateTime");
  fReceiptNumber = krptUtil::GetNodeValueAsString(node, "ReceiptNumber");
  if (krptUtil::HasNode(node, "DeviceSerialNumber"))
    fDeviceSerialNumber = krptUtil::GetNodeValueAsString(node, "DeviceSerialNumber");
}

// --- Electronic-journal files request ---

void kEJFilesRequest::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node node = krptUtil::GetDocumentNode(aXmlDocument, "EJRequest");
  fReqType = krptUtil::DecodeEJRequestType(krptUtil::GetNodeValueAsString(node, "RequestType"));
  if (HasText(node, "StartDate")) fStartDate = krptUtil::GetNodeValueAsDateTime(node, "StartDate");
  if (HasText(node, "EndDate")) fEndDate = krptUtil::GetNodeValueAsDateTime(node, "EndDate");
  fOutputDir = krptUtil::GetNodeValueAsString(node, "OutputDir");
}
