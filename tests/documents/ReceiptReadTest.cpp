// Reading a receipt from the host's request.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReceiptFixtures.h"
#include "documents/uQzReceipt.h"
#include "platform/DateTime.h"

using namespace receipt_test;

namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return *DateTime::Encode(y, mo, d, h, mi, s, ms);
}

const char* kFullReceipt = R"(<Request><Type>Receipt</Type><Receipt>
  <Layout>Shop</Layout>
  <BusinessDate>2024-03-04T00:00:00</BusinessDate>
  <Type>Refund</Type>
  <SubType>R1</SubType>
  <ReceiptTypeDescription>Reso</ReceiptTypeDescription>
  <ExternalReference>EXT-9</ExternalReference>
  <StoreCode>S1</StoreCode><StoreAddress>Via Roma 1</StoreAddress><StoreZipCode>00100</StoreZipCode>
  <StoreCity>Roma</StoreCity><TillCode>T7</TillCode>
  <Number>42</Number>
  <DateTime>2024-03-05T14:07:09.250</DateTime>
  <ZReportNumber>12</ZReportNumber>
  <DeviceSerialNumber>DEV1</DeviceSerialNumber>
  <InvoiceNumber>INV1</InvoiceNumber><InvoiceDateTime>2024-03-06T10:00:00</InvoiceDateTime>
  <TotalAmount>27.5</TotalAmount><TipAmount>1.25</TipAmount>
  <CountryCode>IT</CountryCode><FiscalAreaCode>FA</FiscalAreaCode><CompanyCode>CO</CompanyCode>
  <CompanyTaxCode>IT123</CompanyTaxCode><OperatorCode>OP5</OperatorCode><ReceiptBarcode>BC</ReceiptBarcode>
  <CurrencyCode>EUR</CurrencyCode>
  <CustomerCode>CU</CustomerCode><CustomerCard>CARD</CustomerCard><CustomerBusinessName>ACME</CustomerBusinessName>
  <CustomerName>Anna</CustomerName><CustomerSurname>Bianchi</CustomerSurname><CustomerAddress>Via Po</CustomerAddress>
  <CustomerZIPCode>20100</CustomerZIPCode><CustomerCity>Milano</CustomerCity><CustomerProvince>MI</CustomerProvince>
  <CustomerCountry>IT</CustomerCountry><CustomerTaxCode>BNCNNA</CustomerTaxCode><CustomerIdNumber>ID9</CustomerIdNumber>
  <CustomerDateOfBirth>1990-01-02T00:00:00</CustomerDateOfBirth>
  <LotteryIdCode>LOT</LotteryIdCode>
  <ToBeInvoiced>True</ToBeInvoiced><SendByEmail>1</SendByEmail>
  <EmailReference>ER</EmailReference><EmailRecipients>a@b.it</EmailRecipients>
  <PrintReceipt>false</PrintReceipt>
  <Unknown>ignored</Unknown>
  <References><OriginalReceipt>
    <ReceiptDateTime>2024-02-01T09:30:00</ReceiptDateTime><ReceiptNumber>7</ReceiptNumber>
    <DeviceSerialNumber>D0</DeviceSerialNumber><ServerSerialNumber>SV</ServerSerialNumber>
    <EJNumber>3</EJNumber><EJClosingNumber>4</EJClosingNumber><ExcludeFPCheck>true</ExcludeFPCheck>
    <ReferenceType>Empties</ReferenceType><InvoiceNumber>I0</InvoiceNumber>
    <InvoiceDateTime>2024-02-02T00:00:00</InvoiceDateTime>
  </OriginalReceipt></References>
  <Headers><HeaderLine>first</HeaderLine><Other>second</Other><HeaderLine>third</HeaderLine></Headers>
  <Lines>
    <ProductSale><Code>P1</Code><Description>Pane</Description><Quantity>2</Quantity><UOM>pz</UOM>
      <Department>D1</Department><TaxCode>V4</TaxCode><Price>1.5</Price><Amount>3</Amount>
      <FreeOfCharge>False</FreeOfCharge><Attribute>Product</Attribute></ProductSale>
    <weightedproductsale><Code>W</Code><Quantity>0.35</Quantity><Price>10</Price><Amount>3.5</Amount>
      <Tare>0.01</Tare><FreeOfCharge>1</FreeOfCharge></weightedproductsale>
    <CollectAmount><Description>Deposit</Description><Department>D2</Department><TaxCode>N</TaxCode>
      <Amount>5</Amount></CollectAmount>
    <VoucherSale><Code>V</Code><Description>Buono</Description><Department>D3</Department><TaxCode>N1</TaxCode>
      <Price>20</Price><FreeOfCharge>true</FreeOfCharge></VoucherSale>
    <GiftCardRedeem><Code>G</Code><Price>4</Price><FreeOfCharge>true</FreeOfCharge></GiftCardRedeem>
    <SubTotal><Amount>31.5</Amount></SubTotal>
    <Text><Description>Grazie</Description></Text>
    <DiscountPercentageOnSubTotal><Percentage>10</Percentage><Amount>3</Amount>
      <Description>Promo</Description></DiscountPercentageOnSubTotal>
  </Lines>
  <Taxes>
    <Tax><Type>vat</Type><Code>V4</Code><Description>IVA 4</Description><Rate>4</Rate>
      <TaxableAmount>2.88</TaxableAmount><TaxAmount>0.12</TaxAmount><TotalAmount>3</TotalAmount></Tax>
  </Taxes>
  <Payments>
    <Payment><Type>CreditCard</Type><Description>Visa</Description><Amount>30</Amount><Currency>EUR</Currency>
      <Quantity>1</Quantity><UnitPrice>30</UnitPrice></Payment>
    <Payment><Type>change</Type><Amount>2.5</Amount></Payment>
  </Payments>
  <TrailerMessages>
    <Text><Value>Arrivederci</Value><Size>2</Size><Alignment>Center</Alignment></Text>
    <Barcode><Value>123</Value><Type>QRCode</Type><HRI>false</HRI><QRCodeMinVersion>5</QRCodeMinVersion></Barcode>
    <Image><Alignment>left</Alignment><Value>logo.bmp</Value><Source>filesystem</Source></Image>
  </TrailerMessages>
  <LeaderLines><Text><Value>Benvenuti</Value><Alignment>right</Alignment></Text></LeaderLines>
