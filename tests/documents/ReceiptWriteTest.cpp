// Writing a receipt as XML, and reading the written form back.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ReceiptFixtures.h"
#include "documents/uQzReceipt.h"

using namespace receipt_test;

namespace {

using Children = std::vector<std::pair<std::string, std::string>>;

Children ChildrenOf(const pugi::xml_node& aNode) {
  Children children;
  for (pugi::xml_node c : aNode.children()) children.emplace_back(c.name(), c.child_value());
  return children;
}

std::unique_ptr<pugi::xml_document> Written(const kReceipt& aReceipt) {
  auto doc = std::make_unique<pugi::xml_document>();
  EXPECT_TRUE(doc->load_string(aReceipt.Serialize().c_str(), pugi::parse_default | pugi::parse_declaration));
  return doc;
}

TEST(ReceiptWrite, EmptyReceiptWritesEveryElement) {
  kReceipt r;
  const std::string text = r.Serialize();
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0u) << text;

  auto doc = Written(r);
  const pugi::xml_node receipt = doc->document_element();
  EXPECT_STREQ(receipt.name(), "Receipt");
  const std::string zero = "1899-12-30T00:00:00";
  const Children expected = {
      {"Layout", ""},
      {"BusinessDate", zero},
      {"Type", "Sale"},
      {"SubType", ""},
      {"ReceiptTypeDescription", ""},
      {"ExternalReference", ""},
      {"StoreCode", ""},
      {"StoreAddress", ""},
      {"StoreZipCode", ""},
      {"StoreCity", ""},
      {"TillCode", ""},
      {"Number", ""},
      {"ReceiptDateTime", zero},
      {"ReceiptZReportNumber", ""},
      {"DeviceSerialNumber", ""},
      {"InvoiceNumber", ""},
      {"InvoiceDateTime", zero},
      {"TotalAmount", "0"},
      {"TipAmount", "0"},
      {"CountryCode", ""},
      {"FiscalAreaCode", ""},
      {"CompanyCode", ""},
      {"CompanyTaxCode", ""},
      {"OperatorCode", ""},
      {"ReceiptBarcode", ""},
      {"CurrencyCode", ""},
      {"CustomerCode", ""},
      {"CustomerCard", ""},
      {"CustomerBusinessName", ""},
      {"CustomerName", ""},
      {"CustomerSurname", ""},
      {"CustomerAddress", ""},
      {"CustomerZIPCode", ""},
      {"CustomerCity", ""},
      {"CustomerProvince", ""},
      {"CustomerCountry", ""},
      {"CustomerTaxCode", ""},
      {"CustomerIdNumber", ""},
      {"CustomerDateOfBirth", zero},
      {"LotteryIdCode", ""},
      {"ToBeInvoiced", "False"},
      {"SendByEmail", "False"},
      {"EmailReference", ""},
      {"EmailRecipients", ""},
      {"PrintReceipt", "False"},
      {"References", ""},
      {"Headers", ""},
      {"Lines", ""},
      {"Taxes", ""},
      {"Payments", ""},
      {"TrailerMessages", ""},
      {"LeaderLines", ""},
  };
  EXPECT_EQ(ChildrenOf(receipt), expected);
  EXPECT_EQ(ChildrenOf(receipt.child("References").child("OriginalReceipt")),
            (Children{{"ReceiptDateTime", zero},
                      {"ReceiptNumber", ""},
                      {"DeviceSerialNumber", ""},
                      {"ServerSerialNumber", ""},
                      {"EJNumber", ""},
                      {"EJClosingNumber", ""},
                      {"ExcludeFPCheck", "False"},
                      {"ReferenceType", "OriginalReceipt"},
                      {"InvoiceNumber", ""},
                      {"InvoiceDateTime", zero}}));
  for (const char* list : {"Headers", "Lines", "Taxes", "Payments", "TrailerMessages", "LeaderLines"})
    EXPECT_FALSE(receipt.child(list).first_child()) << list;
}

