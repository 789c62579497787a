// Reading a 200-line receipt (with taxes, payments and messages) from an already parsed request, then
// computing the net amounts of its lines. The request is parsed once; each iteration reads a fresh receipt.

#include <benchmark/benchmark.h>

#include <pugixml.hpp>
#include <string>

#include "documents/uQzReceipt.h"

namespace {

std::string LineXml(int aIndex) {
  const std::string n = std::to_string(aIndex);
  switch (aIndex % 10) {
    case 3:
      return "<DiscountAmount><Amount>0.10</Amount><Description>Sconto riga</Description></DiscountAmount>";
    case 6:
      return "<WeightedProductSale><Code>W" + n +
             "</Code><Description>Formaggio</Description><Quantity>0.352</Quantity><UOM>kg</UOM>"
             "<Department>2</Department><TaxCode>V10</TaxCode><Price>18.90</Price><Amount>6.65</Amount>"
             "<Tare>0.005</Tare><Attribute>Product</Attribute></WeightedProductSale>";
    case 9:
      return "<DiscountPercentageOnSubTotal><Percentage>5</Percentage><Amount>1.25</Amount>"
             "<Description>Promo 5%</Description></DiscountPercentageOnSubTotal>";
    default:
      return "<ProductSale><Code>" + n + "</Code><Description>Articolo " + n +
             "</Description><Quantity>2</Quantity><UOM>pz</UOM><Department>1</Department><TaxCode>V22</"
             "TaxCode>"
             "<Price>1.99</Price><Amount>3.98</Amount><FreeOfCharge>False</FreeOfCharge>"
             "<Attribute>Product</Attribute></ProductSale>";
  }
}

std::string RequestXml() {
  std::string xml =
      "<Request><Type>Receipt</Type><Driver>QZFP_VELMO_10</Driver><Receipt>"
      "<Type>Sale</Type><Number>1234</Number><DateTime>2024-05-01T13:45:07</DateTime>"
      "<StoreCode>001</StoreCode><TillCode>07</TillCode><OperatorCode>12</OperatorCode>"
      "<TotalAmount>512.34</TotalAmount><CurrencyCode>EUR</CurrencyCode>"
      "<Headers><HeaderLine>Negozio di prova</HeaderLine><HeaderLine>Via Roma "
      "1</HeaderLine></Headers><Lines>";
  for (int i = 0; i < 200; ++i) xml += LineXml(i);
  xml +=
      "</Lines><Taxes>"
      "<Tax><Type>VAT</Type><Code>V22</Code><Description>IVA 22%</Description><Rate>22</Rate>"
      "<TaxableAmount>400.00</TaxableAmount><TaxAmount>88.00</TaxAmount><TotalAmount>488.00</TotalAmount></"
      "Tax>"
      "<Tax><Type>VAT</Type><Code>V10</Code><Description>IVA 10%</Description><Rate>10</Rate>"
      "<TaxableAmount>22.13</TaxableAmount><TaxAmount>2.21</TaxAmount><TotalAmount>24.34</TotalAmount></Tax>"
      "</Taxes><Payments>"
      "<Payment><Type>Cash</Type><Description>Contanti</Description><Amount>520.00</Amount></Payment>"
      "<Payment><Type>CreditCard</Type><Description>Carta</Description><Amount>0</Amount></Payment>"
      "<Payment><Type>Change</Type><Description>Resto</Description><Amount>7.66</Amount></Payment>"
      "</Payments><TrailerMessages>"
      "<Text><Value>Grazie e arrivederci</Value><Size>1</Size><Alignment>Center</Alignment></Text>"
      "<Barcode><Value>1234567890128</Value><Type>EAN13</Type><HRI>True</HRI></Barcode>"
      "</TrailerMessages><LeaderLines><Text><Value>EURO</Value><Alignment>Right</Alignment></Text></"
      "LeaderLines>"
      "</Receipt></Request>";
  return xml;
}

void BM_ReadReceipt200LinesAndNetAmounts(benchmark::State& state) {
  pugi::xml_document doc;
  const std::string xml = RequestXml();
  if (!doc.load_string(xml.c_str())) {
    state.SkipWithError("request does not parse");
    return;
  }
  for (auto _ : state) {
    kReceipt receipt;
    receipt.Deserialize(doc);
    receipt.CalcLinesNetAmount();
    benchmark::DoNotOptimize(receipt.Lines().back()->NetAmount());
  }
}
BENCHMARK(BM_ReadReceipt200LinesAndNetAmounts)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
