// TCP file transfer through the outside NTS100 package: the station writes a
// request file for it, runs its program "z_tcp.exe", waits for its end, and
// reads the status file and the transfer log it leaves; for a receive it
// copies the received file into the inbound folder.
#pragma once

#include <string>

#include "base/outcome.h"
#include "base/process.h"
#include "base/transfer_names.h"
#include "startup/program_state.h"
#include "transport/receipt_log.h"

namespace edi {

struct NtsTransferRequest {
  std::string centreCode;          // センターコード
  TransferNo transferNo = 0;       // 通番 of the transfer
  std::string mode;                // "1".."4": "1" and "3" receive, "2" and "4" send
  long long partnerNo = 0;         // NTS受信相手先番号
  long long fileNo = 0;            // NTS受信ファイル番号
  long long transferredCount = 0;  // out: the count of the transfer's log record
};

// What a transfer needs of the station besides the request.
struct NtsContext {
  const ProgramState& state;    // NTS100_PATH, EDIINFIL, EDIOUTFIL, MINIMAIZE, DEMOMODE
  std::string programFolder;    // the package's program folder, ending in "/"
  PendingEvents pending;        // called while the package runs and while waiting for the lock
  ReceiptLog& receipts;         // the received file, once it is in the inbound folder
};

// Runs one transfer; `ntsFilePath` is the file the package receives into
// (or sends from). Success when the package ended with status 0000, the
// transfer is in its log and, for a receive, the file is in the inbound
// folder and recorded in the receipt log. A receive file that an earlier
// run could not take in (neither the receipt log nor the centre's newest
// backup knows its content) is taken in first, instead of running the
// package over it; that is a warning. Otherwise "5001" with the detail:
//   the package's status    it reported a status other than 0000;
//   "0001"                  its program could not be started;
//   "0000"                  it left no status file, its log lacks the transfer,
//                           or a file could not be written, read or copied.
// The reason names the file or program and the system's message.
// Transfers of two station processes on one machine never overlap: the
// whole transfer holds a lock on a file in the package's program folder.
Outcome RunNtsTransfer(NtsTransferRequest& request, const std::string& ntsFilePath, const NtsContext& context);

// Runs `program` with the package's program folder as working folder and
// waits for its end; the program keeps `lockFd` (the package folder's lock).
ProcessResult RunAndWait(const std::string& program, const std::string& programFolder, int lockFd,
                         const PendingEvents& pending);

// Deletes the files that match `pattern` under `folder` (names and folder
// parts compared ignoring case). True when none is left (also when none
// matched); false with `why` when a deletion failed.
bool DeleteFileIfPresent(const std::string& folder, const std::string& pattern, std::string& why);

}  // namespace edi