</Receipt></Request>)";

TEST(ReceiptRead, FullReceiptFillsEveryField) {
  kReceipt r;
  auto doc = ParseRequest(kFullReceipt);
  r.Deserialize(*doc);

  EXPECT_EQ(r.Layout(), "Shop");
  EXPECT_FALSE(r.DefaultLayout());
  EXPECT_EQ(r.BusinessDate(), At(2024, 3, 4));
  EXPECT_EQ(r.ReceiptType(), rt_Refund);
  EXPECT_EQ(r.ReceiptSubtype(), "R1");
  EXPECT_EQ(r.ReceiptTypeDescription(), "Reso");
  EXPECT_EQ(r.ExternalReference(), "EXT-9");
  EXPECT_EQ(r.StoreCode(), "S1");
  EXPECT_EQ(r.StoreAddress(), "Via Roma 1");
  EXPECT_EQ(r.StoreZipCode(), "00100");
  EXPECT_EQ(r.StoreCity(), "Roma");
  EXPECT_EQ(r.TillCode(), "T7");
  EXPECT_EQ(r.ReceiptNumber(), "42");
  EXPECT_EQ(r.ReceiptDateTime(), At(2024, 3, 5, 14, 7, 9, 250));
  EXPECT_EQ(r.ReceiptZReportNumber(), "12");
  EXPECT_EQ(r.DeviceSerialNumber(), "DEV1");
  EXPECT_EQ(r.InvoiceNumber(), "INV1");
  EXPECT_EQ(r.InvoiceDateTime(), At(2024, 3, 6, 10));
  EXPECT_EQ(r.TotalAmount(), C("27.5"));
  EXPECT_EQ(r.TipAmount(), C("1.25"));
  EXPECT_EQ(r.CountryCode(), "IT");
  EXPECT_EQ(r.FiscalAreaCode(), "FA");
  EXPECT_EQ(r.CompanyCode(), "CO");
  EXPECT_EQ(r.CompanyTaxCode(), "IT123");
  EXPECT_EQ(r.OperatorCode(), "OP5");
  EXPECT_EQ(r.ReceiptBarcode(), "BC");
  EXPECT_EQ(r.CurrencyCode(), "EUR");
  EXPECT_EQ(r.CustomerCode(), "CU");
  EXPECT_EQ(r.CustomerCard(), "CARD");
  EXPECT_EQ(r.CustomerBusinessName(), "ACME");
  EXPECT_EQ(r.CustomerName(), "Anna");
  EXPECT_EQ(r.CustomerSurname(), "Bianchi");
  EXPECT_EQ(r.CustomerAddress(), "Via Po");
  EXPECT_EQ(r.CustomerZipCode(), "20100");
  EXPECT_EQ(r.CustomerCity(), "Milano");
  EXPECT_EQ(r.CustomerProvince(), "MI");
  EXPECT_EQ(r.CustomerCountry(), "IT");
  EXPECT_EQ(r.CustomerTaxCode(), "BNCNNA");
  EXPECT_EQ(r.CustomerIdNumber(), "ID9");
  EXPECT_EQ(r.CustomerDateOfBirth(), At(1990, 1, 2));
  EXPECT_EQ(r.LotteryIdCode(), "LOT");
  EXPECT_TRUE(r.ToBeInvoiced());
  EXPECT_TRUE(r.SendByEmail());
  EXPECT_EQ(r.EmailReference(), "ER");
  EXPECT_EQ(r.EmailRecipients(), "a@b.it");
  EXPECT_FALSE(r.PrintReceipt());

  const qzOriginalReceipt& o = r.OriginalReceipt();
  EXPECT_EQ(o.ReceiptDateTime, At(2024, 2, 1, 9, 30));
  EXPECT_EQ(o.ReceiptNumber, "7");
  EXPECT_EQ(o.DeviceSerialNumber, "D0");
  EXPECT_EQ(o.ServerSerialNumber, "SV");
  EXPECT_EQ(o.EJNumber, "3");
  EXPECT_EQ(o.EJClosingNumber, "4");
  EXPECT_TRUE(o.ExcludeFPCheck);
  EXPECT_EQ(o.ReferenceType, rrt_Empties);
  EXPECT_EQ(o.InvoiceNumber, "I0");
  EXPECT_EQ(o.InvoiceDateTime, At(2024, 2, 2));
  EXPECT_EQ(o.ExternalReference, "");

  EXPECT_EQ(r.Headers(), (std::vector<std::string>{"first", "second", "third"}));

  ASSERT_EQ(r.Lines().size(), 8u);
  for (const auto& line : r.Lines()) EXPECT_EQ(line->Owner(), &r);
  const auto* p = dynamic_cast<kReceiptLineProductSale*>(r.Lines()[0].get());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->LineType(), rlt_ProductSale);
  EXPECT_EQ(p->Code(), "P1");
  EXPECT_EQ(p->Description(), "Pane");
  EXPECT_EQ(p->Quantity(), C("2"));
  EXPECT_EQ(p->UOM(), "pz");
  EXPECT_EQ(p->Department(), "D1");
  EXPECT_EQ(p->TaxCode(), "V4");
  EXPECT_EQ(p->Price(), C("1.5"));
  EXPECT_EQ(p->Amount(), C("3"));
  EXPECT_FALSE(p->FreeOfCharge());
  EXPECT_EQ(p->Attribute(), rla_Product);
  EXPECT_EQ(p->VoucherCode(), "");
  EXPECT_EQ(p->AdditionalInfo(), "");

  const auto* w = dynamic_cast<kReceiptLineWeightedProductSale*>(r.Lines()[1].get());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->LineType(), rlt_WeightedProductSale);
  EXPECT_EQ(w->Quantity(), C("0.35"));
  EXPECT_EQ(w->Tare(), C("0.01"));
  EXPECT_TRUE(w->FreeOfCharge());
  EXPECT_EQ(w->Attribute(), rla_Service);

  const auto* c = dynamic_cast<kReceiptLineCollectAmount*>(r.Lines()[2].get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Description(), "Deposit");
  EXPECT_EQ(c->Department(), "D2");
  EXPECT_EQ(c->TaxCode(), "N");
  EXPECT_EQ(c->Amount(), C("5"));

  const auto* v = dynamic_cast<kReceiptLineVoucherSale*>(r.Lines()[3].get());
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->Code(), "V");
  EXPECT_EQ(v->Description(), "Buono");
  EXPECT_EQ(v->Department(), "D3");
  EXPECT_EQ(v->TaxCode(), "N1");
  EXPECT_EQ(v->Price(), C("20"));
  EXPECT_TRUE(v->FreeOfCharge());

  // A redeem line never reads FreeOfCharge: it always counts.
  const auto* g = dynamic_cast<kReceiptLineGiftCardRedeem*>(r.Lines()[4].get());
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Price(), C("4"));
  EXPECT_FALSE(g->FreeOfCharge());
  EXPECT_EQ(g->TaxMode(), "");

  const auto* s = dynamic_cast<kReceiptLineSubtotal*>(r.Lines()[5].get());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Amount(), C("31.5"));
  const auto* t = dynamic_cast<kReceiptLineText*>(r.Lines()[6].get());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Description(), "Grazie");
  const auto* d = dynamic_cast<kReceiptLineDiscountPercentageOnSubTotal*>(r.Lines()[7].get());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->LineType(), rlt_DiscountPercentageOnSubTotal);
  EXPECT_EQ(d->Percentage(), C("10"));
  EXPECT_EQ(d->Amount(), C("3"));
  EXPECT_EQ(d->Description(), "Promo");

  ASSERT_EQ(r.Taxes().size(), 1u);
  const kReceiptTaxLine& tax = *r.Taxes()[0];
  EXPECT_EQ(tax.Owner(), &r);
  EXPECT_EQ(tax.TaxType(), tt_VAT);
  EXPECT_EQ(tax.TaxCode(), "V4");
  EXPECT_EQ(tax.TaxDescription(), "IVA 4");
  EXPECT_EQ(tax.TaxRate(), C("4"));
  EXPECT_EQ(tax.TaxableAmount(), C("2.88"));
  EXPECT_EQ(tax.TaxAmount(), C("0.12"));
  EXPECT_EQ(tax.TotalAmount(), C("3"));

  ASSERT_EQ(r.PaymentLines().size(), 2u);
  const kReceiptPaymentLine& pay = *r.PaymentLines()[0];
  EXPECT_EQ(pay.Owner(), &r);
  EXPECT_EQ(pay.PaymentType(), rpt_CreditCard);
  EXPECT_EQ(pay.Description(), "Visa");
  EXPECT_EQ(pay.Amount(), C("30"));
  EXPECT_EQ(pay.Currency(), "EUR");
  EXPECT_EQ(pay.Quantity(), C("1"));
  EXPECT_EQ(pay.UnitPrice(), C("30"));
  EXPECT_EQ(r.PaymentLines()[1]->PaymentType(), Rpt_Change);

  ASSERT_EQ(r.TrailerMessages().size(), 3u);
  const auto* text = dynamic_cast<kReceiptMessageTextLine*>(r.TrailerMessages()[0].get());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Owner(), &r);
  EXPECT_EQ(text->NFOwner(), nullptr);
  EXPECT_EQ(text->Value(), "Arrivederci");
  EXPECT_EQ(text->Size(), 2);
  EXPECT_EQ(text->Alignment(), la_center);
  EXPECT_EQ(text->Section(), rs_lead);
  EXPECT_TRUE(text->Effects().Empty());
  const auto* barcode = dynamic_cast<kReceiptMessageBarcodeLine*>(r.TrailerMessages()[1].get());
  ASSERT_NE(barcode, nullptr);
  EXPECT_EQ(barcode->Value(), "123");
  EXPECT_EQ(barcode->BarcodeType(), bt_QRCODE);
  EXPECT_FALSE(barcode->HRI());
  EXPECT_EQ(barcode->QRCOdeMinVersion(), 5);
  // The receipt carries no image reference or source: those belong to the non-fiscal receipt.
  const auto* image = dynamic_cast<kReceiptMessageImageLine*>(r.TrailerMessages()[2].get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Alignment(), la_left);
  EXPECT_EQ(image->Value(), "");
  EXPECT_EQ(image->Source(), is_Resource);

  ASSERT_EQ(r.LeaderLines().size(), 1u);
  EXPECT_EQ(r.LeaderLines()[0]->Value(), "Benvenuti");
  EXPECT_EQ(r.LeaderLines()[0]->Alignment(), la_right);
}