const char* kLines =
    "<productsale><Code>P</Code><Description>\xC3\x88 "
    "caff\xC3\xA8</Description><Quantity>2</Quantity><UOM>pz</UOM>"
    "<Department>D</Department><TaxCode>V</TaxCode><Price>1.25</Price><Amount>2.5</Amount>"
    "<FreeOfCharge>false</FreeOfCharge><Attribute>product</Attribute></productsale>"
    "<WeightedProductSale><Quantity>0.5</Quantity><Amount>10</Amount><Tare>0.02</Tare></WeightedProductSale>"
    "<VoucherRedeem><Code>V</Code><Price>5</Price></VoucherRedeem>"
    "<VoucherSale><Code>V</Code><Price>5</Price><FreeOfCharge>1</FreeOfCharge></VoucherSale>"
    "<GiftCardRedeem><Code>G</Code><Price>3</Price></GiftCardRedeem>"
    "<SubTotal><Amount>12.5</Amount></SubTotal>"
    "<Text><Description>T</Description></Text>"
    "<MarkupAmountOnSubtotal><Amount>1</Amount><Description>M</Description></MarkupAmountOnSubtotal>"
    "<DiscountPercentage><Percentage>10</Percentage><Amount>0.25</Amount><Description>D</Description>"
    "</DiscountPercentage>"
    "<CollectAmount><Description>C</Description><Department>D</Department><TaxCode>N</TaxCode><Amount>4</"
    "Amount>"
    "</CollectAmount>";

TEST(ReceiptWrite, LinesAreWrittenWithTheirOwnChildren) {
  kReceipt r;
  ReadInto(r, SaleBody(kLines));
  auto doc = Written(r);
  const pugi::xml_node lines = doc->document_element().child("Lines");

  std::vector<std::pair<std::string, Children>> got;
  for (pugi::xml_node l : lines.children()) got.emplace_back(l.name(), ChildrenOf(l));
  const std::vector<std::pair<std::string, Children>> expected = {
      {"productsale",
       {{"Code", "P"},
        {"Description", "\xC3\x88 caff\xC3\xA8"},  // stored text, never normalized
        {"Quantity", "2"},
        {"UOM", "pz"},
        {"Department", "D"},
        {"TaxCode", "V"},
        {"Price", "1.25"},
        {"Amount", "2.5"},
        {"FreeOfCharge", "False"},
        {"Attribute", "0"}}},
      {"weightedproductsale",
       {{"Code", ""},
        {"Description", ""},
        {"Quantity", "0.5"},
        {"UOM", ""},
        {"Department", ""},
        {"TaxCode", ""},
        {"Price", "0"},
        {"Amount", "10"},
        {"Tare", "0.02"},
        {"FreeOfCharge", "False"},
        {"Attribute", "1"}}},
      {"voucherredeem",
       {{"Code", "V"}, {"Description", ""}, {"Department", ""}, {"TaxCode", ""}, {"Price", "5"}}},
      {"vouchersale",
       {{"Code", "V"},
        {"Description", ""},
        {"Department", ""},
        {"TaxCode", ""},
        {"Price", "5"},
        {"FreeOfCharge", "True"}}},
      {"giftcardredeem",
       {{"Code", "G"},
        {"Description", ""},
        {"Department", ""},
        {"TaxCode", ""},
        {"Price", "3"},
        {"FreeOfCharge", "False"}}},
      {"subtotal", {{"Amount", "12.5"}}},
      {"text", {{"Description", "T"}}},
      {"markupamountonsubtotal", {{"Amount", "1"}, {"Description", "M"}}},
      {"discountpercentage", {{"Percentage", "10"}, {"Amount", "0.25"}, {"Description", "D"}}},
      {"collectamount", {{"Description", "C"}, {"Department", "D"}, {"TaxCode", "N"}, {"Amount", "4"}}},
  };
  EXPECT_EQ(got, expected);
}

