// The registration job: the translator's command file, the run of the
// translator, and one step row "41" per line of the status file it leaves.
// It closes branch 0 of the transfer.
#pragma once

#include <string>
#include <vector>

#include "jobs/job_context.h"

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
std::string StatusFileName(long long transferNo);
std::string CommandFileName(long long transferNo);

// Writes PRPATH + the command file: one line per JKBN_K_J entry
// "/[EDI]<kind>TXT=%EDI_IN%<8 digits>_RCV_<centre field><kind>.LOC", then
// "/[EDI]OPERATOR=<operator>" and "/[EDI]STATUS_FILE=<MGSTPATH><status
// file>", in Windows-31J with CR LF. False when it cannot be written.
bool WriteTranslatorCommandFile(const std::string& centreCode, long long transferNo, const JobContext& context);

// Runs MGCMDLINEKR + " @" + PRPATH + the command file through /bin/sh and
// waits without time limit; the exit code is not examined, except that the
// shell's "not found" and "not executable" (127, 126) mean the translator
// could not be started. `result` and `detail`: "0000"/"0000" or
// "4100"/"0001".
void RunTranslator(long long transferNo, const JobContext& context, std::string& result, std::string& detail);

// Registers the transfer's local files. `result` is "0000" or the code of
// the failure ("7300", "4100", "9999").
void RunRegistrationJob(const std::string& centreCode, long long transferNo, std::string& result,
                        const JobContext& context);

}  // namespace edi