TEST(ReceiptRead, MinimalReceiptTakesTheDefaults) {
  kReceipt r;
  ReadInto(r, SaleBody(""));
  EXPECT_EQ(r.Layout(), "DocumentLayout");
  EXPECT_TRUE(r.DefaultLayout());
  EXPECT_TRUE(r.PrintReceipt());
  EXPECT_EQ(r.ReceiptType(), rt_Sale);
  EXPECT_EQ(r.BusinessDate(), DateTime());
  EXPECT_EQ(r.ReceiptDateTime(), DateTime());
  EXPECT_EQ(r.TotalAmount(), Currency());
  EXPECT_FALSE(r.ToBeInvoiced());
  EXPECT_EQ(r.ReceiptNumber(), "");
  EXPECT_EQ(r.OriginalReceipt().ReferenceType, rrt_OriginalReceipt);
  EXPECT_EQ(r.OriginalReceipt().ReceiptNumber, "");
  EXPECT_TRUE(r.Headers().empty());
  EXPECT_TRUE(r.Lines().empty());
  EXPECT_TRUE(r.Taxes().empty());
  EXPECT_TRUE(r.PaymentLines().empty());
  EXPECT_TRUE(r.TrailerMessages().empty());
  EXPECT_TRUE(r.LeaderLines().empty());

  kReceipt emptyLayout;
  ReadInto(emptyLayout, SaleBody("", "", "", "<Layout></Layout>"));
  EXPECT_EQ(emptyLayout.Layout(), "DocumentLayout");
  EXPECT_TRUE(emptyLayout.DefaultLayout());
}

