#pragma once
// uQzReceipt: the documents a point-of-sale host sends inside a request. The fiscal receipt (kReceipt) with
// its sale, tax, payment and message lines; the smaller documents (non-fiscal receipt, customer display,
// drawer, electronic-journal report, payment receipt, receipt reference, electronic-journal files
// request); and the VAT, department and economic-activity tables.
//
// Ownership: every list below owns its items (std::unique_ptr); Owner/NFOwner are plain back pointers to
// the document holding an item and may be null. A document is filled once by its Deserialize, which only
// appends to its lists. Documents are neither copied nor moved: their items point back at them.

#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "documents/qzReceiptEnums.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

class kReceipt;
class kNFReceipt;

// Line families, by line type: the amount rules spread adjustments over item lines only.
constexpr bool IsItemLine(qzReceiptLineType aType) {
  return (aType >= rlt_ProductSale && aType <= rlt_GiftCardRedeem) || aType == rlt_CollectAmount;
}
constexpr bool IsItemAdjustment(qzReceiptLineType aType) {
  return aType == rlt_DiscountAmount || aType == rlt_DiscountPercentage || aType == rlt_MarkupAmount ||
         aType == rlt_MarkupPercentage;
}
constexpr bool IsSubtotalAdjustment(qzReceiptLineType aType) {
  return aType == rlt_DiscountAmountOnSubtotal || aType == rlt_DiscountPercentageOnSubTotal ||
         aType == rlt_MarkupAmountOnSubtotal || aType == rlt_MarkupPercentageOnSubTotal;
}

// ---------------------------------------------------------------------------------------------------------
// Sale lines
// ---------------------------------------------------------------------------------------------------------

// Abstract base of the eighteen line classes. Each concrete class's constructor also sets LineType to the
// class's own member, so a line built in code is in the right family without a further call.
class kReceiptLine {
 public:
  explicit kReceiptLine(kReceipt* aOwner) : fOwner(aOwner) {}
  virtual ~kReceiptLine() = default;
  kReceiptLine(const kReceiptLine&) = delete;
  kReceiptLine& operator=(const kReceiptLine&) = delete;

  // Slot 1: the line's signed contribution to the receipt total.
  virtual Currency GetAmount() const = 0;

  kReceipt* Owner() const { return fOwner; }
  qzReceiptLineType LineType() const { return fLineType; }
  void SetLineType(qzReceiptLineType aValue) { fLineType = aValue; }
  const std::string& AdditionalInfo() const { return fAdditionalInfo; }
  // Set by kReceipt::CalcLinesNetAmount.
  Currency NetAmount() const { return fNetAmount; }
  Currency NetAmountNoSubTotalDiscounts() const { return fNetAmountNoSubTotalDiscounts; }
  Currency TotalNoSubTotalDiscounts() const { return fTotalNoSubTotalDiscounts; }

 protected:
  kReceiptLine(kReceipt* aOwner, qzReceiptLineType aLineType) : fOwner(aOwner), fLineType(aLineType) {}
  // aText as is when the owner allows special characters, else normalized for a plain-ASCII printer.
  std::string GetPrintableText(const std::string& aText) const;

  kReceipt* fOwner = nullptr;
  qzReceiptLineType fLineType = rlt_ProductSale;
  std::string fAdditionalInfo;
  Currency fNetAmount;
  Currency fNetAmountNoSubTotalDiscounts;
  Currency fTotalNoSubTotalDiscounts;

 private:
  friend class kReceipt;
};

using kReceiptLines = std::vector<std::unique_ptr<kReceiptLine>>;

class kReceiptLineProductSale : public kReceiptLine {
 public:
  explicit kReceiptLineProductSale(kReceipt* aOwner) : kReceiptLine(aOwner, rlt_ProductSale) {}

  Currency GetAmount() const override;

  static std::unique_ptr<kReceiptLineProductSale> Build(
      kReceipt* aReceipt, const std::string& aCode, const std::string& aDescription, Currency aQuantity,
      const std::string& aUOM, const std::string& aDepartment, const std::string& aTaxCode, Currency aPrice,
      Currency aAmount, const std::string& aAdditionalInfo, const std::string& aVoucherCode);

  const std::string& Code() const { return fCode; }
  void SetCode(const std::string& aValue) { fCode = aValue; }
  std::string Description() const { return GetPrintableText(fDescription); }
  void SetDescription(const std::string& aValue) { fDescription = aValue; }
  Currency Quantity() const { return fQuantity; }
  void SetQuantity(Currency aValue) { fQuantity = aValue; }
  const std::string& UOM() const { return fUOM; }
  void SetUOM(const std::string& aValue) { fUOM = aValue; }
  const std::string& Department() const { return fDepartment; }
  void SetDepartment(const std::string& aValue) { fDepartment = aValue; }
  const std::string& TaxCode() const { return fTaxCode; }
  void SetTaxCode(const std::string& aValue) { fTaxCode = aValue; }
  Currency Price() const { return fPrice; }
  void SetPrice(Currency aValue) { fPrice = aValue; }
  Currency Amount() const { return fAmount; }
  void SetAmount(Currency aValue) { fAmount = aValue; }
  bool FreeOfCharge() const { return fFreeOfCharge; }
  void SetFreeOfCharge(bool aValue) { fFreeOfCharge = aValue; }
  qzReceiptLineAttribute Attribute() const { return fAttribute; }
  void SetAttribute(qzReceiptLineAttribute aValue) { fAttribute = aValue; }
  const std::string& VoucherCode() const { return fVoucherCode; }
  void SetVoucherCode(const std::string& aValue) { fVoucherCode = aValue; }

 protected:
  kReceiptLineProductSale(kReceipt* aOwner, qzReceiptLineType aLineType) : kReceiptLine(aOwner, aLineType) {}

  std::string fCode;
  std::string fDescription;
  Currency fQuantity;
  std::string fUOM;
  std::string fDepartment;
  std::string fTaxCode;
  Currency fPrice;
  Currency fAmount;
  bool fFreeOfCharge = false;
  qzReceiptLineAttribute fAttribute = rla_Product;
  std::string fVoucherCode;

 private:
  friend class kReceipt;
};

