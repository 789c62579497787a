// The receipt model itself: a new receipt, the factories and the printable forms of texts.

#include <gtest/gtest.h>

#include <string>

#include "ReceiptFixtures.h"
#include "documents/uQzReceipt.h"

using namespace receipt_test;

namespace {

const std::string kEGrave = "\xC3\x88";  // capital E with grave accent
const std::string kEuro = "\xE2\x82\xAC";

TEST(ReceiptModel, NewReceiptIsEmpty) {
  kReceipt r;
  EXPECT_TRUE(r.Lines().empty());
  EXPECT_TRUE(r.Taxes().empty());
  EXPECT_TRUE(r.PaymentLines().empty());
  EXPECT_TRUE(r.LeaderLines().empty());
  EXPECT_TRUE(r.TrailerMessages().empty());
  EXPECT_TRUE(r.Headers().empty());
  EXPECT_FALSE(r.PrintReceipt());
  EXPECT_FALSE(r.SupportSpecialChars());
  EXPECT_EQ(r.ReceiptType(), rt_Sale);
  EXPECT_EQ(r.TotalAmount(), Currency());
  EXPECT_EQ(r.TipAmount(), Currency());
  EXPECT_EQ(r.Layout(), "");
}

TEST(ReceiptModel, LinesBuiltInCodeBelongToTheirFamily) {
  kReceipt r;
  EXPECT_EQ(kReceiptLineMarkupAmountOnSubTotal(&r).LineType(), rlt_MarkupAmountOnSubtotal);
  EXPECT_EQ(kReceiptLineProductReturn(&r).LineType(), rlt_ProductReturn);
  EXPECT_EQ(kReceiptLineCollectAmount(&r).LineType(), rlt_CollectAmount);
  EXPECT_TRUE(IsItemLine(rlt_CollectAmount));
  EXPECT_FALSE(IsItemLine(rlt_SubTotal));
  EXPECT_TRUE(IsItemAdjustment(rlt_MarkupPercentage));
  EXPECT_FALSE(IsItemAdjustment(rlt_MarkupPercentageOnSubTotal));
  EXPECT_TRUE(IsSubtotalAdjustment(rlt_MarkupPercentageOnSubTotal));
}

TEST(ReceiptModel, FactoriesFillTheirLine) {
  kReceipt r;
  auto p = kReceiptLineProductSale::Build(&r, "C1", "Latte", C("2"), "pz", "D1", "V10", C("1.2"), C("2.4"),
                                          "info", "VC");
  EXPECT_EQ(p->Owner(), &r);
  EXPECT_EQ(p->LineType(), rlt_ProductSale);
  EXPECT_EQ(p->Code(), "C1");
  EXPECT_EQ(p->Description(), "Latte");
  EXPECT_EQ(p->Quantity(), C("2"));
  EXPECT_EQ(p->UOM(), "pz");
  EXPECT_EQ(p->Department(), "D1");
  EXPECT_EQ(p->TaxCode(), "V10");
  EXPECT_EQ(p->Price(), C("1.2"));
  EXPECT_EQ(p->Amount(), C("2.4"));
  EXPECT_EQ(p->AdditionalInfo(), "info");
  EXPECT_EQ(p->VoucherCode(), "VC");
  EXPECT_FALSE(p->FreeOfCharge());
  EXPECT_EQ(p->Attribute(), rla_Product);
  EXPECT_TRUE(r.Lines().empty());  // a factory never appends

  auto d = kReceiptLineDiscountAmount::Build(&r, "Sconto", C("1"), "R1", "note", "i");
  EXPECT_EQ(d->LineType(), rlt_DiscountAmount);
  EXPECT_EQ(d->Amount(), C("1"));
  EXPECT_EQ(d->ReasonCode(), "R1");
  EXPECT_EQ(d->ReasonNote(), "note");
  EXPECT_EQ(d->AdditionalInfo(), "i");
  EXPECT_EQ(d->GetAmount(), C("-1"));

  auto pc = kReceiptLineDiscountPercentage::Build(&r, "Promo", C("10"), C("0.24"), "R2", "n", "j");
  EXPECT_EQ(pc->LineType(), rlt_DiscountPercentage);
  EXPECT_EQ(pc->Percentage(), C("10"));
  EXPECT_EQ(pc->Amount(), C("0.24"));
  EXPECT_EQ(pc->ReasonCode(), "R2");

  auto g = kReceiptLineGiftCardSale::Build(&r, "G", "Card", "D", "N", C("25"), "k");
  EXPECT_EQ(g->LineType(), rlt_GiftCardSale);
  EXPECT_EQ(g->Price(), C("25"));
  EXPECT_EQ(g->TaxMode(), "");

  auto gr = kReceiptLineGiftCardRedeem::Build(&r, "G", "Card", "D", "N", C("25"), "MODE", "k");
  EXPECT_EQ(gr->LineType(), rlt_GiftCardRedeem);
  EXPECT_EQ(gr->TaxMode(), "MODE");
  EXPECT_EQ(gr->AdditionalInfo(), "k");
  EXPECT_EQ(gr->GetAmount(), C("-25"));
}

TEST(ReceiptModel, DescriptionsArePrintableUnlessSpecialCharactersAreAllowed) {
  kReceipt r;
  auto p = kReceiptLineProductSale::Build(&r, "", kEGrave + " TOTALE " + kEuro, C("1"), "", "", "", C("1"),
                                          C("1"), "", "");
  EXPECT_EQ(p->Description(), "E TOT. E");
  r.SetSupportSpecialChars(true);
  EXPECT_EQ(p->Description(), kEGrave + " TOTALE " + kEuro);

  // A line with no receipt is always normalized.
  auto orphan = kReceiptLineDiscountAmount::Build(nullptr, kEGrave, C("1"), "", "", "");
  EXPECT_EQ(orphan->Description(), "E");

  // Read lines keep the stored text; only the accessor changes it.
  kReceipt read;
  ReadInto(read, SaleBody("<Text><Description>" + kEGrave + "\tx</Description></Text>"));
  EXPECT_EQ(dynamic_cast<kReceiptLineText&>(*read.Lines()[0]).Description(), "E x");
}

TEST(ReceiptModel, TextMessageValueFollowsItsOwner) {
  const std::string stored = kEGrave + "!";
  kReceiptMessageTextLine noOwner;
  noOwner.SetValue(stored);
  EXPECT_EQ(noOwner.Value(), "E!");

  kReceipt r;
  kReceiptMessageTextLine onReceipt(&r);
  onReceipt.SetValue(stored);
  EXPECT_EQ(onReceipt.Value(), "E!");
  r.SetSupportSpecialChars(true);
  EXPECT_EQ(onReceipt.Value(), stored);

  kNFReceipt nf;
  kReceiptMessageTextLine onNF(&nf);
  onNF.SetValue(stored);
  EXPECT_EQ(onNF.NFOwner(), &nf);
  EXPECT_EQ(onNF.Value(), "E!");
  nf.SetSupportSpecialChars(true);
  EXPECT_EQ(onNF.Value(), stored);

  // Barcode data goes to the printer as it is.
  kReceiptMessageBarcodeLine barcode;
  barcode.SetValue(stored);
  EXPECT_EQ(barcode.Value(), stored);

  // The image line keeps its reference apart from the base text.
  kReceiptMessageImageLine image(&r);
  image.SetValue("logo.bmp");
  EXPECT_EQ(image.Value(), "logo.bmp");
  EXPECT_EQ(static_cast<kReceiptMessageLine&>(image).Value(), "");
}

}  // namespace