TEST(ReceiptRead, BusinessDateFallsBackToTheReceiptDateTime) {
  kReceipt r;
  ReadInto(r, SaleBody("", "", "", "<DateTime>2024-03-05T14:07:09</DateTime>"));
  EXPECT_EQ(r.BusinessDate(), At(2024, 3, 5, 14, 7, 9));
  EXPECT_EQ(r.BusinessDate(), r.ReceiptDateTime());
}

TEST(ReceiptRead, CustomerPostalCodePrefersTheCapitalisedElement) {
  struct Case {
    const char* extra;
    const char* expected;
  } cases[] = {
      {"<CustomerZIPCode></CustomerZIPCode><CustomerZipCode>B</CustomerZipCode>", "B"},
      {"<CustomerZipCode>B</CustomerZipCode>", "B"},
      {"<CustomerZIPCode>A</CustomerZIPCode><CustomerZipCode>B</CustomerZipCode>", "A"},
      {"", ""},
  };
  for (const Case& c : cases) {
    kReceipt r;
    ReadInto(r, SaleBody("", "", "", c.extra));
    EXPECT_EQ(r.CustomerZipCode(), c.expected) << c.extra;
  }
}

TEST(ReceiptRead, LineElementNamesGiveTheirClassInAnyLetterCase) {
  struct Case {
    const char* element;
    qzReceiptLineType type;
    bool (*isClass)(const kReceiptLine&);
  };
  const auto is = []<typename T>() { return [](const kReceiptLine& l) { return typeid(l) == typeid(T); }; };
  const Case cases[] = {
      {"productsale", rlt_ProductSale, is.operator()<kReceiptLineProductSale>()},
      {"PRODUCTRETURN", rlt_ProductReturn, is.operator()<kReceiptLineProductReturn>()},
      {"WeightedProductSale", rlt_WeightedProductSale, is.operator()<kReceiptLineWeightedProductSale>()},
      {"VoucherSale", rlt_VoucherSale, is.operator()<kReceiptLineVoucherSale>()},
      {"VoucherRedeem", rlt_VoucherRedeem, is.operator()<kReceiptLineVoucherRedeem>()},
      {"GiftCardSale", rlt_GiftCardSale, is.operator()<kReceiptLineGiftCardSale>()},
      {"GiftCardRedeem", rlt_GiftCardRedeem, is.operator()<kReceiptLineGiftCardRedeem>()},
      {"SubTotal", rlt_SubTotal, is.operator()<kReceiptLineSubtotal>()},
      {"Text", rlt_Text, is.operator()<kReceiptLineText>()},
      {"DISCOUNTAMOUNT", rlt_DiscountAmount, is.operator()<kReceiptLineDiscountAmount>()},
      {"DiscountPercentage", rlt_DiscountPercentage, is.operator()<kReceiptLineDiscountPercentage>()},
      {"DiscountAmountOnSubtotal", rlt_DiscountAmountOnSubtotal,
       is.operator()<kReceiptLineDiscountAmountOnSubTotal>()},
      {"DiscountPercentageOnSubTotal", rlt_DiscountPercentageOnSubTotal,
       is.operator()<kReceiptLineDiscountPercentageOnSubTotal>()},
      {"MarkupAmount", rlt_MarkupAmount, is.operator()<kReceiptLineMarkupAmount>()},
      {"MarkupPercentage", rlt_MarkupPercentage, is.operator()<kReceiptLineMarkupPercentage>()},
      {"MarkupAmountOnSubtotal", rlt_MarkupAmountOnSubtotal,
       is.operator()<kReceiptLineMarkupAmountOnSubTotal>()},
      {"MarkupPercentageOnSubTotal", rlt_MarkupPercentageOnSubTotal,
       is.operator()<kReceiptLineMarkupPercentageOnSubTotal>()},
      {"CollectAmount", rlt_CollectAmount, is.operator()<kReceiptLineCollectAmount>()},
  };
  for (const Case& c : cases) {
    kReceipt r;
    ReadInto(r, SaleBody(std::string("<") + c.element + "/>"));
    ASSERT_EQ(r.Lines().size(), 1u) << c.element;
    EXPECT_EQ(r.Lines()[0]->LineType(), c.type) << c.element;
    EXPECT_TRUE(c.isClass(*r.Lines()[0])) << c.element;
  }
}