class kReceiptLineProductReturn : public kReceiptLineProductSale {
 public:
  explicit kReceiptLineProductReturn(kReceipt* aOwner) : kReceiptLineProductSale(aOwner, rlt_ProductReturn) {}
  Currency GetAmount() const override;
};

class kReceiptLineWeightedProductSale : public kReceiptLineProductSale {
 public:
  explicit kReceiptLineWeightedProductSale(kReceipt* aOwner)
      : kReceiptLineProductSale(aOwner, rlt_WeightedProductSale) {}

  Currency Tare() const { return fTare; }

 private:
  friend class kReceipt;
  Currency fTare;
};

class kReceiptLineCollectAmount : public kReceiptLine {
 public:
  explicit kReceiptLineCollectAmount(kReceipt* aOwner) : kReceiptLine(aOwner, rlt_CollectAmount) {}

  Currency GetAmount() const override;

  std::string Description() const { return GetPrintableText(fDescription); }
  const std::string& Department() const { return fDepartment; }
  const std::string& TaxCode() const { return fTaxCode; }
  Currency Amount() const { return fAmount; }

 private:
  friend class kReceipt;
  std::string fDescription;
  std::string fDepartment;
  std::string fTaxCode;
  Currency fAmount;
};

class kReceiptLineVoucherSale : public kReceiptLine {
 public:
  explicit kReceiptLineVoucherSale(kReceipt* aOwner) : kReceiptLine(aOwner, rlt_VoucherSale) {}

  Currency GetAmount() const override;

  const std::string& Code() const { return fCode; }
  std::string Description() const { return GetPrintableText(fDescription); }
  Currency Price() const { return fPrice; }
  const std::string& Department() const { return fDepartment; }
  const std::string& TaxCode() const { return fTaxCode; }
  bool FreeOfCharge() const { return fFreeOfCharge; }
  void SetFreeOfCharge(bool aValue) { fFreeOfCharge = aValue; }

 protected:
  kReceiptLineVoucherSale(kReceipt* aOwner, qzReceiptLineType aLineType) : kReceiptLine(aOwner, aLineType) {}

  std::string fCode;
  std::string fDescription;
  Currency fPrice;
  std::string fDepartment;
  std::string fTaxCode;
  bool fFreeOfCharge = false;

 private:
  friend class kReceipt;
};

class kReceiptLineVoucherRedeem : public kReceiptLineVoucherSale {
 public:
  explicit kReceiptLineVoucherRedeem(kReceipt* aOwner) : kReceiptLineVoucherSale(aOwner, rlt_VoucherRedeem) {}
  Currency GetAmount() const override;
};

class kReceiptLineGiftCardSale : public kReceiptLine {
 public:
  explicit kReceiptLineGiftCardSale(kReceipt* aOwner) : kReceiptLine(aOwner, rlt_GiftCardSale) {}

  Currency GetAmount() const override;

  static std::unique_ptr<kReceiptLineGiftCardSale> Build(kReceipt* aReceipt, const std::string& aCode,
                                                         const std::string& aDescription,
                                                         const std::string& aDepartment,
                                                         const std::string& aTaxCode, Currency aPrice,
                                                         const std::string& aAdditionalInfo);

  const std::string& Code() const { return fCode; }
  void SetCode(const std::string& aValue) { fCode = aValue; }
  std::string Description() const { return GetPrintableText(fDescription); }
  void SetDescription(const std::string& aValue) { fDescription = aValue; }
  Currency Price() const { return fPrice; }
  void SetPrice(Currency aValue) { fPrice = aValue; }
  const std::string& Department() const { return fDepartment; }
  void SetDepartment(const std::string& aValue) { fDepartment = aValue; }
  const std::string& TaxCode() const { return fTaxCode; }
  void SetTaxCode(const std::string& aValue) { fTaxCode = aValue; }
  bool FreeOfCharge() const { return fFreeOfCharge; }
  void SetFreeOfCharge(bool aValue) { fFreeOfCharge = aValue; }
  const std::string& TaxMode() const { return fTaxMode; }
  void SetTaxMode(const std::string& aValue) { fTaxMode = aValue; }

 protected:
  kReceiptLineGiftCardSale(kReceipt* aOwner, qzReceiptLineType aLineType) : kReceiptLine(aOwner, aLineType) {}

  std::string fCode;
  std::string fDescription;
  Currency fPrice;
  std::string fDepartment;
  std::string fTaxCode;
  bool fFreeOfCharge = false;
  std::string fTaxMode;

 private:
  friend class kReceipt;
};

class kReceiptLineGiftCardRedeem : public kReceiptLineGiftCardSale {
 public:
  explicit kReceiptLineGiftCardRedeem(kReceipt* aOwner)
      : kReceiptLineGiftCardSale(aOwner, rlt_GiftCardRedeem) {}

  Currency GetAmount() const override;

  static std::unique_ptr<kReceiptLineGiftCardRedeem> Build(kReceipt* aReceipt, const std::string& aCode,
                                                           const std::string& aDescription,
                                                           const std::string& aDepartment,
                                                           const std::string& aTaxCode, Currency aPrice,
                                                           const std::string& aTaxMode,
                                                           const std::string& aAdditionalInfo);
};

class kReceiptLineSubtotal : public kReceiptLine {
 public:
  explicit kReceiptLineSubtotal(kReceipt* aOwner) : kReceiptLine(aOwner, rlt_SubTotal) {}

  // A subtotal is informative: it contributes nothing.
  Currency GetAmount() const override { return Currency(); }

  Currency Amount() const { return fAmount; }
  void SetAmount(Currency aValue) { fAmount = aValue; }

 private:
  friend class kReceipt;
  Currency fAmount;
};

class kReceiptLineText : public kReceiptLine {
 public:
  explicit kReceiptLineText(kReceipt* aOwner) : kReceiptLine(aOwner, rlt_Text) {}

  Currency GetAmount() const override { return Currency(); }

  std::string Description() const { return GetPrintableText(fDescription); }
  void SetDescription(const std::string& aValue) { fDescription = aValue; }

 private:
  friend class kReceipt;
  std::string fDescription;
};

// A discount or markup of a fixed amount. Amount is the unsigned size; the class gives the sign.
class kReceiptLineDiscountAmount : public kReceiptLine {
 public:
  explicit kReceiptLineDiscountAmount(kReceipt* aOwner) : kReceiptLine(aOwner, rlt_DiscountAmount) {}

