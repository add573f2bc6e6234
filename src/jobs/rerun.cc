#include "jobs/rerun.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>

#include "archive/backup_archive.h"
#include "base/files.h"
#include "base/sha256.h"
#include "db/null_value.h"
#include "startup/profile_file.h"

namespace edi {
namespace {

Outcome Refused(std::string why) { return Outcome::Failure(kResultFailed, kResultOk, std::move(why)); }

// The name a file of transfer `from` takes in transfer `to`: the same name
// with the new number in front.
std::string RenamedFor(const std::string& name, TransferNo from, TransferNo to) {
  const std::string digits = TransferDigits(from);
  if (name.compare(0, digits.size(), digits) != 0) return name;
  return TransferDigits(to) + name.substr(digits.size());
}

// A temporary folder that lives as long as the re-run that uses it.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "edi-rerun-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The backup folder of the station that received a document, when that
// station ("host:settings folder") is another one on this machine: several
// stations may share one database, and a re-run may start at any of them.
std::string OtherStationsBackupFolder(const std::string& station, const std::string& ownBackupFolder) {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  const std::string prefix = std::string(host) + ":";
  if (station.rfind(prefix, 0) != 0) return "";
  const ProfileFile settings = ProfileFile::Load(std::filesystem::path(station.substr(prefix.size())) / "EDI.ini");
  std::string folder = settings.Value("PATH", "OLD_FILE");
  if (folder.empty()) return "";
  if (folder.back() != '/') folder += '/';
  return folder == ownBackupFolder ? "" : folder;
}

// Finds each received file in the backup folder (this station's, else the
// receiving station's on this machine), else in the archives (newest
// archive first), taking it out into a temporary folder.
bool FindFiles(const PathSettings& folders, const std::string& archiveFolder, RerunSource& source,
               std::string& why) {
  std::vector<std::filesystem::path> archives;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(archiveFolder, ec)) {
    if (entry.path().filename().string().rfind("backup-", 0) == 0) archives.push_back(entry.path());
  }
  std::sort(archives.rbegin(), archives.rend());
  std::shared_ptr<TemporaryFolder> extracted;
  for (const auto& document : source.documents) {
    if (source.files.count(document.fileName) > 0) continue;
    std::string& where = source.files[document.fileName];
    where = folders.oldFile + document.fileName;
    if (std::filesystem::exists(where, ec)) continue;
    if (const std::string other = OtherStationsBackupFolder(document.station, folders.oldFile); !other.empty()) {
      if (std::filesystem::exists(other + document.fileName, ec)) {
        where = other + document.fileName;
        continue;
      }
    }
    if (!extracted) extracted = std::make_shared<TemporaryFolder>();
    const std::string out = extracted->path() + "/" + document.fileName;
    for (const auto& archive : archives) {
      std::string ignored;
      if (ExtractMember(archive, document.fileName, out, ignored)) {
        where = out;
        break;
      }
    }
  }
  source.extracted = extracted;
  (void)why;
  return true;
}

// Checks every document of the source against its backed-up file, and
// that each file holds its documents and nothing else.
bool BackupMatchesLedger(const RerunSource& source, std::string& why) {
  std::map<std::string, long long> extent;  // file → where its last document ends
  for (const auto& document : source.documents) {
    long long& end = extent[document.fileName];
    end = std::max(end, document.offset + document.size);
  }
  for (const auto& [name, end] : extent) {
    std::error_code ec;
    const std::string& file = source.files.at(name);
    const auto size = std::filesystem::file_size(file, ec);
    if (!ec && static_cast<long long>(size) != end) {
      why = "the backup " + file + " of transfer " + TransferDigits(source.transferNo) + " has " +
            std::to_string(size) + " bytes, not the " + std::to_string(end) +
            " that were received: it differs from what was received and cannot be re-run";
      return false;
    }
  }
  for (const auto& document : source.documents) {
    const std::string& file = source.files.at(document.fileName);
    std::string hash;
    if (!Sha256OfFile(file, document.offset, document.size, hash)) {
      why = "the backup " + file + " of transfer " + TransferDigits(source.transferNo) +
            " is missing or shorter than the ledger says: it cannot be re-run" +
            (document.station.empty() ? std::string() : " (received by the station " + document.station + ")");
      return false;
    }
    if (hash != document.sha256) {
      why = "the backup " + file + " of transfer " + TransferDigits(source.transferNo) +
            " differs from what was received (SHA-256): it cannot be re-run";
      return false;
    }
  }
  return true;
}

}  // namespace

Outcome PrepareRerun(Database& db, const PathSettings& folders, const std::string& archiveFolder,
                     TransferNo transferNo, bool registrationChecked, RerunSource& source) {
  source = RerunSource{transferNo, "", {}, {}, nullptr};
  ResultSet rs;
  if (!db.Query("SELECT センターコード, 終了コード FROM FL1102処理履歴ファイル WHERE 通番 = :1 AND 枝番 = 0",
                {transferNo}, rs)) {
    return Refused("cannot read the history: " + db.LastError());
  }
  if (rs.AtEnd()) return Refused("there is no transfer " + TransferDigits(transferNo) + " in the history");
  source.centreCode = NullToTrimmed(rs.Get("センターコード"), "");
  if (NullToTrimmed(rs.Get("終了コード"), "") == kResultRegistrationUnknown && !registrationChecked) {
    return Refused("transfer " + TransferDigits(transferNo) +
                   " was interrupted while the translator ran: whether its orders were registered is unknown."
                   " Check the business application, then re-run it with --registration-checked");
  }
  std::string why;
  if (!ReadLedger(db, transferNo, source.documents, why)) return Refused(why);
  if (source.documents.empty()) {
    return Refused("the ledger of received files holds nothing of transfer " + TransferDigits(transferNo) +
                   ": there is nothing to re-run");
  }
  if (!FindFiles(folders, archiveFolder, source, why) || !BackupMatchesLedger(source, why)) return Refused(why);
  return Outcome::Success();
}

Outcome ReceiveFromBackup(const Transfer& transfer, const RerunSource& source, ReceiptLog& receipts) {
  std::map<std::string, std::string> copied;  // backed-up file → its inbound copy
  for (const auto& document : source.documents) {
    auto [at, fresh] = copied.emplace(document.fileName, transfer.folders.ediInFil +
                                                             RenamedFor(document.fileName, source.transferNo,
                                                                        transfer.number));
    std::string why;
    if (fresh && !CopyRegularFileAtomically(source.files.at(document.fileName), at->second, why)) {
      return Outcome::Failure(kResultFailed, kResultOk, why);
    }
    const Outcome recorded = receipts.Record(
        {at->second, document.offset, document.size, document.sha256, document.documentId, document.sender});
    if (!recorded.ok()) return recorded;
  }
  return Outcome::Success();
}

}  // namespace edi