TEST(ReceiptRead, FailuresAreWordedAsTheHostSeesThem) {
  struct Case {
    std::string request;
    std::string message;
  };
  const Case cases[] = {
      {"<Request><Other/></Request>", "Receipt node not found"},
      {"<Receipt><Type>sale</Type><Lines/><Taxes/><Payments/></Receipt>", "Receipt node not found"},
      {Request("<Lines/><Taxes/><Payments/>"), "ReceiptType  is invalid"},
      {Request("<Type>Sales</Type><Lines/><Taxes/><Payments/>"), "ReceiptType sales is invalid"},
      {Request("<Type>sale</Type><Taxes/><Payments/>"), "Unable to find Lines node "},
      {Request("<Type>sale</Type><Lines/><Payments/>"), "Unable to find Taxes node "},
      {Request("<Type>sale</Type><Lines/><Taxes/>"), "Unable to find Payments node "},
      {Request(SaleBody("<Discount/>")), "LineType discount is invalid"},
      {Request(SaleBody("<Tax><Code>A</Code></Tax>")), "LineType tax is invalid"},
      {Request(SaleBody("", "<Tax><Code>A</Code></Tax>")), "TaxType  is invalid"},
      {Request(SaleBody("", "", "<Payment><Amount>1</Amount></Payment>")), "PaymentType  is invalid"},
      {Request(SaleBody("", "", "", "<TrailerMessages><Text><Value>x</Value></Text></TrailerMessages>")),
       "Alignment  is invalid"},
      {Request(SaleBody("", "", "", "<LeaderLines><Image/></LeaderLines>")), "Alignment  is invalid"},
      {Request(SaleBody("", "", "", "<LeaderLines><Barcode><Value>1</Value></Barcode></LeaderLines>")),
       "BarcodeType  is invalid"},
      {Request(SaleBody("", "", "", "<BusinessDate/>")),
       "Error in processing node BusinessDate as datetime.\r\nDateTime Format invalid: []"},
      {Request(SaleBody(Product("12,5"))),
       "Error in processing node Price as currency.\r\n'12,5' is not a valid floating point value"},
      {Request(SaleBody("", "", "", "<PrintReceipt>yes</PrintReceipt>")),
       "Error in processing node PrintReceipt as boolean.\r\n'yes' is not a valid boolean value"},
      {Request(SaleBody("", "", "", "<Headers><HeaderLine><b>x</b></HeaderLine></Headers>")),
       "Element \"HeaderLine\" does not contain a single text node"},
  };
  for (const Case& c : cases) {
    kReceipt r;
    EXPECT_EQ(ReadError(r, c.request), c.message) << c.request;
  }
}

