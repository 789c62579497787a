#include <gtest/gtest.h>

#include <functional>
#include <pugixml.hpp>
#include <string>

#include "documents/uQzReceipt.h"
#include "platform/QzError.h"

namespace {

pugi::xml_document Request(const std::string& aBody) {
  pugi::xml_document doc;
  const std::string xml = "<Request><Type>x</Type>" + aBody + "</Request>";
  const pugi::xml_parse_result result = doc.load_string(xml.c_str());
  EXPECT_TRUE(result) << result.description();
  return doc;
}

template <typename TDocument>
std::string ReadError(TDocument& aDocument, const std::string& aBody) {
  const auto doc = Request(aBody);
  try {
    aDocument.Deserialize(doc);
  } catch (const QzError& e) {
    return e.what();
  }
  return "<no error>";
}

template <typename TDocument>
std::string ReadError(const std::string& aBody) {
  TDocument document;
  return ReadError(document, aBody);
}

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return *DateTime::Encode(y, mo, d, h, mi, s);
}

template <typename TLine>
const TLine& As(const std::unique_ptr<kReceiptMessageLine>& aLine) {
  const auto* line = dynamic_cast<const TLine*>(aLine.get());
  EXPECT_NE(line, nullptr);
  return *line;
}

TEST(Documents, EachDocumentNeedsItsElementDirectlyUnderTheRoot) {
  // A document element nested deeper, or spelled in another case, is not the document.
  const std::string body =
      "<Wrapper><NFReceipt/><Display/><Drawer/><EJReport/><Payment/><ReceiptReference/>"
      "<EJRequest/></Wrapper><drawer/>";
  EXPECT_EQ(ReadError<kNFReceipt>(body), "NFReceipt node not found");
  EXPECT_EQ(ReadError<kCustomerDisplay>(body), "Display node not found");
  EXPECT_EQ(ReadError<kDrawer>(body), "Drawer node not found");
  EXPECT_EQ(ReadError<kEJReport>(body), "EJReport node not found");
  EXPECT_EQ(ReadError<kPaymentReceipt>(body), "Payment node not found");
  EXPECT_EQ(ReadError<kReceiptReference>(body), "ReceiptReference node not found");
  EXPECT_EQ(ReadError<kEJFilesRequest>(body), "EJRequest node not found");
}

