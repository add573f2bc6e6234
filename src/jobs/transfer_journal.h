// The journal of the transfers a run has under way (FL9102処理中転送, one row
// per transfer: the station and process running it and the stage it is in)
// and of the outputs its conversion created or appended to
// (FL9103出力ジャーナル, with each file's former size). A run removes both
// when the transfer ends, however it ends; what is left belongs to a run
// that was killed, and is what the recovery of the next run reads.
#pragma once

#include <string>
#include <vector>

#include "base/local_time.h"
#include "base/outcome.h"
#include "base/transfer_names.h"
#include "cii/conversion_io.h"
#include "db/database.h"

namespace edi {

// The stages a transfer goes through, as the journal and the history name them.
inline constexpr char kStageReceive[] = "受信";
inline constexpr char kStageConversion[] = "変換";
inline constexpr char kStageRegistration[] = "登録";
inline constexpr char kStageBackup[] = "バックアップ";

struct JournalOutput {
  std::string file;
  long long formerSize = -1;  // -1: the conversion created the file
};

struct OpenTransferEntry {
  TransferNo transferNo = 0;
  std::string centreCode;
  std::string station;
  long long processId = 0;
  std::string stage;
  std::vector<JournalOutput> outputs;
};

// Writes the transfer's journal row, in the receive stage.
Outcome BeginJournal(Database& db, TransferNo transferNo, const std::string& centreCode, const std::string& station,
                     const Clock& clock = CurrentLocalTime);

// Sets the stage the transfer is in.
Outcome SetJournalStage(Database& db, TransferNo transferNo, const std::string& stage);

// Records, before a conversion writes it, an output it creates
// (formerSize -1) or appends to.
Outcome JournalOutputFile(Database& db, TransferNo transferNo, const JournalOutput& output);

// Forgets the outputs of a conversion that has ended.
Outcome ClearJournalOutputs(Database& db, TransferNo transferNo);

// Removes the transfer's journal.
Outcome EndJournal(Database& db, TransferNo transferNo);

// The output journal of one transfer's conversions.
class TransferOutputJournal : public cii::OutputJournal {
 public:
  TransferOutputJournal(Database& db, TransferNo transferNo) : db_(db), transferNo_(transferNo) {}
  bool Record(const std::string& file, long long formerSize, std::string& why) override;

 private:
  Database& db_;
  TransferNo transferNo_;
};

// The transfers under way that `station` ran, with their outputs.
bool ReadOpenTransfers(Database& db, const std::string& station, std::vector<OpenTransferEntry>& entries,
                       std::string& why);

}  // namespace edi