TEST(ReceiptRead, TheFirstFailureInReadingOrderIsReported) {
  // Lines are read before the missing Taxes element is noticed; the bad line wins.
  kReceipt r;
  EXPECT_EQ(ReadError(r, Request("<Type>sale</Type><Lines><Bad/></Lines>")), "LineType bad is invalid");
  // A bad type comes before everything below it.
  kReceipt r2;
  EXPECT_EQ(ReadError(r2, Request("<Type>x</Type>")), "ReceiptType x is invalid");
}

TEST(ReceiptRead, AnItemThatFailsHalfwayIsNotKept) {
  kReceipt r;
  const std::string lines = Product("10") + "<ProductSale><Code>B</Code><Amount>oops</Amount></ProductSale>";
  EXPECT_NE(ReadError(r, Request(SaleBody(lines))), "");
  ASSERT_EQ(r.Lines().size(), 1u);
  EXPECT_EQ(r.Lines()[0]->GetAmount(), C("10"));
  EXPECT_EQ(r.ReceiptType(), rt_Sale);  // read before the failure, kept

  kReceipt taxes;
  EXPECT_NE(
      ReadError(taxes, Request(SaleBody(
                           "", "<Tax><Type>VAT</Type></Tax><Tax><Type>VAT</Type><Rate>x</Rate></Tax>"))),
      "");
  EXPECT_EQ(taxes.Taxes().size(), 1u);

  kReceipt payments;
  EXPECT_NE(ReadError(payments,
                      Request(SaleBody("", "", "<Payment><Type>cash</Type><Amount>x</Amount></Payment>"))),
            "");
  EXPECT_TRUE(payments.PaymentLines().empty());

  kReceipt messages;
  const std::string trailer =
      "<TrailerMessages><Text><Value>a</Value><Alignment>left</Alignment></Text>"
      "<Barcode><Value>1</Value><Type>ean13</Type><HRI>maybe</HRI></Barcode></TrailerMessages>";
  EXPECT_NE(ReadError(messages, Request(SaleBody("", "", "", trailer))), "");
  EXPECT_EQ(messages.TrailerMessages().size(), 1u);
}

