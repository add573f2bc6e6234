#include "jobs/receive_job.h"

#include "base/text.h"
#include "db/null_value.h"
#include "jobs/control_master.h"
#include "jobs/result_codes.h"
#include "startup/settings_reader.h"
#include "transport/mail_transfer.h"
#include "transport/nts_transfer.h"

namespace edi {
namespace {

std::string Column(const ResultSet& centre, const char* name) { return NullToDefault(centre.Get(name), ""); }
std::string Trimmed(const ResultSet& centre, const char* name) { return NullToTrimmed(centre.Get(name), ""); }
long long Number(const ResultSet& centre, const char* name) { return LeadingNumber(Column(centre, name)); }

// The TCP package: "5001" with the package's status as detail.
void ReceiveByPackage(const std::string& centreCode, long long transferNo, const ResultSet& centre,
                      const JobContext& context, RowCloseRecord& close) {
  NtsTransferRequest request;
  request.centreCode = centreCode;
  request.serialNo = transferNo;
  request.mode = "1";
  request.partnerNo = Number(centre, "NTS受信相手先番号");
  request.fileNo = Number(centre, "NTS受信ファイル番号");
  const NtsContext nts{context.state, ReadNtsProgramDir(context.state), context.pending};
  std::string why;
  RunNtsTransfer(request, Trimmed(centre, "NTS受信ファイルパス"), nts, why);
  if (request.status != kResultOk) {
    close.detailCode = request.status;
    close.endCode = kResultNts;
  }
}

void ReceiveByMail(const std::string& centreCode, long long transferNo, const ResultSet& centre,
                   const JobContext& context, RowCloseRecord& close) {
  MailTransferRequest request;
  request.centreCode = centreCode;
  request.serialNo = transferNo;
  request.direction = "R";
  request.dataFormat = Column(centre, "送受信データ形式");
  request.partnerAddress = Column(centre, "相手先メールアドレス");
  RunMailTransfer(request, MailContext{context.state, context.mailProgress});
  close.detailCode = request.result == kResultOk ? "" : request.result;
  close.endCode = request.result == kResultOk ? kResultOk : kResultMailOrExchange;
}

void ReceiveByExchange(const std::string& centreCode, long long transferNo, const ResultSet& centre,
                       const std::string& programId, const JobContext& context, RowCloseRecord& close) {
  FileExchangeRequest request;
  request.centreCode = centreCode;
  request.serialNo = transferNo;
  request.direction = "R";
  request.dataFormat = Column(centre, "送受信データ形式");
  request.path = Trimmed(centre, "NTS受信ファイルパス");
  request.programId = programId;
  RunFileExchange(request, context.state, context.dialogs);
  if (request.result != kResultOk) {
    close.detailCode = request.result;
    close.endCode = kResultMailOrExchange;
  }
}

}  // namespace

void RunReceiveJob(const std::string& centreCode, long long transferNo, std::string& result,
                   const std::string& programId, const JobContext& context) {
  StepStartRecord step{transferNo, "R", "1", kKindTransport, centreCode, 0, ""};
  StartHistoryStep(context.db, step, context.clock);
  if (step.result != kResultOk) {
    result = step.result;  // no row of this step: nothing to close
    return;
  }
  RowCloseRecord close;
  close.transferNo = transferNo;
  close.branchNo = step.branchNo;
  ResultSet centre;
  result = LookupCentre(context.db, centreCode, centre);
  if (result != kResultOk) {
    close.endCode = result;
  } else {
    ReadJobPathSettings(context.state);  // EPMSCM, MGPATH, STPATH, EDIINFIL: read for every job
    const std::string method = Column(centre, "送受信方式");
    if (method == "Z") {
      ReceiveByPackage(centreCode, transferNo, centre, context, close);
    } else if (method == "M") {
      ReceiveByMail(centreCode, transferNo, centre, context, close);
    } else if (method == "W") {
      ReceiveByExchange(centreCode, transferNo, centre, programId, context, close);
    }
  }
  CloseHistoryRow(context.db, close, context.clock);
  result = close.endCode != kResultOk ? close.endCode : close.result;
}

}  // namespace edi