TEST(Documents, NonFiscalReceiptWithItsThreeGroups) {
  kNFReceipt nf;
  const auto doc = Request(
      "<NFReceipt><StoreCode>S1</StoreCode><TillCode>T2</TillCode><Number>77</Number>"
      "<DateTime>2024-03-05T14:07:09</DateTime><CountryCode>IT</CountryCode><CompanyCode>C</CompanyCode>"
      "<CompanyTaxCode>IT123</CompanyTaxCode><OperatorCode>OP</OperatorCode><Unknown>ignored</Unknown>"
      "<Header><Lines>"
      "<Barcode><Value>123</Value><Type>QRCODE</Type><QRCodeMinVersion>0</QRCodeMinVersion></Barcode>"
      "<Note>skipped</Note>"
      "<Image><Alignment>left</Alignment><Value>logo.bmp</Value><Source>FileSystem</Source></Image>"
      "</Lines></Header>"
      "<Lines>"
      "<Text><Value>Grazie</Value><Size>2</Size><Alignment>Center</Alignment><Effects>bold,underline</"
      "Effects></Text>"
      "<Text><Value>x</Value><Alignment>right</Alignment><Effects/></Text>"
      "<Barcode><Value>9</Value><Type>ean8</Type><HRI>false</HRI><QRCodeMinVersion>7</QRCodeMinVersion></"
      "Barcode>"
      "</Lines>"
      "<Footer><Lines><Image><Alignment>center</Alignment><Value>bye</Value><Source>resource</Source></Image>"
      "</Lines></Footer></NFReceipt>");
  nf.Deserialize(doc);

  EXPECT_EQ(nf.Layout(), "DocumentLayout");
  EXPECT_TRUE(nf.DefaultLayout());
  EXPECT_EQ(nf.StoreCode(), "S1");
  EXPECT_EQ(nf.TillCode(), "T2");
  EXPECT_EQ(nf.ReceiptNumber(), "77");
  EXPECT_EQ(nf.ReceiptDateTime(), At(2024, 3, 5, 14, 7, 9));
  EXPECT_EQ(nf.CountryCode(), "IT");
  EXPECT_EQ(nf.CompanyCode(), "C");
  EXPECT_EQ(nf.CompanyTaxCode(), "IT123");
  EXPECT_EQ(nf.OperatorCode(), "OP");

  ASSERT_EQ(nf.HeaderLines().size(), 2u);
  const auto& headerBarcode = As<kReceiptMessageBarcodeLine>(nf.HeaderLines()[0]);
  EXPECT_EQ(headerBarcode.NFOwner(), &nf);
  EXPECT_EQ(headerBarcode.Owner(), nullptr);
  EXPECT_EQ(headerBarcode.Section(), rs_lead);
  EXPECT_EQ(headerBarcode.Value(), "123");
  EXPECT_EQ(headerBarcode.BarcodeType(), bt_QRCODE);
  EXPECT_TRUE(headerBarcode.HRI());
  EXPECT_EQ(headerBarcode.QRCOdeMinVersion(), 1);
  const auto& headerImage = As<kReceiptMessageImageLine>(nf.HeaderLines()[1]);
  EXPECT_EQ(headerImage.Section(), rs_lead);
  EXPECT_EQ(headerImage.Alignment(), la_left);
  EXPECT_EQ(headerImage.Value(), "logo.bmp");
  EXPECT_EQ(headerImage.Source(), is_FileSystem);

  ASSERT_EQ(nf.Lines().size(), 3u);
  const auto& text = As<kReceiptMessageTextLine>(nf.Lines()[0]);
  EXPECT_EQ(text.Section(), rs_body);
  EXPECT_EQ(text.Value(), "Grazie");
  EXPECT_EQ(text.Size(), 2);
  EXPECT_EQ(text.Alignment(), la_center);
  EXPECT_EQ(text.Effects(), (qzReceiptMessageLineEffectSet{le_bold, le_underline}));
  EXPECT_TRUE(As<kReceiptMessageTextLine>(nf.Lines()[1]).Effects().Empty());
  const auto& bodyBarcode = As<kReceiptMessageBarcodeLine>(nf.Lines()[2]);
  EXPECT_EQ(bodyBarcode.Section(), rs_body);
  EXPECT_FALSE(bodyBarcode.HRI());
  EXPECT_EQ(bodyBarcode.QRCOdeMinVersion(), 7);

  ASSERT_EQ(nf.FooterLines().size(), 1u);
  const auto& footerImage = As<kReceiptMessageImageLine>(nf.FooterLines()[0]);
  EXPECT_EQ(footerImage.Section(), rs_trail);
  EXPECT_EQ(footerImage.Value(), "bye");
  // The image reference is the image line's own value, not the text value of the base.
  EXPECT_EQ(static_cast<const kReceiptMessageLine&>(footerImage).Value(), "");
}

TEST(Documents, NonFiscalReceiptMinimalAndNamedLayout) {
  kNFReceipt bare;
  bare.Deserialize(Request("<NFReceipt/>"));
  EXPECT_EQ(bare.Layout(), "DocumentLayout");
  EXPECT_TRUE(bare.HeaderLines().empty() && bare.Lines().empty() && bare.FooterLines().empty());

  kNFReceipt named;
  named.Deserialize(Request("<NFReceipt><Layout>Coupon</Layout><Header/></NFReceipt>"));
  EXPECT_EQ(named.Layout(), "Coupon");
  EXPECT_FALSE(named.DefaultLayout());
}