TEST(ReceiptRead, ElementsOfOtherNamesAreSkipped) {
  kReceipt r;
  const std::string extra =
      "<TrailerMessages><text><Value>lower</Value></text><Note/>"
      "<Text><Value>kept</Value><Alignment>left</Alignment></Text></TrailerMessages>";
  ReadInto(r, SaleBody(Product("1") + "stray text<!-- note -->", "<tax><Type>bogus</Type></tax><Summary/>",
                       "<payment/><Tender/>", extra));
  EXPECT_EQ(r.Lines().size(), 1u);
  EXPECT_TRUE(r.Taxes().empty());
  EXPECT_TRUE(r.PaymentLines().empty());
  ASSERT_EQ(r.TrailerMessages().size(), 1u);
  EXPECT_EQ(r.TrailerMessages()[0]->Value(), "kept");
}

TEST(ReceiptRead, CommentsKeptByTheParserAreNotContent) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(
      Request(SaleBody("<!-- none --><ProductSale><Amount><!-- x -->2</Amount></ProductSale>", "", "",
                       "<Headers><!-- h --><H><!-- c -->one</H><H>two<!-- c --></H></Headers>"))
          .c_str(),
      pugi::parse_default | pugi::parse_comments));
  kReceipt r;
  r.Deserialize(doc);
  EXPECT_EQ(r.Headers(), (std::vector<std::string>{"one", "two"}));
  ASSERT_EQ(r.Lines().size(), 1u);
  EXPECT_EQ(r.Lines()[0]->GetAmount(), C("2"));
}

