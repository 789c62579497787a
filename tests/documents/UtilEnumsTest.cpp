#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "documents/krptUtil.h"
#include "platform/QzError.h"

namespace {

std::string MessageOf(const std::function<void()>& aCall) {
  try {
    aCall();
  } catch (const QzError& e) {
    return e.what();
  }
  return "<no error>";
}

// Every written word reads back as its member, in any letter case.
template <typename TEnum>
void ExpectRoundTrip(int aCount, std::string (*aEncode)(TEnum), TEnum (*aDecode)(const std::string&)) {
  for (int i = 0; i < aCount; ++i) {
    const auto member = static_cast<TEnum>(i);
    const std::string word = aEncode(member);
    SCOPED_TRACE(word);
    ASSERT_FALSE(word.empty());
    EXPECT_EQ(aDecode(word), member);
    std::string upper = word;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(aDecode(upper), member);
  }
}

TEST(UtilEnums, WrittenWordsReadBackInAnyCase) {
  ExpectRoundTrip<qzReceiptLineType>(18, krptUtil::EncodeLineType, krptUtil::DecodeLineType);
  ExpectRoundTrip<qzReceiptPaymentType>(12, krptUtil::EncodePaymentType, krptUtil::DecodePaymentType);
  ExpectRoundTrip<qzReceiptType>(5, krptUtil::EncodeReceiptType, krptUtil::DecodeReceiptType);
  ExpectRoundTrip<qzReceiptTaxType>(2, krptUtil::EncodeTaxType, krptUtil::DecodeTaxType);
  ExpectRoundTrip<qzReceiptMessageBarcodeType>(8, krptUtil::EncodeBarcodeType, krptUtil::DecodeBarcodeType);
  ExpectRoundTrip<qzReceiptMessageLineEffect>(8, krptUtil::EncodeEffect, krptUtil::DecodeEffect);
  ExpectRoundTrip<qzReceiptMessageImageSource>(2, krptUtil::EncodeImageSource, krptUtil::DecodeImageSource);
  // la_none has no word; the three others do.
  for (auto a : {la_right, la_center, la_left})
    EXPECT_EQ(krptUtil::DecodeAlignment(krptUtil::EncodeAlignment(a)), a);
  for (auto r : {rrt_EFTReceipt, rrt_NotAvailable, rrt_Empties})
    EXPECT_EQ(krptUtil::DecodeReferenceType(krptUtil::EncodeReferenceType(r)), r);
}

TEST(UtilEnums, WrittenFormsKeepTheirOwnCase) {
  EXPECT_EQ(krptUtil::EncodeReceiptType(rt_Refund), "Refund");
  EXPECT_EQ(krptUtil::EncodeReceiptType(rt_InvoiceSaleFromReceipt), "InvoiceSaleFromReceipt");
  EXPECT_EQ(krptUtil::EncodePaymentType(rpt_Cash), "cash");
  EXPECT_EQ(krptUtil::EncodePaymentType(Rpt_NHSCard), "nhscard");
  EXPECT_EQ(krptUtil::EncodeLineType(rlt_DiscountAmountOnSubtotal), "discountamountonsubtotal");
  EXPECT_EQ(krptUtil::EncodeTaxType(tt_SalesTax), "SalesTax");
  EXPECT_EQ(krptUtil::EncodeReferenceType(rrt_OriginalReceipt), "OriginalReceipt");
  EXPECT_EQ(krptUtil::EncodeReferenceType(rrt_EFTReceipt), "EFTReceipt");
  EXPECT_EQ(krptUtil::EncodeAlignment(la_none), "");
  EXPECT_EQ(krptUtil::EncodeBarcodeType(bt_Interleaved2Of5), "interleaved2of5");
  // A value outside the enumeration has no word.
  EXPECT_EQ(krptUtil::EncodeLineType(static_cast<qzReceiptLineType>(18)), "");
  EXPECT_EQ(krptUtil::EncodeReceiptType(static_cast<qzReceiptType>(-1)), "");
}

TEST(UtilEnums, RejectedWordsNameTheLoweredText) {
  const struct {
    std::function<void()> Call;
    const char* Message;
  } cases[] = {
      {[] { krptUtil::DecodeLineType(" ProductSale"); }, "LineType  productsale is invalid"},
      {[] { krptUtil::DecodeLineType("Sale"); }, "LineType sale is invalid"},
      {[] { krptUtil::DecodePaymentType("CASH "); }, "PaymentType cash  is invalid"},
      {[] { krptUtil::DecodeReceiptType("Return"); }, "ReceiptType return is invalid"},
      {[] { krptUtil::DecodeTaxType("GST"); }, "TaxType gst is invalid"},
      {[] { krptUtil::DecodeAlignment(""); }, "Alignment  is invalid"},
      {[] { krptUtil::DecodeAlignment("None"); }, "Alignment none is invalid"},
      {[] { krptUtil::DecodeBarcodeType("EAN-13"); }, "BarcodeType ean-13 is invalid"},
      {[] { krptUtil::DecodeEffect("Blink"); }, "Effect blink is invalid"},
      {[] { krptUtil::DecodeImageSource("URL"); }, "Image Source url is invalid"},
      {[] { krptUtil::DecodeEJReportType("XReport"); }, "ReportType xreport is invalid"},
      {[] { krptUtil::DecodeEJReportDestination("Screen"); }, "ReportDestination screen is invalid"},
      {[] { krptUtil::DecodeEJRequestType("json"); }, "ReferenceType json is invalid"},
      // Lower-casing is Unicode lower-casing, not ASCII only.
      {[] { krptUtil::DecodeEffect("\u00C8BOLD"); }, "Effect \u00E8bold is invalid"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageOf(c.Call), c.Message);
}

TEST(UtilEnums, ElectronicJournalWordsRead) {
  EXPECT_EQ(krptUtil::DecodeEJReportType("NonFiscalReceipt"), ejrt_NonFiscalReceipt);
  EXPECT_EQ(krptUtil::DecodeEJReportType("invoice"), ejrt_Invoice);
  EXPECT_EQ(krptUtil::DecodeEJReportDestination("MEMORY"), rd_Memory);
  EXPECT_EQ(krptUtil::DecodeEJReportDestination("printer"), rd_Printer);
  EXPECT_EQ(krptUtil::DecodeEJRequestType("XML"), ej_xml);
}

TEST(UtilEnums, LenientDecodersNeverFail) {
  for (const char* text : {"OriginalReceipt", "", "anything", " eftreceipt"})
    EXPECT_EQ(krptUtil::DecodeReferenceType(text), rrt_OriginalReceipt) << text;
  EXPECT_EQ(krptUtil::DecodeReferenceType("EMPTIES"), rrt_Empties);
  EXPECT_EQ(krptUtil::DecodeLineAttribute("PRODUCT"), rla_Product);
  for (const char* text : {"", "service", "products", "x"})
    EXPECT_EQ(krptUtil::DecodeLineAttribute(text), rla_Service) << text;
}

TEST(UtilEnums, EffectLists) {
  using Set = qzReceiptMessageLineEffectSet;
  EXPECT_EQ(krptUtil::DecodeEffects("Bold,ITALIC"), (Set{le_bold, le_italic}));
  EXPECT_EQ(krptUtil::DecodeEffects(""), Set{});
  EXPECT_EQ(krptUtil::DecodeEffects("bold,"), Set{le_bold});
  // The first empty piece ends the list, whatever follows it.
  EXPECT_EQ(krptUtil::DecodeEffects("bold,,nonsense"), Set{le_bold});
  EXPECT_EQ(krptUtil::DecodeEffects(",bold"), Set{});
  EXPECT_EQ(krptUtil::DecodeEffects("bold,bold,condensed"), (Set{le_bold, le_condensed}));
  EXPECT_EQ(MessageOf([] { krptUtil::DecodeEffects("bold, italic"); }), "Effect  italic is invalid");

  EXPECT_EQ(krptUtil::EncodeEffects(Set{le_italic, le_bold}), "bold,italic");
  EXPECT_EQ(krptUtil::EncodeEffects(Set{}), "");
  const Set all = Set::FromBits(0xFF);
  EXPECT_EQ(krptUtil::DecodeEffects(krptUtil::EncodeEffects(all)), all);
}

}  // namespace
