#include "jobs/run_loop.h"

#include "base/text.h"
#include "jobs/backup.h"
#include "jobs/conversion.h"
#include "jobs/history.h"
#include "jobs/receive_job.h"
#include "jobs/registration_job.h"

namespace edi {

void RunLoop::RunMarkedCentres() {
  const RunSettings settings = ReadRunSettings(context_.state);
  view_.SetRunning(true);
  for (size_t i = 0; i < view_.Rows().size(); ++i) {
    const CentreRow& centre = view_.Rows()[i];
    if (centre.state != kRowNormal || centre.selected == 0) continue;
    const int row = static_cast<int>(i);
    view_.BeginRow(row);
    view_.ShowProcessing();
    ProcessCentreRow(row, settings);
    view_.HideProcessing();
  }
  view_.SetRunning(false);
}

void RunLoop::ProcessCentreRow(int row, const RunSettings& settings) {
  const std::string centreCode = view_.Rows()[static_cast<size_t>(row)].centreCode;
  view_.SetRowState(row, kRowInProgress);
  TransferOpenRecord open{"R", "1", kKindReceiveRun, centreCode, 0};
  const Outcome opened = OpenTransfer(context_.db, open, context_.clock);
  if (!opened.ok()) {
    LogTransferStart(0, centreCode);
    view_.SetStatus(row, Stage::kReceive, "通番ｴﾗｰ");
    Fail(row, 0, "通番", opened);
    return;  // without a transfer number there are no files of the transfer
  }
  LogTransferStart(open.transferNo, centreCode);
  const Transfer transfer = LoadTransfer(context_.db, open.transferNo, centreCode, context_.state.paths, settings);
  const bool done = RunStages(row, transfer);
  // The backup does not change the centre's outcome; its failure is told.
  const Outcome backedUp = BackUpTransferFiles(transfer);
  if (!backedUp.ok()) Report(row, transfer.number, "バックアップ", backedUp);
  if (done) view_.SetRowState(row, kRowDone);
}

bool RunLoop::RunStages(int row, const Transfer& transfer) {
  view_.SetStatus(row, Stage::kReceive, "受信中");
  const Outcome received = RunReceiveJob(transfer, context_);
  view_.ShowProcessing();
  if (!received.ok()) {
    view_.SetStatus(row, Stage::kReceive, "受信ｴﾗｰ");
    Fail(row, transfer.number, "受信", received);
    return false;
  }
  view_.SetStatus(row, Stage::kReceive, "OK");
  view_.SetStatus(row, Stage::kConversion, "変換中");
  const Outcome converted = ConvertReceivedFiles(transfer, context_);
  view_.ShowProcessing();
  if (!converted.ok()) {
    view_.SetStatus(row, Stage::kConversion, "変換ｴﾗｰ");
    Fail(row, transfer.number, "変換", converted);
    return false;
  }
  view_.SetStatus(row, Stage::kConversion, "OK");
  view_.SetStatus(row, Stage::kRegistration, "登録中");
  const Outcome registered = RunRegistrationJob(transfer, context_);
  if (!registered.ok()) {
    view_.SetStatus(row, Stage::kRegistration, "登録ｴﾗｰ");
    Fail(row, transfer.number, "登録", registered);
    return false;
  }
  view_.SetStatus(row, Stage::kRegistration, "OK");
  return true;
}

void RunLoop::Fail(int row, TransferNo transferNo, std::string_view step, const Outcome& outcome) {
  view_.SetRowState(row, kRowError);
  Report(row, transferNo, step, outcome);
}

void RunLoop::Report(int row, TransferNo transferNo, std::string_view step, const Outcome& outcome) {
  context_.converters.errLog.Write(static_cast<int>(LeadingNumber(outcome.endCode)),
                                   " " + std::string(step) + " " + outcome.Codes() + ": " + outcome.reason);
  view_.ReportFailure(row, StageFailure{view_.Rows()[static_cast<size_t>(row)].centreCode, transferNo, step, outcome});
}

void RunLoop::LogTransferStart(TransferNo transferNo, const std::string& centreCode) {
  context_.converters.errLog.Write(0, "--" + context_.state.programId + " start--" + TransferDigits(transferNo) +
                                          "  " + context_.clock().DateTime() + "  " + centreCode);
}

}  // namespace edi