  Currency GetAmount() const override;

  static std::unique_ptr<kReceiptLineDiscountAmount> Build(kReceipt* aReceipt,
                                                           const std::string& aDescription, Currency aAmount,
                                                           const std::string& aReasonCode,
                                                           const std::string& aReasonNote,
                                                           const std::string& aAdditionalInfo);

  std::string Description() const { return GetPrintableText(fDescription); }
  Currency Amount() const { return fAmount; }
  const std::string& ReasonCode() const { return fReasonCode; }
  const std::string& ReasonNote() const { return fReasonNote; }

 protected:
  kReceiptLineDiscountAmount(kReceipt* aOwner, qzReceiptLineType aLineType)
      : kReceiptLine(aOwner, aLineType) {}

  std::string fDescription;
  Currency fAmount;
  std::string fReasonCode;
  std::string fReasonNote;

 private:
  friend class kReceipt;
};

class kReceiptLineDiscountAmountOnSubTotal : public kReceiptLineDiscountAmount {
 public:
  explicit kReceiptLineDiscountAmountOnSubTotal(kReceipt* aOwner)
      : kReceiptLineDiscountAmount(aOwner, rlt_DiscountAmountOnSubtotal) {}

 protected:
  kReceiptLineDiscountAmountOnSubTotal(kReceipt* aOwner, qzReceiptLineType aLineType)
      : kReceiptLineDiscountAmount(aOwner, aLineType) {}
};

class kReceiptLineMarkupAmountOnSubTotal : public kReceiptLineDiscountAmountOnSubTotal {
 public:
  explicit kReceiptLineMarkupAmountOnSubTotal(kReceipt* aOwner)
      : kReceiptLineDiscountAmountOnSubTotal(aOwner, rlt_MarkupAmountOnSubtotal) {}
  Currency GetAmount() const override;
};

class kReceiptLineMarkupAmount : public kReceiptLineDiscountAmount {
 public:
  explicit kReceiptLineMarkupAmount(kReceipt* aOwner)
      : kReceiptLineDiscountAmount(aOwner, rlt_MarkupAmount) {}
  Currency GetAmount() const override;
};

// A discount or markup given as a percentage. Percentage is informative; Amount (unsigned, as sent) is
// what it gives and what counts.
class kReceiptLineDiscountPercentage : public kReceiptLine {
 public:
  explicit kReceiptLineDiscountPercentage(kReceipt* aOwner) : kReceiptLine(aOwner, rlt_DiscountPercentage) {}

  Currency GetAmount() const override;

  static std::unique_ptr<kReceiptLineDiscountPercentage> Build(
      kReceipt* aReceipt, const std::string& aDescription, Currency aPercentage, Currency aAmount,
      const std::string& aReasonCode, const std::string& aReasonNote, const std::string& aAdditionalInfo);

  std::string Description() const { return GetPrintableText(fDescription); }
  Currency Percentage() const { return fPercentage; }
  Currency Amount() const { return fAmount; }
  const std::string& ReasonCode() const { return fReasonCode; }
  const std::string& ReasonNote() const { return fReasonNote; }

 protected:
  kReceiptLineDiscountPercentage(kReceipt* aOwner, qzReceiptLineType aLineType)
      : kReceiptLine(aOwner, aLineType) {}

  std::string fDescription;
  Currency fPercentage;
  Currency fAmount;
  std::string fReasonCode;
  std::string fReasonNote;

 private:
  friend class kReceipt;
};

class kReceiptLineDiscountPercentageOnSubTotal : public kReceiptLineDiscountPercentage {
 public:
  explicit kReceiptLineDiscountPercentageOnSubTotal(kReceipt* aOwner)
      : kReceiptLineDiscountPercentage(aOwner, rlt_DiscountPercentageOnSubTotal) {}

 protected:
  kReceiptLineDiscountPercentageOnSubTotal(kReceipt* aOwner, qzReceiptLineType aLineType)
      : kReceiptLineDiscountPercentage(aOwner, aLineType) {}
};

class kReceiptLineMarkupPercentageOnSubTotal : public kReceiptLineDiscountPercentageOnSubTotal {
 public:
  explicit kReceiptLineMarkupPercentageOnSubTotal(kReceipt* aOwner)
      : kReceiptLineDiscountPercentageOnSubTotal(aOwner, rlt_MarkupPercentageOnSubTotal) {}
  Currency GetAmount() const override;
};

class kReceiptLineMarkupPercentage : public kReceiptLineDiscountPercentage {
 public:
  explicit kReceiptLineMarkupPercentage(kReceipt* aOwner)
      : kReceiptLineDiscountPercentage(aOwner, rlt_MarkupPercentage) {}
  Currency GetAmount() const override;
};

// ---------------------------------------------------------------------------------------------------------
// Tax and payment lines
// ---------------------------------------------------------------------------------------------------------

class kReceiptTaxLine {
 public:
  explicit kReceiptTaxLine(kReceipt* aOwner) : fOwner(aOwner) {}
  kReceiptTaxLine(const kReceiptTaxLine&) = delete;
  kReceiptTaxLine& operator=(const kReceiptTaxLine&) = delete;

  kReceipt* Owner() const { return fOwner; }
  qzReceiptTaxType TaxType() const { return fTaxType; }
  const std::string& TaxCode() const { return fTaxCode; }
  const std::string& TaxDescription() const { return fTaxDescription; }
  // Percent: 22 means 22 %.
  Currency TaxRate() const { return fTaxRate; }
  Currency TaxableAmount() const { return fTaxableAmount; }
  Currency TaxAmount() const { return fTaxAmount; }
  Currency TotalAmount() const { return fTotalAmount; }

 private:
  friend class kReceipt;
  kReceipt* fOwner = nullptr;
  qzReceiptTaxType fTaxType = tt_VAT;
  std::string fTaxCode;
  std::string fTaxDescription;
  Currency fTaxRate;
  Currency fTaxableAmount;
  Currency fTaxAmount;
  Currency fTotalAmount;
};