// Each group has its own reading order; with two bad values in one element, the order decides which is
// reported.
TEST(Documents, NonFiscalGroupsReportTheFirstBadValueInTheirOwnOrder) {
  const std::string badBarcode = "<Barcode><Value>1</Value><Type>ean99</Type><HRI>maybe</HRI></Barcode>";
  const std::string badImage =
      "<Image><Alignment>left</Alignment><Value><x/></Value><Source>web</Source></Image>";
  const std::string hriError =
      "Error in processing node HRI as boolean.\r\n'maybe' is not a valid boolean value";
  const std::string typeError = "BarcodeType ean99 is invalid";
  const std::string valueError =
      "Error in processing node Value as string.\r\nElement \"Value\" does not contain a single text node";
  const std::string sourceError = "Image Source web is invalid";
  const struct {
    const char* Group;
    std::string Body;
    std::string Message;
  } cases[] = {
      {"header barcode", "<Header><Lines>" + badBarcode + "</Lines></Header>", hriError},
      {"body barcode", "<Lines>" + badBarcode + "</Lines>", typeError},
      {"footer barcode", "<Footer><Lines>" + badBarcode + "</Lines></Footer>", typeError},
      {"header image", "<Header><Lines>" + badImage + "</Lines></Header>", valueError},
      {"body image", "<Lines>" + badImage + "</Lines>", sourceError},
      {"footer image", "<Footer><Lines>" + badImage + "</Lines></Footer>", valueError},
      {"text without alignment", "<Lines><Text><Value>a</Value><Effects>blink</Effects></Text></Lines>",
       "Alignment  is invalid"},
      {"text with a blank in its effects",
       "<Lines><Text><Value>a</Value><Alignment>left</Alignment><Effects>bold, "
       "italic</Effects></Text></Lines>",
       "Effect  italic is invalid"},
      {"barcode without type", "<Lines><Barcode><Value>1</Value></Barcode></Lines>",
       "BarcodeType  is invalid"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadError<kNFReceipt>("<NFReceipt>" + c.Body + "</NFReceipt>"), c.Message) << c.Group;
  }
}

TEST(Documents, FailureKeepsWhatWasReadAndDropsTheLineBeingRead) {
  kNFReceipt nf;
  EXPECT_EQ(
      ReadError(nf,
                "<NFReceipt><StoreCode>S1</StoreCode><Lines>"
                "<Text><Value>ok</Value><Alignment>left</Alignment></Text>"
                "<Text><Value>bad</Value><Alignment>middle</Alignment></Text>"
                "<Text><Value>never</Value><Alignment>left</Alignment></Text>"
                "</Lines><Footer><Lines><Text><Value>f</Value><Alignment>left</Alignment></Text></Lines>"
                "</Footer></NFReceipt>"),
      "Alignment middle is invalid");
  EXPECT_EQ(nf.StoreCode(), "S1");
  ASSERT_EQ(nf.Lines().size(), 1u);
  EXPECT_EQ(As<kReceiptMessageTextLine>(nf.Lines()[0]).Value(), "ok");
  EXPECT_TRUE(nf.FooterLines().empty());
}

TEST(Documents, DisplayReadsTextLinesOnlyAndHandsThemOutNormalized) {
  kCustomerDisplay display;
  display.Deserialize(
      Request("<Display><Clear>true</Clear><Lines>"
              "<Text><Value>TOTALE \xE2\x82\xAC 5</Value><Alignment>LEFT</Alignment><Size>9</Size></Text>"
              "<Barcode><Value>1</Value></Barcode>"
              "<Text><Value>b</Value><Alignment>right</Alignment></Text>"
              "</Lines></Display>"));
  EXPECT_TRUE(display.Clear());
  ASSERT_EQ(display.Lines().size(), 2u);
  const auto& first = As<kReceiptMessageTextLine>(display.Lines()[0]);
  EXPECT_EQ(first.Owner(), nullptr);
  EXPECT_EQ(first.NFOwner(), nullptr);
  EXPECT_EQ(first.Value(), "TOT. E 5");
  EXPECT_EQ(first.Alignment(), la_left);
  EXPECT_EQ(first.Size(), 0);

  EXPECT_EQ(ReadError<kCustomerDisplay>("<Display><Lines><Text><Value>a</Value></Text></Lines></Display>"),
            "Alignment  is invalid");
  kCustomerDisplay quiet;
  quiet.Deserialize(Request("<Display/>"));
  EXPECT_FALSE(quiet.Clear());
  EXPECT_TRUE(quiet.Lines().empty());
}

