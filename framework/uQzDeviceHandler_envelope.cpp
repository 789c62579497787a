// kDeviceHandler: reading and writing the request envelope.

#include <sstream>

#include "documents/krptUtil.h"
#include "framework/uQzDeviceHandler.h"
#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "platform/Text.h"

namespace {

// Which connection types read an element of the Connection settings.
bool ReadsAddress(qzConnectionType aType) {
  return aType == qzConnectionType::TCP || aType == qzConnectionType::HTTP;
}
bool ReadsSerialLine(qzConnectionType aType) { return aType == qzConnectionType::Serial; }
bool ReadsCredentials(qzConnectionType aType) {
  return aType == qzConnectionType::TCP || aType == qzConnectionType::HTTP ||
         aType == qzConnectionType::Serial;
}

// Collects what pugixml writes into one string.
class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* aData, size_t aSize) override {
    fText.append(static_cast<const char*>(aData), aSize);
  }
  std::string fText;
};

}  // namespace

std::unique_ptr<pugi::xml_document> ParseRequestXml(const std::string& aXml) {
  auto document = std::make_unique<pugi::xml_document>();
  const pugi::xml_parse_result result =
      document->load_buffer(aXml.data(), aXml.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!result) {
    throw QzError(std::string(result.description()) + " at offset " + std::to_string(result.offset));
  }
  return document;
}

std::unique_ptr<pugi::xml_document> kDeviceHandler::Deserialize(const std::string& aXml) {
  std::unique_ptr<pugi::xml_document> document = ParseRequestXml(aXml);
  ReadEnvelope(*document);
  return document;
}

void kDeviceHandler::ReadEnvelope(const pugi::xml_document& aDocument) {
  const pugi::xml_node root = aDocument.document_element();
  fType = krptUtil::GetNodeValueAsString(root, "Type");
  fDriver = krptUtil::GetNodeValueAsString(root, "Driver");
  fMethod = krptUtil::GetNodeValueAsString(root, "Method");
  fDeviceHandle = krptUtil::GetNodeValueAsInteger(root, "Handle");
  fLogId = krptUtil::GetNodeValueAsString(root, "LogId");

  if (const pugi::xml_node connection = root.child("Connection")) ReadConnection(connection);
  if (const pugi::xml_node parameters = root.child("Parameters")) ReadParameters(parameters);

  if (ParameterExists("DeviceName")) fConnection->SetDeviceName(GetParameter("DeviceName"));
  // The host may ask for a longer connect time-out than the connection states (a slow proxy start).
  if (ParameterExists("ConnectTimeout")) {
    fConnection->SetConnectTimeOut(WholeNumberFromText(GetParameter("ConnectTimeout")));
  }
}

void kDeviceHandler::ReadConnection(const pugi::xml_node& aConnectionNode) {
  kConnection& c = *fConnection;
  const qzConnectionType type =
      kConnection::ConvertConnectionType(krptUtil::GetNodeValueAsString(aConnectionNode, "Type"));
  c.SetConnectionType(type);
  c.SetConnectTimeOut(krptUtil::GetNodeValueAsInteger(aConnectionNode, "ConnectTimeout"));
  c.SetReadTimeOut(krptUtil::GetNodeValueAsInteger(aConnectionNode, "ReadTimeout"));

  if (type == qzConnectionType::OPOS)
    c.SetDeviceName(krptUtil::GetNodeValueAsString(aConnectionNode, "DeviceName"));
  if (ReadsAddress(type)) {
    c.SetAddress(krptUtil::GetNodeValueAsString(aConnectionNode, "Address"));
    c.SetPort(krptUtil::GetNodeValueAsInteger(aConnectionNode, "Port"));
  }
  if (ReadsSerialLine(type)) {
    c.SetSerialPort(krptUtil::GetNodeValueAsString(aConnectionNode, "SerialPort"));
    c.SetSpeed(krptUtil::GetNodeValueAsInteger(aConnectionNode, "Speed"));
    c.SetDataBits(krptUtil::GetNodeValueAsInteger(aConnectionNode, "DataBits"));
    c.SetParity(kConnection::ConvertParity(krptUtil::GetNodeValueAsString(aConnectionNode, "Parity")));
    c.SetStopBits(krptUtil::GetNodeValueAsInteger(aConnectionNode, "StopBits"));
  }
  if (ReadsCredentials(type)) {
    c.SetURL(krptUtil::GetNodeValueAsString(aConnectionNode, "URL"));
    c.SetAuthType(kConnection::ConvertAuthType(krptUtil::GetNodeValueAsString(aConnectionNode, "AuthType")));
    c.SetUser(krptUtil::GetNodeValueAsString(aConnectionNode, "User"));
    c.SetPassword(krptUtil::GetNodeValueAsString(aConnectionNode, "Password"));
  }
  if (type == qzConnectionType::DLL) {
    c.SetLibraryName(krptUtil::GetNodeValueAsString(aConnectionNode, "LibraryName"));
  }
  if (type == qzConnectionType::Spool) {
    c.SetPrinterName(krptUtil::GetNodeValueAsString(aConnectionNode, "PrinterName"));
  }
}