class kReceiptTaxLines : public std::vector<std::unique_ptr<kReceiptTaxLine>> {
 public:
  // The first line with exactly this code, or null.
  kReceiptTaxLine* GetByTaxCode(const std::string& aCode) const;
  Currency GetTaxableAmountByTaxRate(Currency aTaxRate) const;
  Currency GetTaxAmountByTaxRate(Currency aTaxRate) const;
  // Sum of the tax amounts.
  Currency Amount() const;
};

class kReceiptPaymentLine {
 public:
  explicit kReceiptPaymentLine(kReceipt* aOwner) : fOwner(aOwner) {}
  kReceiptPaymentLine(const kReceiptPaymentLine&) = delete;
  kReceiptPaymentLine& operator=(const kReceiptPaymentLine&) = delete;

  // The accessor Currency (the tender's currency code) hides the amount type inside this class, hence
  // ::Currency below.
  kReceipt* Owner() const { return fOwner; }
  qzReceiptPaymentType PaymentType() const { return fPaymentType; }
  void SetPaymentType(qzReceiptPaymentType aValue) { fPaymentType = aValue; }
  const std::string& Description() const { return fDescription; }
  void SetDescription(const std::string& aValue) { fDescription = aValue; }
  ::Currency Amount() const { return fAmount; }
  void SetAmount(::Currency aValue) { fAmount = aValue; }
  const std::string& Currency() const { return fCurrency; }
  void SetCurrency(const std::string& aValue) { fCurrency = aValue; }
  ::Currency Quantity() const { return fQuantity; }
  void SetQuantity(::Currency aValue) { fQuantity = aValue; }
  ::Currency UnitPrice() const { return fUnitPrice; }
  void SetUnitPrice(::Currency aValue) { fUnitPrice = aValue; }

 private:
  kReceipt* fOwner = nullptr;
  qzReceiptPaymentType fPaymentType = rpt_Cash;
  std::string fDescription;
  ::Currency fAmount;
  std::string fCurrency;
  ::Currency fQuantity;
  ::Currency fUnitPrice;
};

class kReceiptPaymentLines : public std::vector<std::unique_ptr<kReceiptPaymentLine>> {
 public:
  // Sum of the tendered amounts; change given back (Rpt_Change) is left out.
  Currency TotalAmount() const;
};

// ---------------------------------------------------------------------------------------------------------
// Message lines
// ---------------------------------------------------------------------------------------------------------

class kReceiptMessageLine {
 public:
  // No owner: as the customer display creates its lines.
  kReceiptMessageLine() = default;
  explicit kReceiptMessageLine(kReceipt* aOwner) : fOwner(aOwner) {}
  explicit kReceiptMessageLine(kNFReceipt* aOwner) : fNFOwner(aOwner) {}
  virtual ~kReceiptMessageLine() = default;
  kReceiptMessageLine(const kReceiptMessageLine&) = delete;
  kReceiptMessageLine& operator=(const kReceiptMessageLine&) = delete;

  kReceipt* Owner() const { return fOwner; }
  kNFReceipt* NFOwner() const { return fNFOwner; }
  qzReceiptMessageLineAlignment Alignment() const { return fAlignment; }
  void SetAlignment(qzReceiptMessageLineAlignment aValue) { fAlignment = aValue; }
  const std::string& Value() const { return fValue; }
  void SetValue(const std::string& aValue) { fValue = aValue; }

 protected:
  kReceipt* fOwner = nullptr;
  kNFReceipt* fNFOwner = nullptr;
  qzReceiptMessageLineAlignment fAlignment = la_none;
  std::string fValue;
};

using kReceiptMessageLines = std::vector<std::unique_ptr<kReceiptMessageLine>>;

class kReceiptMessageTextLine : public kReceiptMessageLine {
 public:
  using kReceiptMessageLine::kReceiptMessageLine;

  // The text as stored when the owning document allows special characters, else normalized for a
  // plain-ASCII printer. SetValue stores the text unchanged.
  std::string Value() const;
  qzReceiptSection Section() const { return fSection; }
  void SetSection(qzReceiptSection aValue) { fSection = aValue; }
  std::int32_t Size() const { return fSize; }
  void SetSize(std::int32_t aValue) { fSize = aValue; }
  qzReceiptMessageLineEffectSet Effects() const { return fEffects; }
  void SetEffects(qzReceiptMessageLineEffectSet aValue) { fEffects = aValue; }

 private:
  qzReceiptSection fSection = rs_lead;
  std::int32_t fSize = 0;
  qzReceiptMessageLineEffectSet fEffects;
};

class kReceiptMessageBarcodeLine : public kReceiptMessageLine {
 public:
  using kReceiptMessageLine::kReceiptMessageLine;

  qzReceiptSection Section() const { return fSection; }
  qzReceiptMessageBarcodeType BarcodeType() const { return fBarcodeType; }
  void SetBarcodeType(qzReceiptMessageBarcodeType aValue) { fBarcodeType = aValue; }
  bool HRI() const { return fHRI; }
  void SetHRI(bool aValue) { fHRI = aValue; }
  std::int32_t QRCOdeMinVersion() const { return fQRCodeMinVersion; }
  void SetQRCOdeMinVersion(std::int32_t aValue) { fQRCodeMinVersion = aValue; }

 private:
  friend class kReceipt;
  friend class kNFReceipt;
  qzReceiptSection fSection = rs_lead;
  qzReceiptMessageBarcodeType fBarcodeType = bt_EAN13;
  bool fHRI = false;
  std::int32_t fQRCodeMinVersion = 0;
};

class kReceiptMessageImageLine : public kReceiptMessageLine {
 public:
  using kReceiptMessageLine::kReceiptMessageLine;

  qzReceiptSection Section() const { return fSection; }
  qzReceiptMessageImageSource Source() const { return fSource; }
  void SetSource(qzReceiptMessageImageSource aValue) { fSource = aValue; }
  // The image reference (a file path or a resource name), held apart from the base text value.
  const std::string& Value() const { return fValue; }
  void SetValue(const std::string& aValue) { fValue = aValue; }

 private:
  friend class kReceipt;
  friend class kNFReceipt;
  qzReceiptSection fSection = rs_lead;
  qzReceiptMessageImageSource fSource = is_Resource;
  std::string fValue;
};

// ---------------------------------------------------------------------------------------------------------
// The fiscal receipt
// ---------------------------------------------------------------------------------------------------------

