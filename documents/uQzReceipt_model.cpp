// Construction helpers of the receipt lines and the printable forms of their texts.

#include "documents/krptUtil.h"
#include "documents/uQzReceipt.h"

std::string kReceiptLine::GetPrintableText(const std::string& aText) const {
  if (fOwner != nullptr && fOwner->SupportSpecialChars()) return aText;
  return krptUtil::NormalizeText(aText);
}

std::string kReceiptMessageTextLine::Value() const {
  const bool allowed = (fOwner != nullptr && fOwner->SupportSpecialChars()) ||
                       (fNFOwner != nullptr && fNFOwner->SupportSpecialChars());
  return allowed ? fValue : krptUtil::NormalizeText(fValue);
}

std::unique_ptr<kReceiptLineProductSale> kReceiptLineProductSale::Build(
    kReceipt* aReceipt, const std::string& aCode, const std::string& aDescription, Currency aQuantity,
    const std::string& aUOM, const std::string& aDepartment, const std::string& aTaxCode, Currency aPrice,
    Currency aAmount, const std::string& aAdditionalInfo, const std::string& aVoucherCode) {
  auto line = std::make_unique<kReceiptLineProductSale>(aReceipt);
  line->fCode = aCode;
  line->fDescription = aDescription;
  line->fQuantity = aQuantity;
  line->fUOM = aUOM;
  line->fDepartment = aDepartment;
  line->fTaxCode = aTaxCode;
  line->fPrice = aPrice;
  line->fAmount = aAmount;
  line->fAdditionalInfo = aAdditionalInfo;
  line->fVoucherCode = aVoucherCode;
  return line;
}

std::unique_ptr<kReceiptLineDiscountAmount> kReceiptLineDiscountAmount::Build(
    kReceipt* aReceipt, const std::string& aDescription, Currency aAmount, const std::string& aReasonCode,
    const std::string& aReasonNote, const std::string& aAdditionalInfo) {
  auto line = std::make_unique<kReceiptLineDiscountAmount>(aReceipt);
  line->fDescription = aDescription;
  line->fAmount = aAmount;
  line->fReasonCode = aReasonCode;
  line->fReasonNote = aReasonNote;
  line->fAdditionalInfo = aAdditionalInfo;
  return line;
}

std::unique_ptr<kReceiptLineDiscountPercentage> kReceiptLineDiscountPercentage::Build(
    kReceipt* aReceipt, const std::string& aDescription, Currency aPercentage, Currency aAmount,
    const std::string& aReasonCode, const std::string& aReasonNote, const std::string& aAdditionalInfo) {
  auto line = std::make_unique<kReceiptLineDiscountPercentage>(aReceipt);
  line->fDescription = aDescription;
  line->fPercentage = aPercentage;
  line->fAmount = aAmount;
  line->fReasonCode = aReasonCode;
  line->fReasonNote = aReasonNote;
  line->fAdditionalInfo = aAdditionalInfo;
  return line;
}

std::unique_ptr<kReceiptLineGiftCardSale> kReceiptLineGiftCardSale::Build(
    kReceipt* aReceipt, const std::string& aCode, const std::string& aDescription,
    const std::string& aDepartment, const std::string& aTaxCode, Currency aPrice,
    const std::string& aAdditionalInfo) {
  auto line = std::make_unique<kReceiptLineGiftCardSale>(aReceipt);
  line->fCode = aCode;
  line->fDescription = aDescription;
  line->fDepartment = aDepartment;
  line->fTaxCode = aTaxCode;
  line->fPrice = aPrice;
  line->fAdditionalInfo = aAdditionalInfo;
  return line;
}

std::unique_ptr<kReceiptLineGiftCardRedeem> kReceiptLineGiftCardRedeem::Build(
    kReceipt* aReceipt, const std::string& aCode, const std::string& aDescription,
    const std::string& aDepartment, const std::string& aTaxCode, Currency aPrice, const std::string& aTaxMode,
    const std::string& aAdditionalInfo) {
  auto line = std::make_unique<kReceiptLineGiftCardRedeem>(aReceipt);
  line->fCode = aCode;
  line->fDescription = aDescription;
  line->fDepartment = aDepartment;
  line->fTaxCode = aTaxCode;
  line->fPrice = aPrice;
  line->fTaxMode = aTaxMode;
  line->fAdditionalInfo = aAdditionalInfo;
  return line;
}