TEST(Documents, DrawerNumber) {
  kDrawer drawer;
  drawer.Deserialize(Request("<Drawer><Number>2</Number></Drawer>"));
  EXPECT_EQ(drawer.Number(), 2);
  EXPECT_EQ(ReadError<kDrawer>("<Drawer><Number>two</Number></Drawer>"),
            "Error in processing node Number as integer.\r\n'two' is not a valid integer value");
}

TEST(Documents, JournalReport) {
  kEJReport report;
  report.Deserialize(
      Request("<EJReport><ReportType>CreditNote</ReportType><ReportDestination>memory</ReportDestination>"
              "<StartDate>2024-01-01T00:00:00</StartDate><EndDate>2024-01-31T23:59:59.500</EndDate>"
              "<StartNumber>5</StartNumber><EndNumber>abc</EndNumber></EJReport>"));
  EXPECT_EQ(report.ReportType(), ejrt_CreditNote);
  EXPECT_EQ(report.Destination(), rd_Memory);
  EXPECT_EQ(report.StartDate(), At(2024, 1, 1));
  EXPECT_EQ(report.EndDate(), *DateTime::Encode(2024, 1, 31, 23, 59, 59, 500));
  EXPECT_EQ(report.StartNumber(), 5);
  EXPECT_EQ(report.EndNumber(), 0);

  const std::string period =
      "<StartDate>2024-01-01T00:00:00</StartDate><EndDate>2024-01-02T00:00:00</EndDate>";
  const struct {
    std::string Body;
    std::string Message;
  } cases[] = {
      // The dates are converted as they stand: no reader message around the date-time one.
      {"<ReportType>zreport</ReportType><ReportDestination>printer</ReportDestination>",
       "DateTime Format invalid: []"},
      {"<ReportType>zreport</ReportType><ReportDestination>printer</ReportDestination>"
       "<StartDate>2024-01-01T00:00:00</StartDate><EndDate>yesterday</EndDate>",
       "DateTime Format invalid: [yesterday]"},
      {"<ReportDestination>printer</ReportDestination>" + period, "ReportType  is invalid"},
      {"<ReportType>XReport</ReportType><ReportDestination>fax</ReportDestination>",
       "ReportType xreport is invalid"},
      {"<ReportType>invoice</ReportType><ReportDestination>Fax</ReportDestination>" + period,
       "ReportDestination fax is invalid"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadError<kEJReport>("<EJReport>" + c.Body + "</EJReport>"), c.Message);
}

TEST(Documents, PaymentReceipt) {
  kPaymentReceipt payment;
  payment.Deserialize(Request(
      "<Payment><Copies>2</Copies><StoreCode>S</StoreCode><TillCode>T</TillCode><Reference>R-1</Reference>"
      "<Amount>12.34</Amount><Currency>EUR</Currency><ReceiptId>ID9</ReceiptId><PrintLocation>EFT</"
      "PrintLocation>"
      "</Payment>"));
  EXPECT_EQ(payment.Copies(), 2);
  EXPECT_EQ(payment.StoreCode(), "S");
  EXPECT_EQ(payment.TillCode(), "T");
  EXPECT_EQ(payment.Reference(), "R-1");
  EXPECT_EQ(payment.Amount(), Currency::FromRaw(123400));
  EXPECT_EQ(payment.Currency(), "EUR");
  EXPECT_EQ(payment.ReceiptId(), "ID9");
  EXPECT_EQ(payment.PrintLocation(), pl_EFT);

  kPaymentReceipt unchanged;
  unchanged.SetPrintLocation(pl_EFT);
  unchanged.Deserialize(Request("<Payment><Copies>-2</Copies><PrintLocation/></Payment>"));
  EXPECT_EQ(unchanged.PrintLocation(), pl_EFT);
  EXPECT_EQ(unchanged.Copies(), 0);

  kPaymentReceipt ecr;
  ecr.SetPrintLocation(pl_EFT);
  ecr.Deserialize(Request("<Payment><PrintLocation>ECR</PrintLocation></Payment>"));
  EXPECT_EQ(ecr.PrintLocation(), pl_ECR);

  kPaymentReceipt lower;
  EXPECT_EQ(ReadError(lower, "<Payment><Amount>5</Amount><PrintLocation>ecr</PrintLocation></Payment>"),
            "Payment Location ecr invalid. Allowed values are: ECR,EFT.");
  EXPECT_EQ(lower.Amount(), Currency::FromUnits(5));
  EXPECT_EQ(ReadError<kPaymentReceipt>("<Payment><Amount>1,5</Amount></Payment>"),
            "Error in processing node Amount as currency.\r\n'1,5' is not a valid floating point value");
}

TEST(Documents, ReceiptReferenceReadsOptionalValuesOnlyWhenPresent) {
  kReceiptReference reference;
  reference.SetEJNumber("kept");
  reference.SetDeviceSerialNumber("kept too");
  reference.SetReceiptNumber("overwritten");
  reference.Deserialize(
      Request("<ReceiptReference><ReceiptType>REFUND</ReceiptType><EJClosingNumber>12</EJClosingNumber>"
              "<ReceiptDateTime/></ReceiptReference>"));
  EXPECT_EQ(reference.ReceiptType(), rt_Refund);
  EXPECT_EQ(reference.EJNumber(), "kept");
  EXPECT_EQ(reference.EJClosingNumber(), "12");
  EXPECT_EQ(reference.ReceiptDateTime().Value(), 0.0);
  EXPECT_EQ(reference.ReceiptNumber(), "");
  EXPECT_EQ(reference.DeviceSerialNumber(), "kept too");

  kReceiptReference full;
  full.Deserialize(Request(
      "<ReceiptReference><ReceiptType>void</ReceiptType><EJNumber/><ReceiptDateTime>2024-03-05T10:00:00"
      "</ReceiptDateTime><ReceiptNumber>0001-0002</ReceiptNumber><DeviceSerialNumber>99MEY</"
      "DeviceSerialNumber>"
      "</ReceiptReference>"));
  EXPECT_EQ(full.ReceiptType(), rt_Void);
  EXPECT_EQ(full.ReceiptDateTime(), At(2024, 3, 5, 10));
  EXPECT_EQ(full.ReceiptNumber(), "0001-0002");
  EXPECT_EQ(full.DeviceSerialNumber(), "99MEY");

  EXPECT_EQ(ReadError<kReceiptReference>("<ReceiptReference/>"), "ReceiptType  is invalid");
  EXPECT_EQ(
      ReadError<kReceiptReference>(
          "<ReceiptReference><ReceiptType>sale</ReceiptType><ReceiptDateTime>05/03/2024</ReceiptDateTime>"
          "</ReceiptReference>"),
      "Error in processing node ReceiptDateTime as datetime.\r\nDateTime Format invalid: [05/03/2024]");
}

TEST(Documents, JournalFilesRequest) {
  kEJFilesRequest request;
  const DateTime before = At(2020, 1, 1);
  request.SetEndDate(before);
  request.Deserialize(Request(
      "<EJRequest><RequestType>XML</RequestType><StartDate>2024-02-01T00:00:00</StartDate><EndDate></EndDate>"
      "<OutputDir>/tmp/ej</OutputDir></EJRequest>"));
  EXPECT_EQ(request.ReqType(), ej_xml);
  EXPECT_EQ(request.StartDate(), At(2024, 2, 1));
  EXPECT_EQ(request.EndDate(), before);
  EXPECT_EQ(request.OutputDir(), "/tmp/ej");

  EXPECT_EQ(ReadError<kEJFilesRequest>("<EJRequest><RequestType>json</RequestType></EJRequest>"),
            "ReferenceType json is invalid");
  EXPECT_EQ(
      ReadError<kEJFilesRequest>(
          "<EJRequest><RequestType>xml</RequestType><StartDate>2024-13-01T00:00:00</StartDate></EJRequest>"),
      "Error in processing node StartDate as datetime.\r\nDateTime Format invalid: [2024-13-01T00:00:00]");
}

}  // namespace
