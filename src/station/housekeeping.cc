#include "station/housekeeping.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <regex>

#include "archive/backup_archive.h"
#include "base/files.h"
#include "base/local_time.h"
#include "jobs/transfer.h"
#include "report/history_reader.h"
#include "startup/job_settings.h"
#include "startup/startup_settings.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

std::string MonthOf(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char month[32];
  std::snprintf(month, sizeof month, "%04d-%02d", local.tm_year + 1900, local.tm_mon + 1);
  return month;
}

// A name for a new archive of `month`: prefix-yyyy-mm.tar.gz, or with -2,
// -3, ... when the month has one already.
fs::path NewArchive(const std::string& folder, const std::string& prefix, const std::string& month) {
  fs::path path = folder + prefix + "-" + month + ".tar.gz";
  for (int n = 2; fs::exists(path); ++n) path = folder + prefix + "-" + month + "-" + std::to_string(n) + ".tar.gz";
  return path;
}

// Writes the archive, reads it back and compares it with what went in.
bool WriteVerified(const fs::path& archive, const std::vector<ArchiveInput>& inputs, std::string& why) {
  std::vector<ArchivedFile> written, read;
  if (!WriteArchive(archive, inputs, written, why)) return false;
  if (!ReadArchive(archive, read, why) || read.size() != written.size()) {
    if (why.empty()) why = "the archive " + archive.string() + " does not read back whole";
    std::error_code ec;
    fs::remove(archive, ec);
    return false;
  }
  for (size_t i = 0; i < read.size(); ++i) {
    if (read[i].name != written[i].name || read[i].size != written[i].size || read[i].sha256 != written[i].sha256) {
      why = "the archive " + archive.string() + " does not hold " + written[i].name + " as it was";
      std::error_code ec;
      fs::remove(archive, ec);
      return false;
    }
  }
  return true;
}

bool ArchiveBackups(const ProgramState& state, const std::string& folder, std::time_t before,
                    std::vector<std::string>& done, std::string& why) {
  std::map<std::string, std::vector<fs::path>> months;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(state.paths.oldFile, ec)) {
    if (!fs::is_regular_file(fs::symlink_status(entry.path(), ec))) continue;
    const auto written = std::chrono::system_clock::to_time_t(
        std::chrono::file_clock::to_sys(fs::last_write_time(entry.path(), ec)));
    if (written < before) months[MonthOf(written)].push_back(entry.path());
  }
  for (auto& [month, files] : months) {
    std::sort(files.begin(), files.end());
    std::vector<ArchiveInput> inputs;
    for (const auto& file : files) inputs.push_back({file.filename().string(), file, "", false});
    const fs::path archive = NewArchive(folder, "backup", month);
    if (!WriteVerified(archive, inputs, why)) return false;
    for (const auto& file : files) fs::remove(file, ec);
    done.push_back(archive.string() + ": " + std::to_string(files.size()) + " backup files");
  }
  return true;
}

// The date of an ERR.LOG start line that carries one ("... start--NNNNNNNN  yyyy/mm/dd hh:nn:ss"), or "".
std::string DateOfLine(const std::string& line) {
  static const std::regex dated(" start--[0-9]+  ([0-9]{4})/([0-9]{2})/[0-9]{2} ");
  std::smatch match;
  if (line.rfind("0000--", 0) != 0 || !std::regex_search(line, match, dated)) return "";
  return match[1].str() + "-" + match[2].str();
}

// Moves the ERR.LOG sections of months before `lastMonth` (exclusive) into
// errlog archives; lines keep the month of the last dated start line above
// them.
bool RotateErrLog(const fs::path& errLog, const std::string& folder, const std::string& lastMonth,
                  std::vector<std::string>& done, std::string& why) {
  std::string text;
  if (!ReadWholeFile(errLog, text)) return true;  // no log yet
  std::map<std::string, std::string> old;
  std::string kept, month;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(at, end - at);
    if (const std::string dated = DateOfLine(line); !dated.empty()) month = dated;
    (!month.empty() && month < lastMonth ? old[month] : kept) += line;
    at = end;
  }
  for (const auto& [m, lines] : old) {
    const fs::path archive = NewArchive(folder, "errlog", m);
    if (!WriteVerified(archive, {{"ERR-" + m + ".LOG", "", lines, true}}, why)) return false;
    done.push_back(archive.string() + ": ERR.LOG of " + m);
  }
  return old.empty() || WriteFileAtomically(errLog, kept, why);
}

