#include "jobs/receive_job.h"

#include "jobs/history.h"
#include "jobs/rerun.h"
#include "transport/file_exchange.h"
#include "transport/jx_transfer.h"
#include "transport/mail_transfer.h"
#include "transport/nts_transfer.h"

namespace edi {
namespace {

Outcome ReceiveByPackage(const Transfer& transfer, const JobContext& context, ReceiptLog& receipts) {
  NtsTransferRequest request;
  request.centreCode = transfer.centreCode;
  request.transferNo = transfer.number;
  request.mode = "1";
  request.partnerNo = transfer.centre.ntsPartnerNo;
  request.fileNo = transfer.centre.ntsFileNo;
  const NtsContext nts{context.state, transfer.settings.job.packageProgramFolder, context.pending, receipts};
  return RunNtsTransfer(request, transfer.centre.ReceivePath(), nts);
}

Outcome ReceiveByMail(const Transfer& transfer, const JobContext& context, ReceiptLog& receipts) {
  MailTransferRequest request;
  request.centreCode = transfer.centreCode;
  request.transferNo = transfer.number;
  request.direction = "R";
  request.dataFormat = transfer.centre.dataFormat;
  request.partnerAddress = transfer.centre.mailAddress;
  return RunMailTransfer(request,
                         MailContext{context.state, transfer.settings.mail, context.mailProgress, receipts, context.pending});
}

Outcome ReceiveByExchange(const Transfer& transfer, const JobContext& context, ReceiptLog& receipts) {
  FileExchangeRequest request;
  request.centreCode = transfer.centreCode;
  request.transferNo = transfer.number;
  request.direction = "R";
  request.dataFormat = transfer.centre.dataFormat;
  request.path = transfer.centre.ReceivePath();
  request.programId = context.state.programId;
  return RunFileExchange(request, context.state, context.dialogs, receipts);
}

Outcome ReceiveByJx(const Transfer& transfer, const JobContext& context, ReceiptLog& receipts) {
  JxSettings settings;
  std::string why;
  if (!ReadJxSettings(transfer.settings.profile, context.state.settingsFolder, transfer.centreCode, settings, why)) {
    return JxSetUpFailure(why);
  }
  const JxTransferRequest request{transfer.centreCode, transfer.number, transfer.centre.dataFormat};
  return RunJxTransfer(request, JxContext{context.state, settings, receipts, context.pending, context.clock});
}

Outcome Receive(const Transfer& transfer, const JobContext& context, ReceiptLog& receipts) {
  if (!transfer.centreLookup.ok()) return transfer.centreLookup;
  if (transfer.rerun != nullptr) return ReceiveFromBackup(transfer, *transfer.rerun, receipts);
  const std::string& method = transfer.centre.transferMethod;
  if (method == "Z") return ReceiveByPackage(transfer, context, receipts);
  if (method == "M") return ReceiveByMail(transfer, context, receipts);
  if (method == "W") return ReceiveByExchange(transfer, context, receipts);
  if (method == "J") return ReceiveByJx(transfer, context, receipts);
  return Outcome::Success();
}

}  // namespace

Outcome RunReceiveJob(const Transfer& transfer, const JobContext& context, ReceiptLog& receipts) {
  StepStartRecord step{transfer.number, "R", "1", kKindTransport, transfer.centreCode, 0};
  const Outcome started = StartHistoryStep(context.db, step, context.clock);
  if (!started.ok()) return started;  // no row of this step: nothing to close
  const Outcome received = Receive(transfer, context, receipts);
  RowCloseRecord close;
  close.transferNo = transfer.number;
  close.branchNo = step.branchNo;
  close.SetCodes(received);
  const Outcome closed = CloseHistoryRow(context.db, close, context.clock);
  return FirstFailure(received, closed);
}

}  // namespace edi
