// kFiscalProcessor: the public table, drawer, clock, journal and lottery operations. Each logs a banner,
// calls the driver's protected operations and judges success only by the I/O handler's error state: the
// drivers' own Boolean answers are not looked at.

#include "documents/uQzReceipt.h"
#include "framework/uQzFiscalProcessor.h"
#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "support/uQZ_Base.h"

template <typename TResult>
void kFiscalProcessor::BeginPublicOperation(const char* aLogTitle, TResult& aResult) {
  fIOHandler->Debug(let_info, std::string(60, '-') + " " + aLogTitle);
  aResult.Error = true;
  aResult.LogFileName = fIOHandler->GetLogFileName();
}

template <typename TResult, typename TSuccessCopies>
void kFiscalProcessor::EndPublicOperation(TResult& aResult, TSuccessCopies&& aSuccessCopies) {
  if (fIOHandler->ErrorFound()) {
    aResult.Error = true;
    aResult.ErrorText = fIOHandler->ErrorMessage();
    return;
  }
  aSuccessCopies();
  aResult.Error = false;
  aResult.ErrorText.clear();
}

namespace {
constexpr auto kNoCopies = [] {};
}  // namespace

_int_OPENDR_result kFiscalProcessor::Pub_OpenDrawer(kFiscalProcessorHandler& aHandler) {
  _int_OPENDR_result result;
  BeginPublicOperation("OpenDrawer", result);
  OpenDrawer(aHandler.Drawer().Number());
  EndPublicOperation(result, kNoCopies);
  return result;
}

_int_SETDATETIME_result kFiscalProcessor::Pub_SetDateTime(kFiscalProcessorHandler& aHandler) {
  _int_SETDATETIME_result result;
  BeginPublicOperation("SetDateTime", result);
  const DateTime value = XmlToDateTime(aHandler.GetParameter("DateTime"));
  // The zero date-time means "leave the clock alone, just tell me what it says".
  if (value.Value() > 0) SetDateTime(value);
  GetDateTime(result.DateTime);
  EndPublicOperation(result, kNoCopies);
  return result;
}

_int_CLOSE_result kFiscalProcessor::Pub_Close(kFiscalProcessorHandler& /*aHandler*/) {
  _int_CLOSE_result result;
  BeginPublicOperation("Close", result);
  fIOHandler->Disconnect();
  EndPublicOperation(result, kNoCopies);
  return result;
}

_int_EJREPORT_result kFiscalProcessor::Pub_EJReport(kFiscalProcessorHandler& aHandler) {
  _int_EJREPORT_result result;
  BeginPublicOperation("EJReport", result);
  const kEJReport& report = aHandler.EJReport();
  const qzEJReportDestination destination = report.Destination();
  const DateTime start = report.StartDate();
  const DateTime end = report.EndDate();
  const std::int32_t first = report.StartNumber();
  const std::int32_t last = report.EndNumber();
  switch (report.ReportType()) {
    case ejrt_ZReport:
      EJReportZReport(destination, start, end, result);
      break;
    case ejrt_FiscalReceipt:
      EJReportFiscalReceipt(destination, start, end, first, last, result);
      break;
    case ejrt_NonFiscalReceipt:
      EJReportNonFiscalReceipt(destination, start, end, first, last, result);
      break;
    case ejrt_CreditNote:
      EJReportCreditNote(destination, start, end, first, last, result);
      break;
    case ejrt_Invoice:
      EJReportInvoice(destination, start, end, first, last, result);
      break;
  }
  EndPublicOperation(result, kNoCopies);
  return result;
}

_int_GETVATTABLE_result kFiscalProcessor::Pub_GetVatTable(kFiscalProcessorHandler& /*aHandler*/) {
  _int_GETVATTABLE_result result;
  BeginPublicOperation("GetVATTable", result);
  GetVatTable();
  EndPublicOperation(result, [&] {
    for (const auto& vat : *fVatTable) {
      result.VATTable.push_back({vat->Index(), vat->Code(), vat->Description(), vat->Rate()});
    }
  });
  return result;
}

_int_SETVATTABLE_result kFiscalProcessor::Pub_SetVatTable(kFiscalProcessorHandler& aHandler) {
  _int_SETVATTABLE_result result;
  BeginPublicOperation("SetVATTable", result);
  SetVatTable(aHandler.VATTable());
  EndPublicOperation(result, kNoCopies);
  return result;
}

_int_GETDEPTTABLE_result kFiscalProcessor::Pub_GetDeptTable(kFiscalProcessorHandler& /*aHandler*/) {
  _int_GETDEPTTABLE_result result;
  BeginPublicOperation("GetDeptTable", result);
  GetEATable();
  GetDeptTable();
  EndPublicOperation(result, [&] {
    for (const auto& department : *fDeptTable) {
      _int_Dept row;
      row.Index = department->Index();
      row.Code = department->Code();
      row.Description = department->Description();
      row.VatCode = department->VATCode();
      row.SalesType = department->SalesType() == st_Service ? "Service" : "Product";
      if (!department->EACode().empty()) {
        row.EACode = department->EACode();
        // A department may name an activity the device did not list: the code is still reported, with
        // nothing known about the activity.
        if (const kEconomicActivity* activity = fEATable->Get(row.EACode)) {
          row.EADescription = activity->Description();
          row.EAVATMode = activity->Ventilazione() ? "1" : "0";
        }
      }
      result.DeptTable.push_back(std::move(row));
    }
  });
  return result;
}

_int_SETDEPTTABLE_result kFiscalProcessor::Pub_SetDeptTable(kFiscalProcessorHandler& aHandler) {
  _int_SETDEPTTABLE_result result;
  BeginPublicOperation("SetDeptTable", result);
  // Departments refer to activities by code, so the activities go to the device first.
  SetEATable(aHandler.EATable());
  SetDeptTable(aHandler.DeptTable());
  EndPublicOperation(result, kNoCopies);
  return result;
}

_int_GETLOTTERYRCPTSTATUS_result kFiscalProcessor::Pub_GetLotteryReceiptStatus(
    kFiscalProcessorHandler& aHandler) {
  _int_GETLOTTERYRCPTSTATUS_result result;
  BeginPublicOperation("GetLotteryRcptStatus", result);
  if (IsReady() || CheckReady()) GetLotteryReceiptStatus(aHandler.ReceiptReference());
  EndPublicOperation(result, [&] {
    result.CorrectlySent = fLotteryReceiptStatus.CorrectlySent;
    result.StatusCode = fLotteryReceiptStatus.StatusCode;
    result.StatusDescription = fLotteryReceiptStatus.StatusDescription;
    result.ReferenceId = fLotteryReceiptStatus.ReferenceId;
  });
  return result;
}

_int_GETEJFILES_result kFiscalProcessor::Pub_GetEJFiles(kFiscalProcessorHandler& aHandler) {
  _int_GETEJFILES_result result;
  BeginPublicOperation("GetEJFiles", result);
  const kEJFilesRequest& request = aHandler.EJFilesRequest();
  GetEJFiles(request.ReqType(), request.StartDate(), request.EndDate(), request.OutputDir(), fEJFilesCount);
  EndPublicOperation(result, [&] { result.FilesCount = fEJFilesCount; });
  return result;
}