// The month (yyyy-mm) an archive's name is of, "" for other files.
std::string MonthOfArchive(const std::string& name) {
  static const std::regex archive("(backup|errlog)-([0-9]{4}-[0-9]{2})(-[0-9]+)?\\.tar\\.gz");
  std::smatch match;
  return std::regex_match(name, match, archive) ? match[2].str() : "";
}

}  // namespace

std::string ArchiveFolderOf(const ProgramState& state) {
  return ArchiveFolder(state.paths, ReadJobSettings(LoadStationSettings(state)));
}

bool ArchiveOldFiles(const ProgramState& state, const fs::path& errLog, int days, std::time_t now,
                     std::vector<std::string>& done, std::string& why) {
  const std::string folder = ArchiveFolderOf(state);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    why = "cannot make the archive folder " + folder + ": " + ec.message();
    return false;
  }
  const std::time_t before = now - static_cast<std::time_t>(days) * 86400;
  return ArchiveBackups(state, folder, before, done, why) && RotateErrLog(errLog, folder, MonthOf(before), done, why);
}

bool CleanOldRecords(Database& db, const ProgramState& state, const CleanOptions& options, const std::string& today,
                     std::vector<std::string>& done, std::string& why) {
  const std::string cutoff = DateBefore(today, options.keepDays);  // kept: on or after this day
  const std::string verb = options.dryRun ? "would remove " : "removed ";
  // Archives whose month ended before the cutoff.
  const std::string folder = ArchiveFolderOf(state);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string month = MonthOfArchive(entry.path().filename().string());
    // A month that ended before the cutoff's month began is wholly older.
    if (month.empty() || month >= cutoff.substr(0, 4) + "-" + cutoff.substr(5, 2)) continue;
    if (!options.dryRun) fs::remove(entry.path(), ec);
    done.push_back(verb + entry.path().string());
  }
  // History and ledger rows of the transfers started before the cutoff.
  report::HistoryFilter filter;
  filter.until = DateBefore(cutoff, 1);
  std::vector<report::TransferStory> stories;
  if (!report::ReadHistory(db, filter, stories, why)) return false;
  std::vector<TransferNo> removed;
  for (const auto& story : stories) {
    if (story.ending != report::Ending::kDone && !options.includeFailed) continue;
    removed.push_back(story.transferNo);
    done.push_back(verb + "transfer " + std::to_string(story.transferNo) + " (" + story.transfer.Text("処理開始日付") +
                   " " + story.transfer.Text("センターコード") + ", " +
                   std::string(story.ending == report::Ending::kDone ? "done" : "not done") + ")");
  }
  if (options.dryRun || removed.empty()) return true;
  if (!db.BeginTransaction()) {
    why = "cannot begin a transaction: " + db.LastError();
    return false;
  }
  for (const TransferNo number : removed) {
    if (!db.ExecuteSql("DELETE FROM FL1102処理履歴ファイル WHERE 通番 = :1", {number}) ||
        !db.ExecuteSql("DELETE FROM FL9101受信ファイル台帳 WHERE 通番 = :1", {number})) {
      why = "cannot delete transfer " + std::to_string(number) + ": " + db.LastError() + " (nothing was deleted)";
      db.RollbackTransaction();
      done.clear();
      return false;
    }
  }
  if (!db.CommitTransaction()) {
    why = "cannot commit the deletion: " + db.LastError();
    db.RollbackTransaction();
    done.clear();
    return false;
  }
  return true;
}

}  // namespace edi
