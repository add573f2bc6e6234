#include "jobs/run_loop.h"

#include <chrono>
#include <thread>

#include "base/text.h"
#include "jobs/backup.h"
#include "jobs/conversion.h"
#include "jobs/duplicates.h"
#include "jobs/history.h"
#include "jobs/ledger.h"
#include "jobs/receive_job.h"
#include "jobs/recovery.h"
#include "jobs/registration_job.h"
#include "jobs/rerun.h"
#include "jobs/transfer_journal.h"

namespace edi {

std::string DescribeFailure(const StageReport& report, Language language) {
  const Outcome& outcome = report.outcome;
  std::string text = "通番 " + TransferDigits(report.transferNo) + " " + report.step + " " + outcome.Codes();
  const std::string_view end = DescribeResultCode(outcome.endCode, language);
  const std::string_view detail = DescribeDetailCode(outcome.endCode, outcome.detailCode, language);
  if (!end.empty()) text += " " + std::string(end);
  if (!detail.empty()) text += ": " + std::string(detail);
  return text + " — " + outcome.reason;
}

void RunLoop::RunMarkedCentres() {
  std::vector<int> rows;
  for (size_t i = 0; i < view_.Rows().size(); ++i) {
    if (view_.Rows()[i].state == kRowNormal && view_.Rows()[i].selected != 0) rows.push_back(static_cast<int>(i));
  }
  RunRows(rows, nullptr);
}

void RunLoop::RunCentre(int row) { RunRows({row}, nullptr); }

void RunLoop::Rerun(int row, const RerunSource& source) { RunRows({row}, &source); }

void RunLoop::RunRows(const std::vector<int>& rows, const RerunSource* rerun) {
  const auto start = std::chrono::steady_clock::now();
  summary_ = RunSummary{};
  const RunSettings settings = ReadRunSettings(context_.state);
  view_.SetRunning(true);
  Recover(settings);
  const TransferNo above = HighestTransferInFolders(context_.state.paths);
  for (const int row : rows) {
    if (view_.Rows()[static_cast<size_t>(row)].state != kRowNormal) continue;
    view_.BeginRow(row);
    view_.ShowProcessing();
    const size_t failuresBefore = summary_.failures.size();
    ProcessCentreRow(row, settings, above, rerun);
    view_.HideProcessing();
    ++summary_.centresRun;
    // Only the first failure of a centre goes into the summary.
    if (summary_.failures.size() > failuresBefore) {
      summary_.failures.resize(failuresBefore + 1);
      ++summary_.centresFailed;
    } else if (view_.Rows()[static_cast<size_t>(row)].state != kRowDone) {
      ++summary_.centresFailed;
    }
  }
  view_.SetRunning(false);
  summary_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunLoop::Recover(const RunSettings& settings) {
  for (auto& recovered : RecoverInterruptedTransfers(settings, context_)) {
    const int row = RowOf(recovered.centreCode);
    if (recovered.transferNo == 0) {  // the journal itself could not be read
      LogTransferStart(0, "");
      Report(row, 0, "中断", recovered.outcome);
      continue;
    }
    LogTransferStart(recovered.transferNo, recovered.centreCode);
    context_.converters.errLog.Write(static_cast<int>(LeadingNumber(recovered.outcome.endCode)),
                                     " " + recovered.stage + " " + recovered.outcome.Codes() + ": " +
                                         recovered.outcome.reason);
    if (row >= 0 && view_.Rows()[static_cast<size_t>(row)].state == kRowNormal) {
      view_.SetStatus(row, Stage::kReceive, "中断回復");
    }
    view_.Report(row, StageReport{StageReport::Kind::kRecovered, recovered.centreCode, recovered.transferNo,
                                  recovered.stage, recovered.outcome});
  }
}

void RunLoop::ProcessCentreRow(int row, const RunSettings& settings, TransferNo above, const RerunSource* rerun) {
  const std::string centreCode = view_.Rows()[static_cast<size_t>(row)].centreCode;
  std::string why;
  const std::unique_ptr<CentreLock> lock = CentreLock::TryLock(context_.db, context_.state, centreCode, why);
  if (!lock) {
    // Another run has the centre: this one takes nothing, not even a number.
    view_.SetStatus(row, Stage::kReceive, "ロック中");
    view_.Report(row, StageReport{StageReport::Kind::kSkipped, centreCode, 0, "通番",
                                  Outcome::Failure(kResultFailed, kResultOk, why)});
    return;
  }
  view_.SetRowState(row, kRowInProgress);
  TransferNo number = 0;
  if (!OpenCentreTransfer(row, centreCode, above, number)) return;
  Transfer transfer = LoadTransfer(context_.db, number, centreCode, context_.state.paths, settings);
  transfer.rerun = rerun;
  const bool done = RunStages(row, transfer);
  const bool backedUp = BackUp(row, transfer, done);
  const Outcome ended = EndJournal(context_.db, number);
  if (!ended.ok()) Report(row, number, "通番", ended);
  if (done && backedUp) view_.SetRowState(row, kRowDone);
}

bool RunLoop::OpenCentreTransfer(int row, const std::string& centreCode, TransferNo above, TransferNo& number) {
  TransferOpenRecord open{"R", "1", kKindReceiveRun, centreCode, 0, above};
  const Outcome opened = OpenTransfer(context_.db, open, context_.clock);
  if (!opened.ok()) {
    LogTransferStart(0, centreCode);
    view_.SetStatus(row, Stage::kReceive, "通番ｴﾗｰ");
    Fail(row, 0, "通番", opened);
    return false;  // without a transfer number there are no files of the transfer
  }
  number = open.transferNo;
  LogTransferStart(number, centreCode);
  std::string why;
  Outcome refusal;
  if (!IsFileNameCentreCode(centreCode, why)) {
    refusal = Outcome::Failure(kResultBadCentreCode, kResultOk, why);
  } else if (TransferFilesExist(context_.state.paths, number, why)) {
    refusal = Outcome::Failure(kResultFilesExist, kResultOk,
                               "a file of transfer " + TransferDigits(number) + " exists already (" + why +
                                   "): nothing was received, so that no earlier file is written over");
  } else {
    refusal = BeginJournal(context_.db, number, centreCode, StationName(context_.state), context_.clock);
  }
  if (refusal.ok()) return true;
  Refuse(row, number, refusal);
  return false;
}

void RunLoop::Refuse(int row, TransferNo number, const Outcome& outcome) {
  RowCloseRecord close;
  close.transferNo = number;
  close.SetCodes(outcome);
  const Outcome closed = CloseHistoryRow(context_.db, close, context_.clock);
  view_.SetStatus(row, Stage::kReceive, "受信ｴﾗｰ");
  Fail(row, number, "通番", FirstFailure(outcome, closed));
}

Outcome RunLoop::Receive(int row, const Transfer& transfer, ReceiptLog& receipts) {
  const JobSettings& job = transfer.settings.job;
  for (int retried = 0;; ++retried) {
    view_.SetStatus(row, Stage::kReceive, "受信中");
    Outcome received = RunReceiveJob(transfer, context_, receipts);
    // Only a fetch that failed before anything was received is tried again,
    // and never the operator's own file exchange or a re-run.
    const bool again = !received.ok() && received.retryable && retried < job.retryCount &&
                       transfer.centre.transferMethod != "W" && transfer.rerun == nullptr;
    if (!again) return received;
    const std::string when = "retry " + std::to_string(retried + 1) + "/" + std::to_string(job.retryCount) +
                             " in " + std::to_string(job.retryInterval) + " s";
    context_.converters.errLog.Write(static_cast<int>(LeadingNumber(received.endCode)),
                                     " 受信 " + received.Codes() + ": " + received.reason + "; " + when);
    received.reason = when + ": " + received.reason;
    view_.Report(row, StageReport{StageReport::Kind::kRetry, transfer.centreCode, transfer.number, "受信", received});
    view_.SetStatus(row, Stage::kReceive, "再試行待ち");
    Wait(job.retryInterval);
  }
}

void RunLoop::Wait(int seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    if (context_.pending) context_.pending();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool RunLoop::CheckDuplicates(int row, const Transfer& transfer) {
  const DuplicateCheck check =
      FindDuplicates(context_.db, transfer, transfer.rerun != nullptr ? transfer.rerun->transferNo : 0, context_.clock);
  if (check.duplicates.empty()) return true;
  Outcome warned;
  for (const auto& duplicate : check.duplicates) warned.warnings.push_back(DescribeDuplicate(duplicate));
  Report(row, transfer.number, "受信", warned);
  if (!transfer.settings.job.skipDuplicates) return true;
  int left = 0;
  const Outcome aside = SetDuplicatesAside(transfer, check, left);
  if (aside.ok() && left > 0) return true;
  const Outcome ended =
      aside.ok() ? Outcome::Failure(kResultDuplicate, kResultOk,
                                    "everything transfer " + TransferDigits(transfer.number) +
                                        " received was received and registered before ([DUPLICATE] ACTION=skip):"
                                        " it is backed up, not converted or registered")
                 : aside;
  RowCloseRecord close;
  close.transferNo = transfer.number;
  close.SetCodes(ended);
  const Outcome closed = CloseHistoryRow(context_.db, close, context_.clock);
  view_.SetStatus(row, Stage::kConversion, aside.ok() ? "重複" : "変換ｴﾗｰ");
  Fail(row, transfer.number, "変換", FirstFailure(ended, closed));
  return false;
}

bool RunLoop::RunStages(int row, const Transfer& transfer) {
  TransferReceiptLog receipts(context_.db, transfer.number, transfer.centreCode, StationName(context_.state),
                              context_.clock,
                              transfer.rerun != nullptr ? std::optional(transfer.rerun->transferNo) : std::nullopt);
  const Outcome received = Receive(row, transfer, receipts);
  view_.ShowProcessing();
  if (!received.ok()) {
    view_.SetStatus(row, Stage::kReceive, "受信ｴﾗｰ");
    Fail(row, transfer.number, "受信", received);
    // What the transport stored before it failed is converted and
    // registered all the same, so that nothing taken from the partner is
    // left behind.
    if (receipts.recorded() == 0) return false;
  } else {
    view_.SetStatus(row, Stage::kReceive, "OK");
    Report(row, transfer.number, "受信", received);
  }
  if (receipts.recorded() > 0 && !CheckDuplicates(row, transfer)) return false;
  SetJournalStage(context_.db, transfer.number, kStageConversion);
  view_.SetStatus(row, Stage::kConversion, "変換中");
  const Outcome converted = ConvertReceivedFiles(transfer, context_);
  ClearJournalOutputs(context_.db, transfer.number);
  view_.ShowProcessing();
  if (!converted.ok()) {
    view_.SetStatus(row, Stage::kConversion, "変換ｴﾗｰ");
    Fail(row, transfer.number, "変換", converted);
    return false;
  }
  view_.SetStatus(row, Stage::kConversion, "OK");
  SetJournalStage(context_.db, transfer.number, kStageRegistration);
  view_.SetStatus(row, Stage::kRegistration, "登録中");
  const Outcome registered = RunRegistrationJob(transfer, context_);
  if (!registered.ok()) {
    view_.SetStatus(row, Stage::kRegistration, "登録ｴﾗｰ");
    Fail(row, transfer.number, "登録", registered);
    return false;
  }
  view_.SetStatus(row, Stage::kRegistration, "OK");
  return received.ok();
}

// The backup runs in every outcome. One that fails ends the transfer with
// its own code: a "50" step row tells it, and a transfer that was done
// otherwise has it on branch 0 too. The files stay in the inbound folder.
bool RunLoop::BackUp(int row, const Transfer& transfer, bool done) {
  SetJournalStage(context_.db, transfer.number, kStageBackup);
  const Outcome backedUp = BackUpTransferFiles(transfer);
  if (backedUp.ok()) return true;
  const Outcome failure = Outcome::Failure(kResultBackupFailed, kResultOk, backedUp.reason);
  StepStartRecord step{transfer.number, "R", "1", kKindBackup, transfer.centreCode, 0};
  Outcome recorded = StartHistoryStep(context_.db, step, context_.clock);
  RowCloseRecord close;
  close.transferNo = transfer.number;
  close.SetCodes(failure);
  if (recorded.ok()) {
    close.branchNo = step.branchNo;
    recorded = CloseHistoryRow(context_.db, close, context_.clock);
  }
  if (done) {
    close.branchNo = 0;
    recorded = FirstFailure(recorded, CloseHistoryRow(context_.db, close, context_.clock));
  }
  Fail(row, transfer.number, "バックアップ", FirstFailure(failure, recorded));
  return false;
}

void RunLoop::Fail(int row, TransferNo transferNo, std::string_view step, const Outcome& outcome) {
  view_.SetRowState(row, kRowError);
  Report(row, transferNo, step, outcome);
}

void RunLoop::Report(int row, TransferNo transferNo, std::string_view step, const Outcome& outcome) {
  const std::string centreCode = row >= 0 ? view_.Rows()[static_cast<size_t>(row)].centreCode : "";
  cii::ErrLog& log = context_.converters.errLog;
  if (!outcome.ok()) {
    log.Write(static_cast<int>(LeadingNumber(outcome.endCode)),
              " " + std::string(step) + " " + outcome.Codes() + ": " + outcome.reason);
    const StageReport failure{StageReport::Kind::kFailure, centreCode, transferNo, std::string(step), outcome};
    view_.Report(row, failure);
    if (row >= 0) summary_.failures.push_back(failure);
  }
  for (const auto& warning : outcome.warnings) {
    log.Write(0, " " + std::string(step) + " 警告: " + warning);
    view_.Report(row, StageReport{StageReport::Kind::kWarning, centreCode, transferNo, std::string(step),
                                  Outcome::Failure(kResultOk, kResultOk, warning)});
  }
}

void RunLoop::LogTransferStart(TransferNo transferNo, const std::string& centreCode) {
  context_.converters.errLog.Write(0, "--" + context_.state.programId + " start--" + TransferDigits(transferNo) +
                                          "  " + context_.clock().DateTime() + "  " + centreCode);
}

int RunLoop::RowOf(const std::string& centreCode) const {
  for (size_t i = 0; i < view_.Rows().size(); ++i) {
    if (view_.Rows()[i].centreCode == centreCode) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace edi
