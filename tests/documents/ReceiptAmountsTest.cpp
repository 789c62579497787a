// The receipt's figures: line contributions, totals, net amounts after adjustments, tax and payment sums.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReceiptFixtures.h"
#include "documents/uQzReceipt.h"
#include "platform/QzError.h"

using namespace receipt_test;

namespace {

std::string Line(const std::string& aElement, const std::string& aChildren) {
  return "<" + aElement + ">" + aChildren + "</" + aElement + ">";
}
std::string Adjustment(const char* aElement, const char* aAmount) {
  return Line(aElement, std::string("<Amount>") + aAmount + "</Amount>");
}

std::vector<Currency> Nets(const kReceipt& r) {
  std::vector<Currency> nets;
  for (const auto& l : r.Lines()) nets.push_back(l->NetAmount());
  return nets;
}

TEST(ReceiptAmounts, EachLineClassContributesWithItsSign) {
  struct Case {
    std::string line;
    const char* contribution;
  } cases[] = {
      {Line("ProductSale", "<Quantity>3</Quantity><Price>9</Price><Amount>7.5</Amount>"), "7.5"},
      {Line("ProductSale", "<Amount>7.5</Amount><FreeOfCharge>true</FreeOfCharge>"), "0"},
      {Line("ProductReturn", "<Amount>7.5</Amount>"), "-7.5"},
      {Line("ProductReturn", "<Amount>7.5</Amount><FreeOfCharge>true</FreeOfCharge>"), "0"},
      {Line("WeightedProductSale", "<Amount>2.25</Amount><Tare>0.5</Tare>"), "2.25"},
      {Line("VoucherSale", "<Price>20</Price>"), "20"},
      {Line("VoucherSale", "<Price>20</Price><FreeOfCharge>1</FreeOfCharge>"), "0"},
      {Line("VoucherRedeem", "<Price>20</Price>"), "-20"},
      {Line("GiftCardSale", "<Price>50</Price>"), "50"},
      {Line("GiftCardRedeem", "<Price>50</Price>"), "-50"},
      {Line("CollectAmount", "<Amount>-4</Amount>"), "-4"},
      {Line("SubTotal", "<Amount>99</Amount>"), "0"},
      {Line("Text", "<Description>x</Description>"), "0"},
      {Adjustment("DiscountAmount", "1.5"), "-1.5"},
      {Adjustment("DiscountAmountOnSubtotal", "1.5"), "-1.5"},
      {Adjustment("MarkupAmount", "1.5"), "1.5"},
      {Adjustment("MarkupAmountOnSubtotal", "1.5"), "1.5"},
      // Percentage lines count their amount, never their percentage.
      {Line("DiscountPercentage", "<Percentage>10</Percentage><Amount>2</Amount>"), "-2"},
      {Line("DiscountPercentageOnSubTotal", "<Percentage>10</Percentage><Amount>2</Amount>"), "-2"},
      {Line("MarkupPercentage", "<Percentage>10</Percentage><Amount>2</Amount>"), "2"},
      {Line("MarkupPercentageOnSubTotal", "<Percentage>10</Percentage><Amount>2</Amount>"), "2"},
  };
  for (const Case& c : cases) {
    kReceipt r;
    ReadInto(r, SaleBody(c.line));
    ASSERT_EQ(r.Lines().size(), 1u);
    EXPECT_EQ(r.Lines()[0]->GetAmount(), C(c.contribution)) << c.line;
  }
}

TEST(ReceiptAmounts, EmptyReceiptHasZeroFigures) {
  kReceipt r;
  ReadInto(r, SaleBody(""));
  r.CalcLinesNetAmount();
  EXPECT_EQ(r.GetCalculatedAmount(), Currency());
  EXPECT_EQ(r.TotalQuantity(), Currency());
  EXPECT_EQ(r.TotalTaxableAmount(), Currency());
  EXPECT_EQ(r.TotalTaxAmount(), Currency());
  EXPECT_EQ(r.PaymentLines().TotalAmount(), Currency());
}

TEST(ReceiptAmounts, CalculatedAmountAndQuantityTotal) {
  kReceipt r;
  ReadInto(r, SaleBody(Line("ProductSale", "<Quantity>2</Quantity><Amount>10</Amount>") +
                       Line("ProductReturn", "<Quantity>1</Quantity><Amount>4</Amount>") +
                       Line("WeightedProductSale", "<Quantity>0.375</Quantity><Amount>3</Amount>") +
                       Line("ProductSale",
                            "<Quantity>5</Quantity><Amount>1</Amount><FreeOfCharge>1</FreeOfCharge>") +
                       Line("VoucherSale", "<Price>20</Price>") + Adjustment("DiscountAmount", "0.5")));
  EXPECT_EQ(r.GetCalculatedAmount(), C("28.5"));
  // Returns add their pieces as well; free-of-charge pieces count; vouchers have no quantity.
  EXPECT_EQ(r.TotalQuantity(), C("8.375"));
  EXPECT_EQ(r.GetTotalQuantity(), r.TotalQuantity());
}

TEST(ReceiptAmounts, WorkedExampleOfASubtotalDiscount) {
  kReceipt r;
  ReadInto(r, SaleBody(Product("10.00") + Product("20.00") + Adjustment("DiscountAmountOnSubtotal", "10.00"),
                       "", "", "<TotalAmount>20.00</TotalAmount>"));
  r.CalcLinesNetAmount();
  EXPECT_EQ(Nets(r), (std::vector<Currency>{C("6.67"), C("13.33"), C("-10")}));
  // Spreads leave the figures before subtotal adjustments alone.
  EXPECT_EQ(r.Lines()[0]->NetAmountNoSubTotalDiscounts(), C("10"));
  EXPECT_EQ(r.Lines()[1]->NetAmountNoSubTotalDiscounts(), C("20"));
  EXPECT_EQ(r.Lines()[0]->TotalNoSubTotalDiscounts(), Currency());
}

TEST(ReceiptAmounts, NoCentIsLostWhenSpreadingOverManyItems) {
  // Three items of 1.00 and a 1.00 discount: thirds do not divide into cents, yet the deltas add up.
  kReceipt r;
  ReadInto(r,
           SaleBody(Product("1") + Product("1") + Product("1") + Adjustment("DiscountAmountOnSubtotal", "1"),
                    "", "", "<TotalAmount>2</TotalAmount>"));
  r.CalcLinesNetAmount();
  EXPECT_EQ(Nets(r), (std::vector<Currency>{C("0.67"), C("0.66"), C("0.67"), C("-1")}));
}

TEST(ReceiptAmounts, ItemAdjustmentLandsOnTheItemBeforeIt) {
  kReceipt r;
  ReadInto(r, SaleBody(Product("5") + Product("8") + Adjustment("DiscountAmount", "1") +
                           Adjustment("MarkupAmount", "0.25"),
                       "", "", "<TotalAmount>12.25</TotalAmount>"));
  r.CalcLinesNetAmount();
  const kReceiptLine& second = *r.Lines()[1];
  EXPECT_EQ(second.NetAmount(), C("7.25"));
  EXPECT_EQ(second.NetAmountNoSubTotalDiscounts(), C("7.25"));
  EXPECT_EQ(second.TotalNoSubTotalDiscounts(), C("-0.75"));
  EXPECT_EQ(r.Lines()[0]->NetAmount(), C("5"));
  // The adjustment lines keep their own contributions.
  EXPECT_EQ(r.Lines()[2]->NetAmount(), C("-1"));
  EXPECT_EQ(r.Lines()[3]->NetAmount(), C("0.25"));

  // Computing again gives the same figures.
  r.CalcLinesNetAmount();
  EXPECT_EQ(second.NetAmount(), C("7.25"));
  EXPECT_EQ(second.TotalNoSubTotalDiscounts(), C("-0.75"));
}

TEST(ReceiptAmounts, AdjustmentsBeforeAnyItemChangeNoNetButCount) {
  // The leading discount changes nothing, yet running is -2 - 1 + 10 = 7 when
  // the second subtotal discount comes, which sets the ratio.
  kReceipt r;
  ReadInto(r, SaleBody(Adjustment("DiscountAmountOnSubtotal", "2") + Adjustment("DiscountAmount", "1") +
                           Product("10") + Adjustment("DiscountAmountOnSubtotal", "4"),
                       "", "", "<TotalAmount>3</TotalAmount>"));
  r.CalcLinesNetAmount();
  // ratio = -4 / 7 = -0.5714; 10 x ratio = -5.714 -> -5.71.
  EXPECT_EQ(Nets(r), (std::vector<Currency>{C("-2"), C("-1"), C("4.29"), C("-4")}));
}

TEST(ReceiptAmounts, SubtotalAdjustmentWhileRunningIsZeroIsNotSpread) {
  kReceipt r;
  ReadInto(r, SaleBody(Product("5") + Line("ProductReturn", "<Amount>5</Amount>") +
                       Adjustment("DiscountAmountOnSubtotal", "1")));
  r.CalcLinesNetAmount();
  // No spread; the declared total of 0 differs from -1, so +1 lands on the last item (the return).
  EXPECT_EQ(Nets(r), (std::vector<Currency>{C("5"), C("-4"), C("-1")}));
}

TEST(ReceiptAmounts, FreeItemsGetNothingAndMarkupsSpreadUpwards) {
  kReceipt r;
  ReadInto(r,
           SaleBody(Product("10") + Product("3", "<FreeOfCharge>true</FreeOfCharge>") + Product("30") +
                        Line("SubTotal", "<Amount>40</Amount>") + Adjustment("MarkupAmountOnSubtotal", "4"),
                    "", "", "<TotalAmount>44</TotalAmount>"));
  r.CalcLinesNetAmount();
  EXPECT_EQ(Nets(r), (std::vector<Currency>{C("11"), C("0"), C("33"), C("0"), C("4")}));
}

TEST(ReceiptAmounts, LaterSpreadsReachItemsBeforeEarlierSubtotals) {
  kReceipt r;
  ReadInto(r, SaleBody(Product("10") + Adjustment("DiscountPercentageOnSubTotal", "1") + Product("9") +
                           Adjustment("DiscountAmountOnSubtotal", "1.8"),
                       "", "", "<TotalAmount>16.2</TotalAmount>"));
  r.CalcLinesNetAmount();
  // First spread: 10 -> 9. Second: running 18, ratio -0.1: 9 -> 8.1, 9 -> 8.1.
  EXPECT_EQ(Nets(r), (std::vector<Currency>{C("8.1"), C("-1"), C("8.1"), C("-1.8")}));
}

TEST(ReceiptAmounts, DeclaredTotalDifferenceLandsOnTheLastItem) {
  kReceipt r;
  ReadInto(r, SaleBody(Product("10") + Product("20") + Line("Text", ""), "", "",
                       "<TotalAmount>30.05</TotalAmount>"));
  r.CalcLinesNetAmount();
  EXPECT_EQ(Nets(r), (std::vector<Currency>{C("10"), C("20.05"), C("0")}));
  EXPECT_EQ(r.Lines()[1]->NetAmountNoSubTotalDiscounts(), C("20"));

  kReceipt noItems;
  ReadInto(noItems, SaleBody(Adjustment("DiscountAmount", "1"), "", "", "<TotalAmount>5</TotalAmount>"));
  noItems.CalcLinesNetAmount();
  EXPECT_EQ(Nets(noItems), (std::vector<Currency>{C("-1")}));
}

const char* kTaxes =
    "<Tax><Type>VAT</Type><Code>A</Code><Rate>22</Rate><TaxableAmount>100</TaxableAmount>"
    "<TaxAmount>22</TaxAmount></Tax>"
    "<Tax><Type>SalesTax</Type><Code>S</Code><Rate>10</Rate><TaxableAmount>50</TaxableAmount>"
    "<TaxAmount>5</TaxAmount></Tax>"
    "<Tax><Type>VAT</Type><Code>B</Code><Rate>22</Rate><TaxableAmount>10</TaxableAmount>"
    "<TaxAmount>2.2</TaxAmount></Tax>"
    "<Tax><Type>VAT</Type><Code>A</Code><Rate>4</Rate></Tax>";

TEST(ReceiptAmounts, TaxTotalsAndLookups) {
  kReceipt r;
  ReadInto(r, SaleBody("", kTaxes));
  EXPECT_EQ(r.TotalTaxableAmount(), C("160"));
  EXPECT_EQ(r.TotalTaxAmount(), C("29.2"));
  EXPECT_EQ(r.Taxes().Amount(), C("29.2"));
  EXPECT_EQ(r.Taxes().GetTaxableAmountByTaxRate(C("22")), C("110"));
  EXPECT_EQ(r.Taxes().GetTaxAmountByTaxRate(C("22")), C("24.2"));
  EXPECT_EQ(r.Taxes().GetTaxAmountByTaxRate(C("5")), Currency());
  // The first line of a code answers; letter case matters.
  ASSERT_NE(r.Taxes().GetByTaxCode("A"), nullptr);
  EXPECT_EQ(r.Taxes().GetByTaxCode("A")->TaxRate(), C("22"));
  EXPECT_EQ(r.Taxes().GetByTaxCode("a"), nullptr);
  EXPECT_EQ(r.GetTaxRate("A"), C("22"));
  EXPECT_EQ(r.GetTaxRate("S"), C("10"));
  EXPECT_EQ(r.GetTaxRate("a"), Currency());
}

TEST(ReceiptAmounts, NetAmountTakesTheVatOutOnce) {
  kReceipt r;
  ReadInto(r,
           SaleBody("", kTaxes + std::string("<Tax><Type>VAT</Type><Code>Z</Code><Rate>-100</Rate></Tax>")));
  EXPECT_EQ(r.GetNetAmount(C("122"), "A"), C("100"));
  // One rounding for the whole expression: 10 / 122 * 100 = 8.19672... -> 8.1967.
  EXPECT_EQ(r.GetNetAmount(C("10"), "A"), C("8.1967"));
  // Sales tax is not VAT: the amount comes back as it is.
  EXPECT_EQ(r.GetNetAmount(C("110"), "S"), C("110"));
  EXPECT_EQ(r.GetNetAmount(C("7"), "missing"), C("7"));
  EXPECT_THROW(r.GetNetAmount(C("7"), "Z"), QzError);
}

TEST(ReceiptAmounts, PaymentTotalLeavesOutTheChange) {
  kReceipt r;
  ReadInto(r, SaleBody("", "",
                       "<Payment><Type>cash</Type><Amount>50</Amount></Payment>"
                       "<Payment><Type>change</Type><Amount>5</Amount></Payment>"
                       "<Payment><Type>voucher</Type><Amount>2.5</Amount></Payment>"));
  EXPECT_EQ(r.PaymentLines().TotalAmount(), C("52.5"));
}

}  // namespace
