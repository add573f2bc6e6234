// One centre's transfer as every stage sees it: its number, the centre's
// control-master row and user companies (each read once, when the transfer
// opens), the folders and the settings of the run, and the names of its
// files. The run loop builds it; the receive job, the conversion, the
// registration and the backup take it.
#pragma once

#include <string>
#include <string_view>

#include "base/outcome.h"
#include "base/transfer_names.h"
#include "db/database.h"
#include "jobs/control_master.h"
#include "startup/job_settings.h"
#include "startup/mail_settings.h"
#include "startup/profile_file.h"
#include "startup/program_state.h"

namespace edi {

// What a run takes from EDI.ini besides the start-up folders, read once when
// the run starts.
struct RunSettings {
  JobSettings job;
  MailSettings mail;
  ProfileFile profile;  // the whole file, for the sections of single centres ([JX:code])
};

RunSettings ReadRunSettings(const ProgramState& state);

// The folder of the monthly archives: [PATH] ARCHIVE_DIR, else the backup
// folder's archive/.
std::string ArchiveFolder(const PathSettings& folders, const JobSettings& job);

struct RerunSource;

struct Transfer {
  TransferNo number = 0;
  std::string centreCode;
  CentreMaster centre;
  Outcome centreLookup;      // success, "7002" or "6101": the receive step records it
  CentreCompanies companies;
  Outcome companiesLookup;   // success or "7300": the registration records it
  const PathSettings& folders;  // EDIINFIL, EDIOUTFIL, OLD_FILE, MGSTPATH, NTS100_PATH of start-up
  const RunSettings& settings;
  const RerunSource* rerun = nullptr;  // set: the transfer re-runs another from its backup

  // The name of one of the transfer's files (see TransferFileName).
  std::string FileName(TransferFile kind, int nth = 1, std::string_view category = {}) const;
  // That file in the inbound folder.
  std::string InboundPath(TransferFile kind, int nth = 1, std::string_view category = {}) const;
};

// The highest transfer number in the names of the files of the inbound and
// backup folders (0 when none): a database restored from an old copy must
// not hand out a number whose files are still there.
TransferNo HighestTransferInFolders(const PathSettings& folders);

// True when the inbound or backup folder holds a file of `number`; `found`
// names it.
bool TransferFilesExist(const PathSettings& folders, TransferNo number, std::string& found);

// True when `centreCode` can stand in a file name: not empty, without "/",
// "..", or control characters; otherwise `why` says what it holds.
bool IsFileNameCentreCode(const std::string& centreCode, std::string& why);

// Builds transfer `number` of `centreCode`: reads the centre's row and its
// user companies, keeping each lookup's outcome for the stage that records it.
Transfer LoadTransfer(Database& db, TransferNo number, const std::string& centreCode, const PathSettings& folders,
                      const RunSettings& settings);

}  // namespace edi
