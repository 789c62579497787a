#pragma once

// Enumerations of the receipt documents. Ordinals are significant: the counters
// file, the processor and the text-form tables compare and store them.

#include <cstdint>
#include <initializer_list>

enum qzReceiptHandlerDocumentType {
  dt_Receipt,
  dt_NFReceipt,
  dt_Display,
  dt_Drawer,
  dt_EJReport,
  dt_VatTable,
  dt_DeptTable,
  dt_Pay,
  dt_ReceiptReference,
  dt_EJFilesRequest,
  dt_XReport,
  dt_ZReport
};

enum qzReceiptLineType {
  rlt_ProductSale,
  rlt_ProductReturn,
  rlt_WeightedProductSale,
  rlt_VoucherSale,
  rlt_VoucherRedeem,
  rlt_GiftCardSale,
  rlt_GiftCardRedeem,
  rlt_SubTotal,
  rlt_Text,
  rlt_DiscountAmount,
  rlt_DiscountPercentage,
  rlt_DiscountAmountOnSubtotal,
  rlt_DiscountPercentageOnSubTotal,
  rlt_MarkupAmount,
  rlt_MarkupPercentage,
  rlt_MarkupAmountOnSubtotal,
  rlt_MarkupPercentageOnSubTotal,
  rlt_CollectAmount
};

enum qzReceiptSection { rs_lead, rs_body, rs_trail };

enum qzReceiptLineAttribute { rla_Product, rla_Service };

enum qzReceiptReferenceType { rrt_OriginalReceipt, rrt_EFTReceipt, rrt_NotAvailable, rrt_Empties };

enum qzReceiptType { rt_Sale, rt_Refund, rt_Void, rt_InvoiceSale, rt_InvoiceSaleFromReceipt };

enum qzReceiptPaymentType {
  rpt_Cash,
  rpt_Cheque,
  rpt_CreditCard,
  rpt_DebitCard,
  rpt_Credit,
  rpt_CreditOnProducts,
  rpt_CreditOnServices,
  Rpt_GiftCard,
  Rpt_Voucher,
  Rpt_MealVoucher,
  Rpt_NHSCard,
  Rpt_Change
};

enum qzReceiptTaxType { tt_VAT, tt_SalesTax };

enum qzReceiptMessageLineAlignment { la_none, la_right, la_center, la_left };

enum qzReceiptMessageBarcodeType {
  bt_EAN13,
  bt_EAN8,
  bt_CODE39,
  bt_CODE128,
  bt_QRCODE,
  bt_UPCA,
  bt_UPCE,
  bt_Interleaved2Of5
};

enum qzReceiptMessageLineEffect {
  le_bold,
  le_italic,
  le_underline,
  le_doubleheight,
  le_doublewidth,
  le_doublesize,
  le_invertcolors,
  le_condensed
};

enum qzEJReportType {
  ejrt_ZReport,
  ejrt_FiscalReceipt,
  ejrt_NonFiscalReceipt,
  ejrt_CreditNote,
  ejrt_Invoice
};

enum qzEJReportDestination { rd_Printer, rd_Memory };

enum qzEJFilesRequestType { ej_xml };

enum qzReceiptMessageImageSource { is_Resource, is_FileSystem };

enum qzDepartmentSalesType { st_Product, st_Service };

enum QzPrintLocation { pl_ECR, pl_EFT };

// A set of members of a plain enumeration: bit number = ordinal.
template <typename TEnum, typename TBits>
class qzEnumSet {
 public:
  constexpr qzEnumSet() = default;
  constexpr qzEnumSet(std::initializer_list<TEnum> aMembers) {
    for (TEnum m : aMembers) Include(m);
  }

  static constexpr qzEnumSet FromBits(TBits aBits) {
    qzEnumSet s;
    s.fBits = aBits;
    return s;
  }
  constexpr TBits Bits() const { return fBits; }

  constexpr bool Contains(TEnum aMember) const { return (fBits & Bit(aMember)) != 0; }
  constexpr void Include(TEnum aMember) { fBits = static_cast<TBits>(fBits | Bit(aMember)); }
  constexpr void Exclude(TEnum aMember) { fBits = static_cast<TBits>(fBits & ~Bit(aMember)); }
  constexpr bool Empty() const { return fBits == 0; }

  constexpr bool operator==(const qzEnumSet&) const = default;

 private:
  static constexpr TBits Bit(TEnum aMember) {
    return static_cast<TBits>(TBits{1} << static_cast<unsigned>(aMember));
  }
  TBits fBits = 0;
};

// Eight effects, eight bits.
using qzReceiptMessageLineEffectSet = qzEnumSet<qzReceiptMessageLineEffect, std::uint8_t>;

// The documents a request carries; the request handler parses only these.
using qzReceiptHandlerDocumentTypes = qzEnumSet<qzReceiptHandlerDocumentType, std::uint16_t>;