// The receipt that a refund, void or invoice refers to.
struct qzOriginalReceipt {
  DateTime ReceiptDateTime;
  std::string ReceiptNumber;
  std::string DeviceSerialNumber;
  std::string ServerSerialNumber;
  std::string EJNumber;
  std::string EJClosingNumber;
  bool ExcludeFPCheck = false;
  qzReceiptReferenceType ReferenceType = rrt_OriginalReceipt;
  std::string ExternalReference;
  std::string InvoiceNumber;
  DateTime InvoiceDateTime;
};

class kReceipt {
 public:
  kReceipt() = default;
  ~kReceipt() = default;
  kReceipt(const kReceipt&) = delete;
  kReceipt& operator=(const kReceipt&) = delete;

  // Fills the receipt from the request document: the first "Receipt" child of its root. Appends to the
  // lists; an item being read when a failure is raised is not kept.
  void Deserialize(const pugi::xml_document& aXmlDocument);
  // A new XML document with "Receipt" as its root, every element written.
  std::string Serialize() const;

  // --- Amounts ---
  // Sets NetAmount, NetAmountNoSubTotalDiscounts and TotalNoSubTotalDiscounts of every line.
  void CalcLinesNetAmount();
  Currency GetCalculatedAmount() const;
  Currency TotalQuantity() const;
  Currency GetTotalQuantity() const { return TotalQuantity(); }
  Currency TotalTaxableAmount() const;
  Currency TotalTaxAmount() const;
  Currency GetTaxRate(const std::string& aTaxCode) const;
  Currency GetNetAmount(Currency aAmount, const std::string& aTaxCode) const;

  // --- Properties ---
  bool SupportSpecialChars() const { return fSupportSpecialChars; }
  void SetSupportSpecialChars(bool aValue) { fSupportSpecialChars = aValue; }
  const std::string& Layout() const { return fLayout; }
  void SetLayout(const std::string& aValue) { fLayout = aValue; }
  bool DefaultLayout() const { return fDefaultLayout; }
  void SetDefaultLayout(bool aValue) { fDefaultLayout = aValue; }
  DateTime BusinessDate() const { return fBusinessDate; }
  void SetBusinessDate(DateTime aValue) { fBusinessDate = aValue; }
  const std::string& ReceiptNumber() const { return fReceiptNumber; }
  void SetReceiptNumber(const std::string& aValue) { fReceiptNumber = aValue; }
  DateTime ReceiptDateTime() const { return fReceiptDateTime; }
  void SetReceiptDateTime(DateTime aValue) { fReceiptDateTime = aValue; }
  const std::string& ReceiptZReportNumber() const { return fReceiptZReportNumber; }
  void SetReceiptZReportNumber(const std::string& aValue) { fReceiptZReportNumber = aValue; }
  const std::string& DeviceSerialNumber() const { return fDeviceSerialNumber; }
  void SetDeviceSerialNumber(const std::string& aValue) { fDeviceSerialNumber = aValue; }
  qzReceiptType ReceiptType() const { return fReceiptType; }
  void SetReceiptType(qzReceiptType aValue) { fReceiptType = aValue; }
  const std::string& ReceiptTypeDescription() const { return fReceiptTypeDescription; }
  void SetReceiptTypeDescription(const std::string& aValue) { fReceiptTypeDescription = aValue; }
  const std::string& ReceiptSubtype() const { return fReceiptSubType; }
  void SetReceiptSubtype(const std::string& aValue) { fReceiptSubType = aValue; }
  const std::string& InvoiceNumber() const { return fInvoiceNumber; }
  void SetInvoiceNumber(const std::string& aValue) { fInvoiceNumber = aValue; }
  DateTime InvoiceDateTime() const { return fInvoiceDateTime; }
  void SetInvoiceDateTime(DateTime aValue) { fInvoiceDateTime = aValue; }
  const std::string& ExternalReference() const { return fExternalReference; }
  void SetExternalReference(const std::string& aValue) { fExternalReference = aValue; }
  const qzOriginalReceipt& OriginalReceipt() const { return fOriginalReceipt; }
  qzOriginalReceipt& OriginalReceipt() { return fOriginalReceipt; }
  void SetOriginalReceipt(const qzOriginalReceipt& aValue) { fOriginalReceipt = aValue; }
  const std::string& CountryCode() const { return fCountryCode; }
  void SetCountryCode(const std::string& aValue) { fCountryCode = aValue; }
  const std::string& FiscalAreaCode() const { return fFiscalAreaCode; }
  void SetFiscalAreaCode(const std::string& aValue) { fFiscalAreaCode = aValue; }
  const std::string& CompanyCode() const { return fCompanyCode; }
  void SetCompanyCode(const std::string& aValue) { fCompanyCode = aValue; }
  const std::string& CompanyTaxCode() const { return fCompanyTaxCode; }
  void SetCompanyTaxCode(const std::string& aValue) { fCompanyTaxCode = aValue; }
  const std::string& StoreCode() const { return fStoreCode; }
  void SetStoreCode(const std::string& aValue) { fStoreCode = aValue; }
  const std::string& StoreAddress() const { return fStoreAddress; }
  void SetStoreAddress(const std::string& aValue) { fStoreAddress = aValue; }
  const std::string& StoreZipCode() const { return fStoreZipCode; }
  void SetStoreZipCode(const std::string& aValue) { fStoreZipCode = aValue; }
  const std::string& StoreCity() const { return fStoreCity; }
  void SetStoreCity(const std::string& aValue) { fStoreCity = aValue; }
  const std::string& TillCode() const { return fTillCode; }
  void SetTillCode(const std::string& aValue) { fTillCode = aValue; }
  const std::string& OperatorCode() const { return fOperatorCode; }
  void SetOperatorCode(const std::string& aValue) { fOperatorCode = aValue; }
  const std::string& ReceiptBarcode() const { return fReceiptBarcode; }
  void SetReceiptBarcode(const std::string& aValue) { fReceiptBarcode = aValue; }
  const std::string& CurrencyCode() const { return fCurrencyCode; }
  void SetCurrencyCode(const std::string& aValue) { fCurrencyCode = aValue; }
  Currency TotalAmount() const { return fTotalAmount; }
  void SetTotalAmount(Currency aValue) { fTotalAmount = aValue; }
  Currency TipAmount() const { return fTipAmount; }
  void SetTipAmount(Currency aValue) { fTipAmount = aValue; }
  const std::string& CustomerCode() const { return fCustomerCode; }
  void SetCustomerCode(const std::string& aValue) { fCustomerCode = aValue; }
  const std::string& CustomerCard() const { return fCustomerCard; }
  void SetCustomerCard(const std::string& aValue) { fCustomerCard = aValue; }
  const std::string& CustomerBusinessName() const { return fCustomerBusinessName; }
  void SetCustomerBusinessName(const std::string& aValue) { fCustomerBusinessName = aValue; }
  const std::string& CustomerName() const { return fCustomerName; }
  void SetCustomerName(const std::string& aValue) { fCustomerName = aValue; }
  const std::string& CustomerSurname() const { return fCustomerSurname; }
  void SetCustomerSurname(const std::string& aValue) { fCustomerSurname = aValue; }
  const std::string& CustomerAddress() const { return fCustomerAddress; }
  void SetCustomerAddress(const std::string& aValue) { fCustomerAddress = aValue; }
  const std::string& CustomerZipCode() const { return fCustomerZipCode; }
  void SetCustomerZipCode(const std::string& aValue) { fCustomerZipCode = aValue; }
  const std::string& CustomerCity() const { return fCustomerCity; }
  void SetCustomerCity(const std::string& aValue) { fCustomerCity = aValue; }
  const std::string& CustomerProvince() const { return fCustomerProvince; }
  void SetCustomerProvince(const std::string& aValue) { fCustomerProvince = aValue; }
  const std::string& CustomerCountry() const { return fCustomerCountry; }
  void SetCustomerCountry(const std::string& aValue) { fCustomerCountry = aValue; }
  DateTime CustomerDateOfBirth() const { return fCustomerDateOfBirth; }
  void SetCustomerDateOfBirth(DateTime aValue) { fCustomerDateOfBirth = aValue; }
  const std::string& CustomerTaxCode() const { return fCustomerTaxCode; }
  void SetCustomerTaxCode(const std::string& aValue) { fCustomerTaxCode = aValue; }
  const std::string& CustomerIdNumber() const { return fCustomerIdNumber; }
  void SetCustomerIdNumber(const std::string& aValue) { fCustomerIdNumber = aValue; }
  const std::string& LotteryIdCode() const { return fLotteryIdCode; }
  void SetLotteryIdCode(const std::string& aValue) { fLotteryIdCode = aValue; }
  kReceiptMessageLines& LeaderLines() { return fLeaderLines; }
  const kReceiptMessageLines& LeaderLines() const { return fLeaderLines; }
  kReceiptLines& Lines() { return fLines; }
  const kReceiptLines& Lines() const { return fLines; }
  kReceiptPaymentLines& PaymentLines() { return fPayments; }
  const kReceiptPaymentLines& PaymentLines() const { return fPayments; }
  kReceiptTaxLines& Taxes() { return fTaxes; }
  const kReceiptTaxLines& Taxes() const { return fTaxes; }
  kReceiptMessageLines& TrailerMessages() { return fTrailerMessages; }
  const kReceiptMessageLines& TrailerMessages() const { return fTrailerMessages; }
  bool ToBeInvoiced() const { return fToBeInvoiced; }
  void SetToBeInvoiced(bool aValue) { fToBeInvoiced = aValue; }
  bool SendByEmail() const { return fSendByEmail; }
  void SetSendByEmail(bool aValue) { fSendByEmail = aValue; }
  const std::string& EmailReference() const { return fEmailReference; }
  void SetEmailReference(const std::string& aValue) { fEmailReference = aValue; }
  const std::string& EmailRecipients() const { return fEmailRecipients; }
  void SetEmailRecipients(const std::string& aValue) { fEmailRecipients = aValue; }
  bool PrintReceipt() const { return fPrintReceipt; }
  void SetPrintReceipt(bool aValue) { fPrintReceipt = aValue; }
  std::vector<std::string>& Headers() { return fHeaders; }
  const std::vector<std::string>& Headers() const { return fHeaders; }

