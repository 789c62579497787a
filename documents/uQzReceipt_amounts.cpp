// The receipt's figures: each line's signed contribution, the totals, the net amount of every item line
// once adjustments are spread over it, and the tax and payment lookups.

#include "documents/uQzReceipt.h"
#include "platform/QzError.h"
#include "support/uQZ_Base.h"

namespace {

Currency ContributionUnlessFree(bool aFreeOfCharge, Currency aValue) {
  return aFreeOfCharge ? Currency() : aValue;
}

}  // namespace

// --- Line contributions ---------------------------------------------------------------------------------

Currency kReceiptLineProductSale::GetAmount() const { return ContributionUnlessFree(fFreeOfCharge, fAmount); }
Currency kReceiptLineProductReturn::GetAmount() const {
  return ContributionUnlessFree(fFreeOfCharge, -fAmount);
}
Currency kReceiptLineCollectAmount::GetAmount() const { return fAmount; }
Currency kReceiptLineVoucherSale::GetAmount() const { return ContributionUnlessFree(fFreeOfCharge, fPrice); }
Currency kReceiptLineVoucherRedeem::GetAmount() const {
  return ContributionUnlessFree(fFreeOfCharge, -fPrice);
}
Currency kReceiptLineGiftCardSale::GetAmount() const { return ContributionUnlessFree(fFreeOfCharge, fPrice); }
Currency kReceiptLineGiftCardRedeem::GetAmount() const {
  return ContributionUnlessFree(fFreeOfCharge, -fPrice);
}
Currency kReceiptLineDiscountAmount::GetAmount() const { return -fAmount; }
Currency kReceiptLineMarkupAmount::GetAmount() const { return fAmount; }
Currency kReceiptLineMarkupAmountOnSubTotal::GetAmount() const { return fAmount; }
Currency kReceiptLineDiscountPercentage::GetAmount() const { return -fAmount; }
Currency kReceiptLineMarkupPercentage::GetAmount() const { return fAmount; }
Currency kReceiptLineMarkupPercentageOnSubTotal::GetAmount() const { return fAmount; }

// --- Receipt totals -------------------------------------------------------------------------------------

Currency kReceipt::GetCalculatedAmount() const {
  Currency total;
  for (const auto& line : fLines) total += line->GetAmount();
  return total;
}

Currency kReceipt::TotalQuantity() const {
  // Returns and weighted sales are product sales too; free-of-charge lines still count their pieces.
  Currency total;
  for (const auto& line : fLines)
    if (const auto* product = dynamic_cast<const kReceiptLineProductSale*>(line.get()))
      total += product->Quantity();
  return total;
}

void kReceipt::CalcLinesNetAmount() {
  // Every figure starts again from the line's own contribution, so computing twice gives the same
  // figures rather than counting the item adjustments twice.
  for (auto& line : fLines) {
    line->fNetAmount = line->GetAmount();
    line->fNetAmountNoSubTotalDiscounts = line->fNetAmount;
    line->fTotalNoSubTotalDiscounts = Currency();
  }

  Currency running;
  kReceiptLine* last = nullptr;
  for (std::size_t i = 0; i < fLines.size(); ++i) {
    kReceiptLine& line = *fLines[i];
    const Currency amount = line.GetAmount();
    if (last != nullptr && IsItemAdjustment(line.fLineType)) {
      last->fNetAmount += amount;
      last->fTotalNoSubTotalDiscounts += amount;
      last->fNetAmountNoSubTotalDiscounts += amount;
    } else if (last != nullptr && IsSubtotalAdjustment(line.fLineType) && !running.IsZero()) {
      SpreadSubtotalAdjustment(i, running);
    }
    running += amount;
    if (IsItemLine(line.fLineType)) last = &line;
  }

  // Whatever the host's declared total says beyond the lines lands on the last item.
  if (last != nullptr && fTotalAmount != running) last->fNetAmount += fTotalAmount - running;
}

// Spreads the adjustment at aAdjustmentIndex over every item line before it, in proportion to their
// current nets. Each line gets the difference between two rounded cumulative targets, so the cents given
// out add up to the rounded whole and none is lost between the items.
void kReceipt::SpreadSubtotalAdjustment(std::size_t aAdjustmentIndex, Currency aRunning) {
  const Currency ratio = fLines[aAdjustmentIndex]->GetAmount() / aRunning;
  Currency cumulative;
  Currency given;
  for (std::size_t i = 0; i < aAdjustmentIndex; ++i) {
    kReceiptLine& item = *fLines[i];
    if (!IsItemLine(item.fLineType)) continue;
    cumulative += item.fNetAmount;
    const Currency target = RoundCurrency2(cumulative * ratio);
    item.fNetAmount += target - given;
    given = target;
  }
}

// --- Taxes ----------------------------------------------------------------------------------------------

Currency kReceipt::TotalTaxableAmount() const {
  Currency total;
  for (const auto& tax : fTaxes) total += tax->TaxableAmount();
  return total;
}

Currency kReceipt::TotalTaxAmount() const { return fTaxes.Amount(); }

Currency kReceipt::GetTaxRate(const std::string& aTaxCode) const {
  const kReceiptTaxLine* tax = fTaxes.GetByTaxCode(aTaxCode);
  return tax != nullptr ? tax->TaxRate() : Currency();
}

Currency kReceipt::GetNetAmount(Currency aAmount, const std::string& aTaxCode) const {
  for (const auto& tax : fTaxes) {
    if (tax->TaxCode() != aTaxCode || tax->TaxType() != tt_VAT) continue;
    const Currency divisor = tax->TaxRate() + Currency::FromUnits(100);
    if (divisor.IsZero()) throw QzError("Division by zero");
    // One rounding for the whole expression: rounding the quotient first would lose the cents.
    return Currency::FromDouble(aAmount.ToLongDouble() / divisor.ToLongDouble() * 100.0L);
  }
  return aAmount;
}

kReceiptTaxLine* kReceiptTaxLines::GetByTaxCode(const std::string& aCode) const {
  for (const auto& tax : *this)
    if (tax->TaxCode() == aCode) return tax.get();
  return nullptr;
}

Currency kReceiptTaxLines::GetTaxableAmountByTaxRate(Currency aTaxRate) const {
  Currency total;
  for (const auto& tax : *this)
    if (tax->TaxRate() == aTaxRate) total += tax->TaxableAmount();
  return total;
}

Currency kReceiptTaxLines::GetTaxAmountByTaxRate(Currency aTaxRate) const {
  Currency total;
  for (const auto& tax : *this)
    if (tax->TaxRate() == aTaxRate) total += tax->TaxAmount();
  return total;
}

Currency kReceiptTaxLines::Amount() const {
  Currency total;
  for (const auto& tax : *this) total += tax->TaxAmount();
  return total;
}

// --- Payments -------------------------------------------------------------------------------------------

Currency kReceiptPaymentLines::TotalAmount() const {
  Currency total;
  for (const auto& payment : *this)
    if (payment->PaymentType() != Rpt_Change) total += payment->Amount();
  return total;
}
