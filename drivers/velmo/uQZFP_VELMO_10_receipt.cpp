// Receipt processing: the SMAC question, the exchange with the VELMO Proxy, the counting of the receipt,
// and the host's own request XML handed back (and journaled) with number, date-time, Z number and ticket.

#include <filesystem>
#include <pugixml.hpp>
#include <sstream>

#include "drivers/velmo/DurableFile.h"
#include "drivers/velmo/VelmoProxyMessage.h"
#include "drivers/velmo/uQZFP_VELMO_10.h"
#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "platform/Text.h"
#include "support/uQZ_Base.h"
#include "support/uQZ_Confirm.h"

namespace {

constexpr const char* kTitle = "PROCESSRECEIPT";
constexpr std::int32_t kProxyReadTimeoutMs = 180000;
// A reply this large is no ticket: reading stops there and the receipt fails instead of exhausting memory.
constexpr std::size_t kMaxProxyReplySize = 16u * 1024u * 1024u;

constexpr const char* kSmacTitle = "Conferma utilizzo SMAC";
constexpr const char* kSmacQuestion = "Il cliente dispone di una SMAC Card?";
constexpr std::uint32_t kSmacColor = 0x7FF7;  // window colour value: an orange

// The element's whole content becomes aText.
void SetElementText(pugi::xml_node aElement, const std::string& aText) {
  while (aElement.first_child()) aElement.remove_child(aElement.first_child());
  aElement.append_child(pugi::node_pcdata).set_value(aText.c_str());
}

void SetOrAppendValue(pugi::xml_node aReceipt, const char* aName, const std::string& aText) {
  pugi::xml_node element = aReceipt.child(aName);
  if (!element) element = aReceipt.append_child(aName);
  SetElementText(element, aText);
}

pugi::xml_node ChildOrAppended(pugi::xml_node aReceipt, const char* aName) {
  pugi::xml_node element = aReceipt.child(aName);
  return element ? element : aReceipt.append_child(aName);
}

// <Text><Alignment>..</Alignment><Value>..</Value><Size>1</Size></Text> inserted before aBefore (appended
// when aBefore is empty).
void InsertTextLine(pugi::xml_node aParent, pugi::xml_node aBefore, const char* aAlignment,
                    const std::string& aValue) {
  pugi::xml_node text = aBefore ? aParent.insert_child_before("Text", aBefore) : aParent.append_child("Text");
  SetElementText(text.append_child("Alignment"), aAlignment);
  SetElementText(text.append_child("Value"), aValue);
  SetElementText(text.append_child("Size"), "1");
}

struct TextWriter : pugi::xml_writer {
  std::string fText;
  void write(const void* aData, std::size_t aSize) override {
    fText.append(static_cast<const char*>(aData), aSize);
  }
};

// The document's text: each top-level node (declaration, root, comments) on a line of its own ending in
// CR LF, elements without indentation.
std::string DocumentText(const pugi::xml_document& aDocument) {
  TextWriter writer;
  for (pugi::xml_node node : aDocument.children()) {
    node.print(writer, "", pugi::format_raw);
    writer.fText += "\r\n";
  }
  return writer.fText;
}

// The journal is UTF-8 whatever the host declared; a declaration naming another encoding would lie.
std::string JournalText(pugi::xml_document& aDocument, const std::string& aOutput) {
  pugi::xml_node declaration = aDocument.first_child();
  if (declaration.type() != pugi::node_declaration) return aOutput;
  pugi::xml_attribute encoding = declaration.attribute("encoding");
  if (!encoding || qztext::EqualsIgnoreCaseAscii(encoding.value(), "UTF-8")) return aOutput;
  encoding.set_value("UTF-8");
  return DocumentText(aDocument);
}

// Receipt sub type to the proxy's document type: refunds, voids and negative totals are "RS"; otherwise
// the first settings line whose name matches the sub type, letter case ignored; "SC" when none does.
std::string DocumentTypeCode(const kReceipt& aReceipt, const std::vector<std::string>& aSubTypes) {
  if (aReceipt.TotalAmount() < Currency() || aReceipt.ReceiptType() == rt_Refund ||
      aReceipt.ReceiptType() == rt_Void) {
    return "RS";
  }
  for (const std::string& line : aSubTypes) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (qztext::EqualsIgnoreCaseAscii(line.substr(0, equals), aReceipt.ReceiptSubtype())) {
      return line.substr(equals + 1);
    }
  }
  return "SC";
}

}  // namespace

bool kFiscalProcessor_VELMO::ProcessReceipt(kFiscalProcessorHandler& aHandler) {
  fIOHandler->WriteLog(let_info, kTitle, "BEGIN");
  fFPCounters.Refresh();
  const kReceipt& receipt = aHandler.Receipt();
  const std::int32_t receiptNumber = fFPCounters.CurrentReceiptNo() + 1;
  const std::int32_t zNumber = fFPCounters.CurrentZReportNo();
  const Currency amount = receipt.TotalAmount().Abs();
  const bool proxyNeeded =
      !receipt.TotalAmount().IsZero() && qztext::ToUpperAscii(receipt.ReceiptSubtype()) != "SMACPAYMENT";

  bool result = true;
  std::string ticket;
  if (!proxyNeeded) {
    fIOHandler->WriteLog(let_info, kTitle, "END [Zero Amount]");
  } else {
    const std::string typeDocument = DocumentTypeCode(receipt, fReceiptSubTypes);
    const tQZ_ConfirmOption answer =
        ConfirmDialog(kSmacTitle, kSmacQuestion, {co_Yes, co_No}, tQZ_Color::FromWindowColor(kSmacColor));
    const qzVelmoProxyRequest request{answer == co_Yes, amount, receipt.GetTotalQuantity().Abs(),
                                      receiptNumber, typeDocument};
    result = ExchangeWithProxy(BuildVelmoProxyRequest(request), ticket);
  }

  if (result) {
    fIOHandler->ResetCustomError();
    fFPCounters.Update(receipt.ReceiptType(), amount);
    StoreUpdatedReceipt(aHandler.XmlString(), receiptNumber, zNumber, ticket);
  } else {
    fIOHandler->WriteLog(let_error, kTitle, fIOHandler->ErrorMessage());
  }
  fIOHandler->WriteLog(let_info, kTitle, "END");
  return result;
}

