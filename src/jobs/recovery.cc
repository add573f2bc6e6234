#include "jobs/recovery.h"

#include <unistd.h>

#include <filesystem>

#include "base/files.h"
#include "db/null_value.h"
#include "jobs/backup.h"
#include "jobs/centre_lock.h"
#include "jobs/history.h"
#include "jobs/registration_job.h"
#include "jobs/transfer_journal.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

std::string_view StageDetail(const std::string& stage) {
  if (stage == kStageConversion) return kDetailInConversion;
  if (stage == kStageRegistration) return kDetailInRegistration;
  if (stage == kStageBackup) return kDetailInBackup;
  return kDetailInReceive;
}

// Takes back what an unfinished conversion wrote: files it created are
// removed, files it appended to cut back to their former size, and the
// temporary files of its outputs removed.
std::string UndoOutputs(const OpenTransferEntry& entry, const Transfer& transfer) {
  std::string done;
  for (const auto& output : entry.outputs) {
    std::error_code ec;
    if (output.formerSize < 0) {
      if (fs::remove(output.file, ec)) done += "; removed " + output.file;
    } else if (fs::is_regular_file(fs::symlink_status(output.file, ec)) &&
               fs::file_size(output.file, ec) != static_cast<uintmax_t>(output.formerSize)) {
      fs::resize_file(output.file, static_cast<uintmax_t>(output.formerSize), ec);
      done += "; cut " + output.file + " back to " + std::to_string(output.formerSize) + " bytes" +
              (ec ? " failed: " + ec.message() : "");
    }
  }
  for (const auto& temporary : ListMatching(transfer.folders.ediInFil, "." + TransferDigits(transfer.number) + "_*")) {
    std::error_code ec;
    if (fs::remove(temporary, ec)) done += "; removed " + temporary.string();
  }
  return done;
}

// Closes every step row the killed run left open with `codes`.
void CloseOpenSteps(Database& db, TransferNo transferNo, const Outcome& codes, const Clock& clock) {
  ResultSet rs;
  if (!db.Query("SELECT 枝番 FROM FL1102処理履歴ファイル WHERE 通番 = :1 AND 枝番 > 0 AND 処理終了日付 IS NULL",
                {transferNo}, rs)) {
    return;
  }
  for (; !rs.AtEnd(); rs.MoveNext()) {
    RowCloseRecord close;
    close.transferNo = transferNo;
    close.branchNo = static_cast<int16_t>(std::stoi(NullToDefault(rs.Get("枝番"), "0")));
    close.SetCodes(codes);
    CloseHistoryRow(db, close, clock);
  }
}

RecoveredTransfer Recover(const OpenTransferEntry& entry, const RunSettings& settings, const JobContext& context) {
  RecoveredTransfer recovered{entry.transferNo, entry.centreCode, entry.stage, {}};
  const Transfer transfer =
      LoadTransfer(context.db, entry.transferNo, entry.centreCode, context.state.paths, settings);
  std::string done = UndoOutputs(entry, transfer);
  Outcome closing = Outcome::Failure(kResultInterrupted, StageDetail(entry.stage), "");
  if (entry.stage == kStageRegistration) {
    if (HasStatusFile(transfer)) {
      const Outcome registered = RecordRegistrationStatus(transfer, context);
      done += "; the translator's status file was recorded" + (registered.ok() ? "" : ": " + registered.reason);
    } else {
      closing = Outcome::Failure(kResultRegistrationUnknown, kResultOk, "");
      done += "; the translator left no status file: check in the business application whether the orders"
              " were registered before running the transfer again";
    }
  }
  CloseOpenSteps(context.db, entry.transferNo, closing, context.clock);
  const Outcome backedUp = BackUpTransferFiles(transfer);
  done += backedUp.ok() ? "; the received files were backed up" : "; " + backedUp.reason;
  RowCloseRecord close;
  close.transferNo = entry.transferNo;
  close.branchNo = 0;
  close.SetCodes(closing);
  const Outcome closed = CloseHistoryRow(context.db, close, context.clock);
  if (!closed.ok()) done += "; " + closed.reason;
  const Outcome ended = EndJournal(context.db, entry.transferNo);
  if (!ended.ok()) done += "; " + ended.reason;
  closing.reason = "transfer " + TransferDigits(entry.transferNo) + " of " + entry.centreCode +
                   " was interrupted in " + entry.stage + " (process " + std::to_string(entry.processId) +
                   ") and has been recovered" + done;
  recovered.outcome = closing;
  return recovered;
}

}  // namespace

std::string StationName(const ProgramState& state) {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  return std::string(host) + ":" + state.settingsFolder;
}

std::vector<RecoveredTransfer> RecoverInterruptedTransfers(const RunSettings& settings, const JobContext& context) {
  std::vector<RecoveredTransfer> recovered;
  std::vector<OpenTransferEntry> entries;
  std::string why;
  if (!ReadOpenTransfers(context.db, StationName(context.state), entries, why)) {
    recovered.push_back({0, "", "", Outcome::Failure(kResultFailed, kResultOk, why)});
    return recovered;
  }
  for (const auto& entry : entries) {
    // The lock of a live run is held: its transfer is not interrupted.
    const auto lock = CentreLock::TryLock(context.db, context.state, entry.centreCode, why);
    if (lock) recovered.push_back(Recover(entry, settings, context));
  }
  return recovered;
}

}  // namespace edi
