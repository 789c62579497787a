// Parsing one PROCESSRECEIPT request as the host sends it: the envelope and a receipt of 20 lines, from
// the text to a request handler with its receipt read. This is the whole of the parsing a receipt call
// pays before the processor runs. Target: a median of at most 100 microseconds.

#include <benchmark/benchmark.h>

#include <string>

#include "documents/uQzReceipt.h"
#include "framework/uQzFiscalProcessor.h"

namespace {

std::string ReceiptLine(int aNumber) {
  const std::string n = std::to_string(aNumber);
  return "<ProductSale><Code>ART" + n + "</Code><Description>Articolo numero " + n +
         "</Description><Quantity>1</Quantity><UOM>PZ</UOM><Department>1</Department><TaxCode>A</TaxCode>"
         "<Price>2.5</Price><Amount>2.5</Amount><FreeOfCharge>False</FreeOfCharge>"
         "<Attribute>Product</Attribute></ProductSale>";
}

std::string TypicalReceiptRequest() {
  std::string lines;
  for (int i = 1; i <= 20; ++i) lines += ReceiptLine(i);
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
         "<ReceiptPrinterManager Version=\"1.0\"><Type>FP</Type><Driver>QZFP_VELMO_10</Driver>"
         "<Method>PROCESSRECEIPT</Method><LogId>1</LogId><Handle>1</Handle>"
         "<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>5001</Port></Connection>"
         "<Parameters><Processor>QZFP_VELMO_10</Processor><FPTillSerial>0042</FPTillSerial>"
         "<HexLog>false</HexLog></Parameters>"
         "<Receipt><Type>Sale</Type><SubType>SALE</SubType><StoreCode>001</StoreCode><TillCode>01</TillCode>"
         "<Number>1234</Number><DateTime>2024-05-02T09:15:03</DateTime><TotalAmount>50</TotalAmount>"
         "<CurrencyCode>EUR</CurrencyCode><OperatorCode>7</OperatorCode><PrintReceipt>True</PrintReceipt>"
         "<Lines>" +
         lines +
         "</Lines><Taxes><Tax><Type>VAT</Type><Code>A</Code><Description>IVA 22%</Description><Rate>22</Rate>"
         "<TaxableAmount>40.98</TaxableAmount><TaxAmount>9.02</TaxAmount><TotalAmount>50</TotalAmount></Tax>"
         "</Taxes><Payments><Payment><Type>Cash</Type><Description>Contanti</Description><Amount>50</Amount>"
         "</Payment></Payments><TrailerMessages><Text><Value>Grazie</Value><Alignment>center</Alignment></"
         "Text>"
         "</TrailerMessages></Receipt></ReceiptPrinterManager>";
}

void BM_ParseReceiptRequest(benchmark::State& aState) {
  const std::string request = TypicalReceiptRequest();
  for (auto _ : aState) {
    kFiscalProcessorHandler handler;
    handler.Deserialize(request, {dt_Receipt});
    benchmark::DoNotOptimize(handler.Receipt().Lines().size());
  }
  aState.SetBytesProcessed(static_cast<std::int64_t>(aState.iterations() * request.size()));
}
BENCHMARK(BM_ParseReceiptRequest)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