TEST(ReceiptRead, OnlyTheFirstListElementIsRead) {
  kReceipt r;
  ReadInto(r, SaleBody(Product("1")) + "<Lines>" + Product("2") + Product("3") + "</Lines>");
  ASSERT_EQ(r.Lines().size(), 1u);
  EXPECT_EQ(r.Lines()[0]->GetAmount(), C("1"));
}

TEST(ReceiptRead, BarcodeDefaultsAndSmallestQrVersion) {
  struct Case {
    const char* children;
    bool hri;
    int version;
  } cases[] = {
      {"", true, 1},
      {"<QRCodeMinVersion>0</QRCodeMinVersion>", true, 1},
      {"<QRCodeMinVersion>-4</QRCodeMinVersion>", true, 1},
      {"<QRCodeMinVersion>2</QRCodeMinVersion><HRI>0</HRI>", false, 2},
  };
  for (const Case& c : cases) {
    kReceipt r;
    ReadInto(r, SaleBody("", "", "",
                         std::string("<LeaderLines><Barcode><Type>ean8</Type>") + c.children +
                             "</Barcode></LeaderLines>"));
    ASSERT_EQ(r.LeaderLines().size(), 1u);
    const auto& b = dynamic_cast<const kReceiptMessageBarcodeLine&>(*r.LeaderLines()[0]);
    EXPECT_EQ(b.HRI(), c.hri) << c.children;
    EXPECT_EQ(b.QRCOdeMinVersion(), c.version) << c.children;
  }
}

TEST(ReceiptRead, ReadingAppendsToWhatTheReceiptHolds) {
  kReceipt r;
  ReadInto(r, SaleBody(Product("1")));
  ReadInto(r, SaleBody(Product("2")));
  EXPECT_EQ(r.Lines().size(), 2u);
}

TEST(ReceiptRead, DeeplyNestedValueFailsCleanly) {
  // A hostile request nests elements far deeper than any receipt; reading must answer with an error,
  // not exhaust the stack.
  const int depth = 200000;
  std::string nested;
  nested.reserve(depth * 7);
  for (int i = 0; i < depth; ++i) nested += "<a>";
  for (int i = 0; i < depth; ++i) nested += "</a>";
  kReceipt r;
  const std::string message =
      ReadError(r, Request(SaleBody("<ProductSale><Code>" + nested + "</Code></ProductSale>")));
  EXPECT_EQ(
      message,
      "Error in processing node Code as string.\r\nElement \"Code\" does not contain a single text node");
  EXPECT_TRUE(r.Lines().empty());
}

TEST(ReceiptRead, ManyLinesAreAllRead) {
  std::string lines;
  const int count = 20000;
  for (int i = 0; i < count; ++i) lines += Product("1.01");
  kReceipt r;
  ReadInto(r, SaleBody(lines));
  ASSERT_EQ(r.Lines().size(), static_cast<std::size_t>(count));
  EXPECT_EQ(r.GetCalculatedAmount(), C("20200"));
}

}  // namespace