 private:
  void ReadScalars(const pugi::xml_node& aReceiptNode);
  void ReadReferences(const pugi::xml_node& aReceiptNode);
  void ReadLines(const pugi::xml_node& aLinesNode);
  std::unique_ptr<kReceiptLine> ReadLine(const pugi::xml_node& aLineNode);
  void ReadTaxes(const pugi::xml_node& aTaxesNode);
  void ReadPayments(const pugi::xml_node& aPaymentsNode);
  void ReadMessageLines(const pugi::xml_node& aGroupNode, kReceiptMessageLines& aList);
  void SpreadSubtotalAdjustment(std::size_t aAdjustmentIndex, Currency aRunning);
  static void WriteLine(pugi::xml_node aParent, const kReceiptLine& aLine);
  static void WriteMessageLine(pugi::xml_node aParent, const kReceiptMessageLine& aLine);

  bool fSupportSpecialChars = false;
  std::string fLayout;
  bool fDefaultLayout = false;
  DateTime fBusinessDate;
  std::string fReceiptNumber;
  DateTime fReceiptDateTime;
  std::string fReceiptZReportNumber;
  std::string fDeviceSerialNumber;
  qzReceiptType fReceiptType = rt_Sale;
  std::string fReceiptTypeDescription;
  std::string fReceiptSubType;
  std::string fInvoiceNumber;
  DateTime fInvoiceDateTime;
  std::string fExternalReference;
  qzOriginalReceipt fOriginalReceipt;
  std::string fCountryCode;
  std::string fFiscalAreaCode;
  std::string fCompanyCode;
  std::string fCompanyTaxCode;
  std::string fStoreCode;
  std::string fStoreAddress;
  std::string fStoreZipCode;
  std::string fStoreCity;
  std::string fTillCode;
  std::string fOperatorCode;
  std::string fReceiptBarcode;
  std::string fCurrencyCode;
  Currency fTotalAmount;
  Currency fTipAmount;
  std::string fCustomerCode;
  std::string fCustomerCard;
  std::string fCustomerBusinessName;
  std::string fCustomerName;
  std::string fCustomerSurname;
  std::string fCustomerAddress;
  std::string fCustomerZipCode;
  std::string fCustomerCity;
  std::string fCustomerProvince;
  std::string fCustomerCountry;
  DateTime fCustomerDateOfBirth;
  std::string fCustomerTaxCode;
  std::string fCustomerIdNumber;
  std::string fLotteryIdCode;
  kReceiptMessageLines fLeaderLines;
  kReceiptLines fLines;
  kReceiptPaymentLines fPayments;
  kReceiptTaxLines fTaxes;
  kReceiptMessageLines fTrailerMessages;
  bool fToBeInvoiced = false;
  bool fSendByEmail = false;
  std::string fEmailReference;
  std::string fEmailRecipients;
  bool fPrintReceipt = false;
  std::vector<std::string> fHeaders;
};

