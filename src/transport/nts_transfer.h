// TCP file transfer through the outside NTS100 package: the station writes a
// request file for it, runs its program "z_tcp.exe", waits for its end, and
// reads the status file and the transfer log it leaves; for a receive it
// copies the received file into the inbound folder.
#pragma once

#include <cstdint>
#include <string>

#include "base/process.h"
#include "startup/program_state.h"

namespace edi {

struct NtsTransferRequest {
  std::string centreCode;       // センターコード
  long long serialNo = 0;       // 通番 of the transfer
  std::string mode;             // "1".."4": "1" and "3" receive, "2" and "4" send
  long long partnerNo = 0;      // NTS受信相手先番号
  long long fileNo = 0;         // NTS受信ファイル番号
  long long transferredCount = 0;  // out: the count of the transfer's log record
  std::string status;           // out: the package's status, "0000" success
};

// What a transfer needs of the station besides the request.
struct NtsContext {
  const ProgramState& state;    // NTS100_PATH, EDIINFIL, EDIOUTFIL, MINIMAIZE, DEMOMODE, settings folder
  std::string programFolder;    // the package's program folder, ending in "/"
  PendingEvents pending;        // called while the package runs and while waiting for the lock
};

// The name of a received (or, with send, a sent) file: the serial in eight
// digits, "_RCV_" ("_SND_"), the padded centre code cut to 12 characters,
// ".CII".
std::string NtsFileName(long long serialNo, const std::string& centreCode, bool send);

// Runs one transfer. Returns 0 when the package came to its normal end (the
// outcome is then in the request's status and count) and 9 on failure (no
// status file, the serial missing from the log, a file or process error);
// on 9 the status and count are left as they were. `why` tells a failure.
// Transfers of two station processes on one machine never overlap: the
// whole transfer holds a lock on a file in the package's program folder.
int RunNtsTransfer(NtsTransferRequest& request, const std::string& ntsFilePath, const NtsContext& context,
                   std::string& why);

// Runs `program` with the package's program folder as working folder and
// waits for its end. 0 when it ran, 9 when it could not be started.
int RunAndWait(const std::string& program, const std::string& programFolder, const PendingEvents& pending);

// Deletes the files that match `pattern` under `folder` (names and folder
// parts compared ignoring case). 0 when files were deleted, 1 when none
// matched, 9 when a deletion failed.
int DeleteFileIfPresent(const std::string& folder, const std::string& pattern);

}  // namespace edi
