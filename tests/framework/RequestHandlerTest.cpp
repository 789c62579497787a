// The parsed request: the driver name from the Processor parameter, the fixed connection to the local
// proxy, and the documents read only when asked for.

#include <gtest/gtest.h>

#include "FrameworkFixtures.h"
#include "documents/uQzReceipt.h"
#include "framework/uQzFiscalProcessor.h"
#include "io/uQZIOHandler.h"
#include "platform/QzError.h"

namespace {

using qzfwtest::Request;

const char* const kReceipt =
    "<Receipt><Type>Sale</Type><Number>15</Number><Lines><ProductSale><Description>Pane</Description>"
    "<Quantity>1</Quantity><Price>2.5</Price><Amount>2.5</Amount></ProductSale></Lines><Taxes/>"
    "<Payments><Payment><Type>Cash</Type><Amount>2.5</Amount></Payment></Payments></Receipt>";

std::string ErrorOf(const std::string& aXml, qzReceiptHandlerDocumentTypes aTypes = {}) {
  kFiscalProcessorHandler handler;
  try {
    handler.Deserialize(aXml, aTypes);
  } catch (const QzError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(RequestHandlerTest, TheProcessorParameterNamesTheDriverAndTheProxyConnectionReplacesTheRequests) {
  const std::string xml =
      "<Request><Driver>OTHER</Driver><Method>OPEN</Method><LogId>3</LogId>"
      "<Connection><Type>Serial</Type><SerialPort>COM1</SerialPort><Parity>none</Parity>"
      "<ConnectTimeout>777</ConnectTimeout></Connection>"
      "<Parameters><Processor>QZFP_VELMO_10</Processor><FPTillSerial>0042</FPTillSerial></Parameters></"
      "Request>";
  kFiscalProcessorHandler handler;
  handler.Deserialize(xml, {});

  EXPECT_EQ(handler.Driver(), "QZFP_VELMO_10");
  EXPECT_EQ(handler.TillSerial(), "0042");
  EXPECT_EQ(handler.XmlString(), xml);  // as received, with the host's own Driver and Connection
  const kConnection& c = handler.Connection();
  EXPECT_EQ(c.ConnectionType(), qzConnectionType::TCP);
  EXPECT_EQ(c.Address(), "localhost");
  EXPECT_EQ(c.Port(), 5001);
  EXPECT_EQ(c.ConnectTimeOut(), 3000);
  EXPECT_EQ(c.ReadTimeOut(), 5000);
  EXPECT_EQ(c.SerialPort(), "");
}

TEST(RequestHandlerTest, TheConnectTimeoutParameterStillWins) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<Processor>QZFP_VELMO_10</Processor><ConnectTimeout>10000</ConnectTimeout>",
                              "<Connection><Type>TCP</Type><ConnectTimeout>50</ConnectTimeout></Connection>"),
                      {});
  EXPECT_EQ(handler.Connection().ConnectTimeOut(), 10000);
}

TEST(RequestHandlerTest, ProcessorSpelledInCapitalsIsAcceptedAnEmptyOneGivesAnEmptyDriver) {
  kFiscalProcessorHandler upper;
  upper.Deserialize(Request("<PROCESSOR>QZFP_VELMO_10</PROCESSOR>"), {});
  EXPECT_EQ(upper.Driver(), "QZFP_VELMO_10");
  EXPECT_EQ(upper.TillSerial(), "");

  kFiscalProcessorHandler empty;
  empty.Deserialize(Request("<Processor/>"), {});
  EXPECT_EQ(empty.Driver(), "");
}

