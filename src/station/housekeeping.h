// Keeping a station's files for years without filling its disk: backup
// files and ERR.LOG sections older than some days are packed into one
// archive per month (verified by reading it back before the originals go),
// and archives and history rows older than the keeping time are deleted.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "db/database.h"
#include "startup/program_state.h"

namespace edi {

// The archive folder: [PATH] ARCHIVE_DIR, else the backup folder's archive/.
std::string ArchiveFolderOf(const ProgramState& state);

// Packs the backup files whose last change is more than `days` days before
// `now` into backup-yyyy-mm.tar.gz of their month, and the ERR.LOG sections
// of those months into errlog-yyyy-mm.tar.gz; each archive is read back and
// compared (sizes, SHA-256) before the originals are removed. `done` tells
// each archive and what it took. False with `why` on the first failure (its
// originals stay).
bool ArchiveOldFiles(const ProgramState& state, const std::filesystem::path& errLog, int days, std::time_t now,
                     std::vector<std::string>& done, std::string& why);

struct CleanOptions {
  int keepDays = 2557;          // seven years
  bool includeFailed = false;   // also transfers that failed or are still open
  bool dryRun = false;          // tell, remove nothing
};

// Deletes the archives whose month ended, and the history and ledger rows
// of the transfers that started, more than keepDays before `today`
// ("yyyy/mm/dd"); the rows in one transaction. `done` tells what was (or,
// dry, would be) removed.
bool CleanOldRecords(Database& db, const ProgramState& state, const CleanOptions& options, const std::string& today,
                     std::vector<std::string>& done, std::string& why);

}  // namespace edi
