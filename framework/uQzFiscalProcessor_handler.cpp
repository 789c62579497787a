// kFiscalProcessorHandler: the parsed form of one request.

#include "documents/krptUtil.h"
#include "documents/uQzReceipt.h"
#include "framework/uQzFiscalProcessor.h"
#include "platform/QzError.h"

namespace {

// The driver name is the text of the Processor parameter element, spelled exactly "Processor" or
// "PROCESSOR" (element names keep their letter case; other spellings are not looked for).
std::string ReadProcessorName(const pugi::xml_node& aRoot) {
  const pugi::xml_node parameters = aRoot.child("Parameters");
  if (!parameters) throw QzError("Parameters node not found");
  const char* name = parameters.child("Processor") ? "Processor" : "PROCESSOR";
  if (!parameters.child(name)) throw QzError("Processor node not found");
  return krptUtil::GetNodeValueAsString(parameters, name);
}

void ReplaceText(pugi::xml_node aElement, const std::string& aText) {
  while (pugi::xml_node child = aElement.first_child()) aElement.remove_child(child);
  if (!aText.empty()) aElement.append_child(pugi::node_pcdata).set_value(aText.c_str());
}

// Whatever connection the request describes, every processor talks to the VELMO Proxy on this computer.
void ReplaceConnection(pugi::xml_node aRoot) {
  if (const pugi::xml_node old = aRoot.child("Connection")) aRoot.remove_child(old);
  pugi::xml_node connection = aRoot.append_child("Connection");
  krptUtil::AddNode(connection, "Type", "TCP");
  krptUtil::AddNode(connection, "ConnectTimeout", kFiscalProcessorHandler::kProxyConnectTimeout);
  krptUtil::AddNode(connection, "ReadTimeout", kFiscalProcessorHandler::kProxyReadTimeout);
  krptUtil::AddNode(connection, "Address", kFiscalProcessorHandler::kProxyAddress);
  krptUtil::AddNode(connection, "Port", kFiscalProcessorHandler::kProxyPort);
}

}  // namespace

kFiscalProcessorHandler::kFiscalProcessorHandler()
    : fReceipt(std::make_unique<kReceipt>()),
      fNFReceipt(std::make_unique<kNFReceipt>()),
      fCustomerDisplay(std::make_unique<kCustomerDisplay>()),
      fDrawer(std::make_unique<kDrawer>()),
      fEJReport(std::make_unique<kEJReport>()),
      fVATTable(std::make_unique<kVatTable>()),
      fDeptTable(std::make_unique<kDeptTable>()),
      fEATable(std::make_unique<kEconomicActivityTable>()),
      fPaymentReceipt(std::make_unique<kPaymentReceipt>()),
      fReceiptReference(std::make_unique<kReceiptReference>()),
      fEJFilesRequest(std::make_unique<kEJFilesRequest>()) {}

kFiscalProcessorHandler::~kFiscalProcessorHandler() = default;

void kFiscalProcessorHandler::Deserialize(const std::string& aXml,
                                          qzReceiptHandlerDocumentTypes aDocumentTypes) {
  fXmlString = aXml;
  const std::unique_ptr<pugi::xml_document> document = ParseRequestXml(aXml);
  const pugi::xml_node root = document->document_element();

  const std::string processorName = ReadProcessorName(root);
  const pugi::xml_node driver = root.child("Driver");
  if (!driver) throw QzError("Driver node not found");
  ReplaceText(driver, processorName);
  ReplaceConnection(root);

  // The envelope is read from the rewritten document, so Driver and Connection are the ones set above.
  ReadEnvelope(*document);
  fTillSerial = GetParameter("FPTillSerial");

  if (aDocumentTypes.Contains(dt_Receipt)) fReceipt->Deserialize(*document);
  if (aDocumentTypes.Contains(dt_NFReceipt)) fNFReceipt->Deserialize(*document);
  if (aDocumentTypes.Contains(dt_Display)) fCustomerDisplay->Deserialize(*document);
  if (aDocumentTypes.Contains(dt_Drawer)) fDrawer->Deserialize(*document);
  if (aDocumentTypes.Contains(dt_EJReport)) fEJReport->Deserialize(*document);
  if (aDocumentTypes.Contains(dt_VatTable)) fVATTable->Deserialize(*document);
  if (aDocumentTypes.Contains(dt_DeptTable)) {
    // The activities come from the same rows as the departments, and are read first.
    fEATable->Deserialize(*document);
    fDeptTable->Deserialize(*document);
  }
  if (aDocumentTypes.Contains(dt_Pay)) fPaymentReceipt->Deserialize(*document);
  if (aDocumentTypes.Contains(dt_ReceiptReference)) fReceiptReference->Deserialize(*document);
  if (aDocumentTypes.Contains(dt_EJFilesRequest)) fEJFilesRequest->Deserialize(*document);
}