// ---------------------------------------------------------------------------------------------------------
// The smaller documents of a request
// ---------------------------------------------------------------------------------------------------------

class kNFReceipt {
 public:
  kNFReceipt() = default;
  kNFReceipt(const kNFReceipt&) = delete;
  kNFReceipt& operator=(const kNFReceipt&) = delete;

  void Deserialize(const pugi::xml_document& aXmlDocument);

  bool SupportSpecialChars() const { return fSupportSpecialChars; }
  void SetSupportSpecialChars(bool aValue) { fSupportSpecialChars = aValue; }
  const std::string& Layout() const { return fLayout; }
  void SetLayout(const std::string& aValue) { fLayout = aValue; }
  bool DefaultLayout() const { return fDefaultLayout; }
  const std::string& ReceiptNumber() const { return fReceiptNumber; }
  DateTime ReceiptDateTime() const { return fReceiptDateTime; }
  const std::string& CountryCode() const { return fCountryCode; }
  const std::string& CompanyCode() const { return fCompanyCode; }
  const std::string& CompanyTaxCode() const { return fCompanyTaxCode; }
  const std::string& StoreCode() const { return fStoreCode; }
  const std::string& TillCode() const { return fTillCode; }
  const std::string& OperatorCode() const { return fOperatorCode; }
  kReceiptMessageLines& HeaderLines() { return fHeaderLines; }
  const kReceiptMessageLines& HeaderLines() const { return fHeaderLines; }
  kReceiptMessageLines& Lines() { return fLines; }
  const kReceiptMessageLines& Lines() const { return fLines; }
  kReceiptMessageLines& FooterLines() { return fFooterLines; }
  const kReceiptMessageLines& FooterLines() const { return fFooterLines; }

 private:
  // Appends the Barcode, Text and Image children of aLinesNode, in the reading order of aSection's group.
  void ReadMessageLines(const pugi::xml_node& aLinesNode, qzReceiptSection aSection,
                        kReceiptMessageLines& aList);

  bool fSupportSpecialChars = false;
  std::string fLayout;
  bool fDefaultLayout = false;
  std::string fReceiptNumber;
  DateTime fReceiptDateTime;
  std::string fCountryCode;
  std::string fCompanyCode;
  std::string fCompanyTaxCode;
  std::string fStoreCode;
  std::string fTillCode;
  std::string fOperatorCode;
  kReceiptMessageLines fHeaderLines;
  kReceiptMessageLines fLines;
  kReceiptMessageLines fFooterLines;
};

class kCustomerDisplay {
 public:
  kCustomerDisplay() = default;
  kCustomerDisplay(const kCustomerDisplay&) = delete;
  kCustomerDisplay& operator=(const kCustomerDisplay&) = delete;

  void Deserialize(const pugi::xml_document& aXmlDocument);

  // Clear the display before showing the lines.
  bool Clear() const { return fClear; }
  const kReceiptMessageLines& Lines() const { return fLines; }

 private:
  bool fClear = false;
  kReceiptMessageLines fLines;
};

class kDrawer {
 public:
  void Deserialize(const pugi::xml_document& aXmlDocument);

  std::int32_t Number() const { return fNumber; }

 private:
  std::int32_t fNumber = 0;
};

class kEJReport {
 public:
  void Deserialize(const pugi::xml_document& aXmlDocument);

  qzEJReportType ReportType() const { return fReportType; }
  qzEJReportDestination Destination() const { return fDestination; }
  DateTime StartDate() const { return fStartDate; }
  DateTime EndDate() const { return fEndDate; }
  std::int32_t StartNumber() const { return fStartNumber; }
  std::int32_t EndNumber() const { return fEndNumber; }

 private:
  qzEJReportType fReportType = ejrt_ZReport;
  qzEJReportDestination fDestination = rd_Printer;
  DateTime fStartDate;
  DateTime fEndDate;
  std::int32_t fStartNumber = 0;
  std::int32_t fEndNumber = 0;
};

class kVat {
 public:
  // Slot of the rate in the fiscal device; set by the processor that reads its own table.
  std::int32_t Index() const { return fIndex; }
  void SetIndex(std::int32_t aValue) { fIndex = aValue; }
  const std::string& Code() const { return fCode; }
  void SetCode(const std::string& aValue) { fCode = aValue; }
  const std::string& Description() const { return fDescription; }
  void SetDescription(const std::string& aValue) { fDescription = aValue; }
  // Percent.
  Currency Rate() const { return fRate; }
  void SetRate(Currency aValue) { fRate = aValue; }

 private:
  std::int32_t fIndex = 0;
  std::string fCode;
  std::string fDescription;
  Currency fRate;
};

class kVatTable : public std::vector<std::unique_ptr<kVat>> {
 public:
  kVat* Get(const std::string& aCode) const;
  kVat* GetByIndex(std::int32_t aIndex) const;
  // One above the largest index held by a non-zero rate; 1 when there is none.
  std::int32_t GetFirstAvailableIndex() const;
  void Deserialize(const pugi::xml_document& aXmlDocument);
};

class kEconomicActivity {
 public:
  // 1-based position in the table.
  std::int32_t Index() const { return fIndex; }
  void SetIndex(std::int32_t aValue) { fIndex = aValue; }
  const std::string& Code() const { return fCode; }
  void SetCode(const std::string& aValue) { fCode = aValue; }
  const std::string& Description() const { return fDescription; }
  void SetDescription(const std::string& aValue) { fDescription = aValue; }
  // The activity's VAT mode flag.
  bool Ventilazione() const { return fVentilazione; }
  void SetVentilazione(bool aValue) { fVentilazione = aValue; }