TEST(ReceiptWrite, TaxesPaymentsAndMessages) {
  kReceipt r;
  const std::string messages =
      "<TrailerMessages><Text><Value>\xC3\x88!</Value><Size>2</Size><Alignment>center</Alignment></Text>"
      "<Barcode><Value>123</Value><Type>CODE128</Type></Barcode></TrailerMessages>"
      "<LeaderLines><Image><Alignment>right</Alignment></Image></LeaderLines>";
  ReadInto(
      r, SaleBody(
             "",
             "<Tax><Type>salestax</Type><Code>S</Code><Description>St</Description><Rate>7.25</Rate>"
             "<TaxableAmount>100</TaxableAmount><TaxAmount>7.25</TaxAmount><TotalAmount>107.25</TotalAmount>"
             "</Tax>",
             "<Payment><Type>MealVoucher</Type><Description>Ticket</Description><Amount>-3.5</Amount>"
             "<Currency>EUR</Currency><Quantity>2</Quantity><UnitPrice>7</UnitPrice></Payment>",
             messages));
  // A text line of no alignment writes an empty element whatever came before it.
  auto none = std::make_unique<kReceiptMessageTextLine>(&r);
  none->SetValue("n");
  r.TrailerMessages().push_back(std::move(none));
  // A bare base line has no element of its own.
  r.TrailerMessages().push_back(std::make_unique<kReceiptMessageLine>(&r));

  auto doc = Written(r);
  const pugi::xml_node receipt = doc->document_element();
  EXPECT_EQ(ChildrenOf(receipt.child("Taxes").child("Tax")), (Children{{"Type", "SalesTax"},
                                                                       {"Code", "S"},
                                                                       {"Description", "St"},
                                                                       {"TaxRate", "7.25"},
                                                                       {"TaxableAmount", "100"},
                                                                       {"TaxAmount", "7.25"},
                                                                       {"TotalAmount", "107.25"}}));
  EXPECT_EQ(ChildrenOf(receipt.child("Payments").child("Payment")), (Children{{"Type", "mealvoucher"},
                                                                              {"Description", "Ticket"},
                                                                              {"Amount", "-3.5"},
                                                                              {"Currency", "EUR"},
                                                                              {"Quantity", "2"},
                                                                              {"UnitPrice", "7"}}));

  const pugi::xml_node trailer = receipt.child("TrailerMessages");
  std::vector<std::pair<std::string, Children>> got;
  for (pugi::xml_node m : trailer.children()) got.emplace_back(m.name(), ChildrenOf(m));
  const std::vector<std::pair<std::string, Children>> expected = {
      {"Text", {{"Value", "\xC3\x88!"}, {"Size", "2"}, {"Alignment", "center"}}},
      {"Barcode", {{"Value", "123"}, {"Type", "code128"}, {"HRI", "True"}, {"QRCodeMinVersion", "1"}}},
      {"Text", {{"Value", "n"}, {"Size", "0"}, {"Alignment", ""}}},
  };
  EXPECT_EQ(got, expected);
  EXPECT_EQ(ChildrenOf(receipt.child("LeaderLines")), (Children{{"Image", ""}}));
  EXPECT_EQ(ChildrenOf(receipt.child("LeaderLines").child("Image")), (Children{{"Alignment", "right"}}));
}

TEST(ReceiptWrite, WrittenReceiptReadsBackWhenWrapped) {
  kReceipt original;
  const std::string extra =
      "<Layout>L</Layout><BusinessDate>2024-05-01T00:00:00</BusinessDate><Number>9</Number>"
      "<TotalAmount>1234.5678</TotalAmount><CustomerZipCode>20100</CustomerZipCode><ToBeInvoiced>1</"
      "ToBeInvoiced>"
      "<References><OriginalReceipt><ReceiptNumber>1</ReceiptNumber><ReferenceType>eftreceipt</ReferenceType>"
      "</OriginalReceipt></References><Headers><H>one</H><H>two</H></Headers>";
  ReadInto(original,
           SaleBody(Product("10") + "<DiscountAmount><Amount>0.5</Amount></DiscountAmount>", "", "", extra));

  // The writer's root is the receipt itself; the reader wants it under a request.
  kReceipt unwrapped;
  EXPECT_EQ(ReadError(unwrapped, original.Serialize()), "Receipt node not found");

  auto doc = Written(original);
  pugi::xml_document request;
  request.append_child("Request").append_copy(doc->document_element());
  kReceipt copy;
  copy.Deserialize(request);

  EXPECT_EQ(copy.Layout(), "L");
  EXPECT_EQ(copy.ReceiptNumber(), "9");
  EXPECT_EQ(copy.TotalAmount(), C("1234.5678"));
  EXPECT_EQ(copy.CustomerZipCode(), "20100");
  EXPECT_TRUE(copy.ToBeInvoiced());
  EXPECT_EQ(copy.BusinessDate(), original.BusinessDate());
  EXPECT_EQ(copy.OriginalReceipt().ReferenceType, rrt_EFTReceipt);
  EXPECT_EQ(copy.Headers(), original.Headers());
  ASSERT_EQ(copy.Lines().size(), 2u);
  EXPECT_EQ(copy.Lines()[0]->GetAmount(), C("10"));
  EXPECT_EQ(copy.Lines()[1]->GetAmount(), C("-0.5"));
  // "0" is no attribute word the reader knows: a written product comes back as a service.
  EXPECT_EQ(dynamic_cast<kReceiptLineProductSale&>(*copy.Lines()[0]).Attribute(), rla_Service);
}

}  // namespace
