// The registration job: the translator's command file, the run of the
// translator, and one step row "41" per line of the status file it leaves.
// It closes branch 0 of the transfer.
#pragma once

#include <string>

#include "base/outcome.h"
#include "jobs/job_context.h"
#include "jobs/transfer.h"

namespace edi {

// One line of the translator's status file (character positions, 1-based):
// 1 end mark ("1": no more data), 2-5 data kind, 6-17 not used, 18-23 and
// 24-29 the input and output record counts, 30-31 the error code.
struct TranslatorStatusLine {
  std::string endMark, dataKind, unused;
  std::string inputCount, outputCount;  // the counts' numeric values as texts
  std::string errorCode;                // two digits, "00" success
  bool Failed() const;                  // the error code's numeric value is not 0
};

// Cuts the fields out of `line`; a short line gives short or empty fields.
TranslatorStatusLine ParseStatusLine(const std::string& line);

// The status file "/" + 8 digits + "_K_IN_STATUS.TXT" and the command file
// "/EDI" + 8 digits + ".INI" of a transfer (joined to MGSTPATH and PRPATH).
std::string StatusFileName(TransferNo transferNo);
std::string CommandFileName(TransferNo transferNo);

// Writes PRPATH + the command file: one line per JKBN_K_J entry
// "/[EDI]<kind>TXT=%EDI_IN%<local-format file name of the kind>", then
// "/[EDI]OPERATOR=<operator>" and "/[EDI]STATUS_FILE=<MGSTPATH><status
// file>", in Windows-31J with CR LF. "4100"/"0003" when it cannot be written.
Outcome WriteTranslatorCommandFile(const Transfer& transfer, const JobContext& context);

// Runs MGCMDLINEKR + " @" + PRPATH + the command file through /bin/sh and
// waits up to TRANSLATOR_TIMEOUT ("4100"/"0004" past it, the translator's
// process group ended); the exit code is not examined, except that the
// shell's "not found" and "not executable" (127, 126) mean the translator
// could not be started: "4100"/"0001".
Outcome RunTranslator(const Transfer& transfer, const JobContext& context);

// True when the translator's status file of the transfer is there.
bool HasStatusFile(const Transfer& transfer);

// Records the registration from the status file the translator left, as
// the registration job does after the translator ran, without closing
// branch 0: what the recovery of a run killed while the translator ran does.
Outcome RecordRegistrationStatus(const Transfer& transfer, const JobContext& context);

// Registers the transfer's local files and closes branch 0. The outcome is
// the first failure: the company lookup's "7300", the translator's "4100",
// a failing status line, a local file without status line or an unlisted
// local file ("9999" with the line's code, 0005 or 0003), or a history row
// that could not be written ("9999").
Outcome RunRegistrationJob(const Transfer& transfer, const JobContext& context);

}  // namespace edi