TEST(RequestHandlerTest, RequestsWithoutTheirEnvelopeElementsFail) {
  struct Case {
    const char* what;
    std::string xml;
    std::string message;
  };
  const Case cases[] = {
      {"no Parameters", "<Request><Driver>D</Driver></Request>", "Parameters node not found"},
      {"no Processor", Request("<FPTillSerial>1</FPTillSerial>"), "Processor node not found"},
      {"lower-case processor", Request("<processor>QZFP_VELMO_10</processor>"), "Processor node not found"},
      {"no Driver", Request("<Processor>QZFP_VELMO_10</Processor>", "", ""), "Driver node not found"},
      {"Processor holding elements", Request("<Processor><Name>X</Name></Processor>"),
       "Error in processing node Processor as string.\r\nElement \"Processor\" does not contain a single "
       "text node"},
      {"envelope error after the rewrite", Request("<Processor>P</Processor>", "<Handle>x</Handle>"),
       "Error in processing node Handle as integer.\r\n'x' is not a valid integer value"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.xml), c.message) << c.what;

  const std::string notXml = ErrorOf("");
  EXPECT_NE(notXml.find("at offset"), std::string::npos) << notXml;
}

TEST(RequestHandlerTest, OnlyTheAskedDocumentsAreRead) {
  const std::string xml = Request("<Processor>QZFP_VELMO_10</Processor>", kReceipt);

  kFiscalProcessorHandler report;  // a Z report request that happens to carry a receipt
  report.Deserialize(xml, {});
  EXPECT_TRUE(report.Receipt().Lines().empty());
  EXPECT_EQ(report.Receipt().ReceiptNumber(), "");

  kFiscalProcessorHandler receipt;
  receipt.Deserialize(xml, {dt_Receipt});
  EXPECT_EQ(receipt.Receipt().ReceiptNumber(), "15");
  EXPECT_EQ(receipt.Receipt().Lines().size(), 1u);

  EXPECT_EQ(ErrorOf(Request("<Processor>QZFP_VELMO_10</Processor>"), {dt_Receipt}), "Receipt node not found");
  // dt_XReport and dt_ZReport select no document.
  EXPECT_EQ(ErrorOf(Request("<Processor>QZFP_VELMO_10</Processor>"), {dt_XReport, dt_ZReport}), "(no error)");
}

TEST(RequestHandlerTest, TablesDrawerAndReferencesAreReadIntoTheirDocuments) {
  const std::string xml =
      Request("<Processor>QZFP_VELMO_10</Processor>",
              "<Drawer><Number>2</Number></Drawer>"
              "<VATTable><Vat><Code>A</Code><Rate>22</Rate></Vat></VATTable>"
              "<DeptTable><Dept><Code>D1</Code><EACode>E1</EACode><EADescription>Bar</EADescription>"
              "<EAVATMode>1</EAVATMode></Dept><Dept><Code>D2</Code><EACode>E1</EACode></Dept></DeptTable>"
              "<ReceiptReference><ReceiptType>Refund</ReceiptType><ReceiptNumber>9</ReceiptNumber></"
              "ReceiptReference>");
  kFiscalProcessorHandler handler;
  handler.Deserialize(xml, {dt_Drawer, dt_VatTable, dt_DeptTable, dt_ReceiptReference});

  EXPECT_EQ(handler.Drawer().Number(), 2);
  ASSERT_EQ(handler.VATTable().size(), 1u);
  EXPECT_EQ(handler.VATTable()[0]->Code(), "A");
  EXPECT_EQ(handler.DeptTable().size(), 2u);
  ASSERT_EQ(handler.EATable().size(), 1u);
  EXPECT_EQ(handler.EATable()[0]->Description(), "Bar");
  EXPECT_EQ(handler.ReceiptReference().ReceiptType(), rt_Refund);
  EXPECT_EQ(handler.ReceiptReference().ReceiptNumber(), "9");

  // A missing selected document fails with its reader's message.
  EXPECT_EQ(ErrorOf(Request("<Processor>P</Processor>"), {dt_EJFilesRequest}), "EJRequest node not found");
  EXPECT_EQ(ErrorOf(Request("<Processor>P</Processor>"), {dt_DeptTable}), "DeptTable node not found");
}

}  // namespace