 private:
  std::int32_t fIndex = 0;
  std::string fCode;
  std::string fDescription;
  bool fVentilazione = false;
};

class kEconomicActivityTable : public std::vector<std::unique_ptr<kEconomicActivity>> {
 public:
  kEconomicActivity* Get(const std::string& aCode) const;
  kEconomicActivity* GetByIndex(std::int32_t aIndex) const;
  // Built from the rows of the department table document.
  void Deserialize(const pugi::xml_document& aXmlDocument);
};

class kDepartment {
 public:
  // Slot of the department in the fiscal device; set by the processor that reads its own table.
  std::int32_t Index() const { return fIndex; }
  void SetIndex(std::int32_t aValue) { fIndex = aValue; }
  const std::string& Code() const { return fCode; }
  void SetCode(const std::string& aValue) { fCode = aValue; }
  const std::string& Description() const { return fDescription; }
  void SetDescription(const std::string& aValue) { fDescription = aValue; }
  const std::string& VATCode() const { return fVATCode; }
  void SetVATCode(const std::string& aValue) { fVATCode = aValue; }
  qzDepartmentSalesType SalesType() const { return fSalesType; }
  void SetSalesType(qzDepartmentSalesType aValue) { fSalesType = aValue; }
  // Economic activity code.
  const std::string& EACode() const { return fEACode; }
  void SetEACode(const std::string& aValue) { fEACode = aValue; }

 private:
  std::int32_t fIndex = 0;
  std::string fCode;
  std::string fDescription;
  std::string fVATCode;
  qzDepartmentSalesType fSalesType = st_Product;
  std::string fEACode;
};

class kDeptTable : public std::vector<std::unique_ptr<kDepartment>> {
 public:
  kDepartment* Get(const std::string& aCode) const;
  kDepartment* GetByIndex(std::int32_t aIndex) const;
  void Deserialize(const pugi::xml_document& aXmlDocument);
};

class kPaymentReceipt {
 public:
  void Deserialize(const pugi::xml_document& aXmlDocument);

  const std::string& StoreCode() const { return fStoreCode; }
  void SetStoreCode(const std::string& aValue) { fStoreCode = aValue; }
  const std::string& TillCode() const { return fTillCode; }
  void SetTillCode(const std::string& aValue) { fTillCode = aValue; }
  const std::string& Reference() const { return fReference; }
  void SetReference(const std::string& aValue) { fReference = aValue; }
  ::Currency Amount() const { return fAmount; }
  void SetAmount(::Currency aValue) { fAmount = aValue; }
  // The currency code; the accessor hides the amount type inside this class, hence ::Currency.
  const std::string& Currency() const { return fCurrency; }
  void SetCurrency(const std::string& aValue) { fCurrency = aValue; }
  QzPrintLocation PrintLocation() const { return fPrintLocation; }
  void SetPrintLocation(QzPrintLocation aValue) { fPrintLocation = aValue; }
  std::int32_t Copies() const { return fCopies; }
  void SetCopies(std::int32_t aValue) { fCopies = aValue; }
  // The printed text of the payment terminal's receipt.
  std::vector<std::string>& ReceiptLines() { return fReceiptLines; }
  const std::vector<std::string>& ReceiptLines() const { return fReceiptLines; }
  const std::string& RawResponse() const { return fRawResponse; }
  void SetRawResponse(const std::string& aValue) { fRawResponse = aValue; }
  const std::string& ReceiptId() const { return fReceiptId; }
  void SetReceiptId(const std::string& aValue) { fReceiptId = aValue; }

 private:
  std::string fStoreCode;
  std::string fTillCode;
  std::string fReference;
  ::Currency fAmount;
  std::string fCurrency;
  QzPrintLocation fPrintLocation = pl_ECR;
  std::int32_t fCopies = 0;
  std::vector<std::string> fReceiptLines;
  std::string fRawResponse;
  std::string fReceiptId;
};

class kReceiptReference {
 public:
  void Deserialize(const pugi::xml_document& aXmlDocument);

  qzReceiptType ReceiptType() const { return fReceiptType; }
  void SetReceiptType(qzReceiptType aValue) { fReceiptType = aValue; }
  const std::string& EJNumber() const { return fEJNumber; }
  void SetEJNumber(const std::string& aValue) { fEJNumber = aValue; }
  const std::string& EJClosingNumber() const { return fEJClosingNumber; }
  void SetEJClosingNumber(const std::string& aValue) { fEJClosingNumber = aValue; }
  DateTime ReceiptDateTime() const { return fReceiptDateTime; }
  void SetReceiptDateTime(DateTime aValue) { fReceiptDateTime = aValue; }
  const std::string& ReceiptNumber() const { return fReceiptNumber; }
  void SetReceiptNumber(const std::string& aValue) { fReceiptNumber = aValue; }
  const std::string& DeviceSerialNumber() const { return fDeviceSerialNumber; }
  void SetDeviceSerialNumber(const std::string& aValue) { fDeviceSerialNumber = aValue; }

 private:
  qzReceiptType fReceiptType = rt_Sale;
  std::string fEJNumber;
  std::string fEJClosingNumber;
  DateTime fReceiptDateTime;
  std::string fReceiptNumber;
  std::string fDeviceSerialNumber;
};

class kEJFilesRequest {
 public:
  void Deserialize(const pugi::xml_document& aXmlDocument);

  qzEJFilesRequestType ReqType() const { return fReqType; }
  void SetReqType(qzEJFilesRequestType aValue) { fReqType = aValue; }
  DateTime StartDate() const { return fStartDate; }
  void SetStartDate(DateTime aValue) { fStartDate = aValue; }
  DateTime EndDate() const { return fEndDate; }
  void SetEndDate(DateTime aValue) { fEndDate = aValue; }
  const std::string& OutputDir() const { return fOutputDir; }
  void SetOutputDir(const std::string& aValue) { fOutputDir = aValue; }

 private:
  qzEJFilesRequestType fReqType = ej_xml;
  DateTime fStartDate;
  DateTime fEndDate;
  std::string fOutputDir;
};