void kDeviceHandler::ReadParameters(const pugi::xml_node& aParametersNode) {
  // Only elements are parameters: text, comments or processing instructions between them carry no name
  // the host could have meant.
  for (const pugi::xml_node parameter : aParametersNode.children()) {
    if (parameter.type() != pugi::node_element) continue;
    const std::string name = parameter.name();
    // Of two parameters with one name, both lines carry the first one's value.
    fParameters.push_back(qztext::ToLowerAscii(name) + "=" +
                          krptUtil::GetNodeValueAsString(aParametersNode, name));
  }
}

std::string kDeviceHandler::Serialize() const {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("ReceiptPrinterManager");
  root.append_attribute("Version").set_value("1.0");
  krptUtil::AddNode(root, "Type", fType);
  krptUtil::AddNode(root, "Driver", fDriver);
  krptUtil::AddNode(root, "Method", fMethod);
  krptUtil::AddNode(root, "LogId", fLogId);
  // An OPEN request has no handle yet: the registry issues it.
  if (qztext::ToLowerAscii(fMethod) != "open")
    krptUtil::AddNode(root, "Handle", std::to_string(fDeviceHandle));

  const kConnection& c = *fConnection;
  pugi::xml_node connection = root.append_child("Connection");
  krptUtil::AddNode(connection, "Type", kConnection::ConnectionTypeToString(c.ConnectionType()));
  krptUtil::AddNode(connection, "ConnectTimeout", std::to_string(c.ConnectTimeOut()));
  krptUtil::AddNode(connection, "ReadTimeout", std::to_string(c.ReadTimeOut()));
  krptUtil::AddNode(connection, "Address", c.Address());
  krptUtil::AddNode(connection, "Port", std::to_string(c.Port()));
  krptUtil::AddNode(connection, "URL", c.URL());
  krptUtil::AddNode(connection, "AuthType", kConnection::AuthTypeToString(c.AuthType()));
  krptUtil::AddNode(connection, "User", c.User());
  krptUtil::AddNode(connection, "Password", c.Password());
  krptUtil::AddNode(connection, "SerialPort", c.SerialPort());
  krptUtil::AddNode(connection, "Speed", std::to_string(c.Speed()));
  krptUtil::AddNode(connection, "DataBits", std::to_string(c.DataBits()));
  krptUtil::AddNode(connection, "Parity", kConnection::ParityToString(c.Parity()));
  krptUtil::AddNode(connection, "StopBits", std::to_string(c.StopBits()));
  krptUtil::AddNode(connection, "DeviceName", c.DeviceName());
  krptUtil::AddNode(connection, "LibraryName", c.LibraryName());
  krptUtil::AddNode(connection, "PrinterName", c.PrinterName());

  pugi::xml_node parameters = root.append_child("Parameters");
  for (const std::string& line : fParameters) {
    const std::size_t separator = line.find('=');
    const std::string value = separator == std::string::npos ? std::string() : line.substr(separator + 1);
    krptUtil::AddNode(parameters, line.substr(0, separator), value);
  }

  StringWriter writer;
  document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + writer.fText + "\r\n";
}