bool kFiscalProcessor_VELMO::ExchangeWithProxy(const std::string& aRequest, std::string& aTicket) {
  if (!fIOHandler->Connect()) {
    std::string host = "localhost";
    std::string port = "5001";
    if (auto* tcp = dynamic_cast<kIOHandler_TCP*>(fIOHandler.get())) {
      host = tcp->TCPClient().Host();
      port = std::to_string(tcp->TCPClient().Port());
    }
    fIOHandler->SetCustomError(101, "Unable to connect to device " + host + ":" + port);
    return false;
  }
  // Every way out of the exchange, an error included, closes the connection: one connection carries
  // exactly one request and one reply.
  struct DisconnectOnExit {
    kIOHandler& fHandler;
    ~DisconnectOnExit() {
      try {
        fHandler.Disconnect();
      } catch (...) {
      }
    }
  } disconnect{*fIOHandler};

  fIOHandler->ClearBuffers();
  if (!SendProxyRequest(aRequest)) {
    fIOHandler->SetCustomError(100, "Write communication error with Velmo Proxy");
    return false;
  }
  std::string reply;
  ReadProxyReply(kProxyReadTimeoutMs, reply);
  return ParseProxyReply(reply, aTicket);
}

bool kFiscalProcessor_VELMO::SendProxyRequest(const std::string& aRequest) {
  return fIOHandler->Write(aRequest);
}

void kFiscalProcessor_VELMO::ReadProxyReply(std::int32_t aTimeoutMs, std::string& aReply) {
  auto* tcp = dynamic_cast<kIOHandler_TCP*>(fIOHandler.get());
  if (tcp != nullptr) tcp->SetMaxReadSize(kMaxProxyReplySize);
  // The stretched time-out is for this read only, also when the read raises.
  struct TemporaryReadTimeout {
    kIOHandler& fHandler;
    ~TemporaryReadTimeout() {
      try {
        fHandler.ResetTemporaryReadTimeout();
      } catch (...) {
      }
    }
  } restore{*fIOHandler};
  fIOHandler->SetTemporaryReadTimeout(aTimeoutMs);
  aReply = fIOHandler->ReadAll();
  if (tcp != nullptr && tcp->ReadLimitExceeded()) {
    throw QzError("The reply from Velmo Proxy is larger than 16 MiB: it was not read");
  }
}

bool kFiscalProcessor_VELMO::ParseProxyReply(const std::string& aReply, std::string& aTicket) {
  const qzVelmoProxyReply reply = ParseVelmoProxyReply(aReply);
  if (reply.fErrorId != 0) {
    fIOHandler->SetCustomError(reply.fErrorId, reply.fErrorMsg);
    return false;
  }
  fReceiptDateTime = reply.fTimeStamp;
  aTicket = reply.fTicketFormat;
  return true;
}

void kFiscalProcessor_VELMO::StoreUpdatedReceipt(const std::string& aRequestXml, std::int32_t aReceiptNumber,
                                                 std::int32_t aZNumber, const std::string& aTicket) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(
      aRequestXml.data(), aRequestXml.size(), pugi::parse_full & ~pugi::parse_ws_pcdata, pugi::encoding_utf8);
  if (!parsed) {
    throw QzError(std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
  }
  pugi::xml_node receipt = document.document_element().child("Receipt");
  if (!receipt) throw QzError("Receipt node not found");

  SetOrAppendValue(receipt, "Number", std::to_string(aReceiptNumber));
  SetOrAppendValue(receipt, "DateTime", DateTimeToXml(false, fReceiptDateTime));
  SetOrAppendValue(receipt, "ZReportNumber", std::to_string(fFPCounters.CurrentZReportNo()));

  // The ticket goes before any trailer line the host sent, framed by one empty line on each side.
  pugi::xml_node trailer = ChildOrAppended(receipt, "TrailerMessages");
  const pugi::xml_node hostFirstLine = trailer.first_child();
  std::vector<std::string> lines = qztext::SplitLines(aTicket);
  lines.insert(lines.begin(), std::string());
  lines.emplace_back();
  for (const std::string& line : lines) InsertTextLine(trailer, hostFirstLine, "Center", line);

  pugi::xml_node leader = ChildOrAppended(receipt, "LeaderLines");
  InsertTextLine(leader, leader.first_child(), "Right", "EURO");

  const std::string output = DocumentText(document);
  const std::filesystem::path folder = TodayProcessedFolder();
  const std::string name = FormatNumberZeroPadded(aZNumber, 4, 0) + "-" +
                           FormatNumberZeroPadded(fFPCounters.CurrentReceiptNo(), 4, 0) + ".fprd";
  velmofile::WriteFileAtomically((folder / name).string(), JournalText(document, output));
  fXmlOutput = output;
}
