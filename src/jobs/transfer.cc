#include "jobs/transfer.h"

#include <algorithm>
#include <filesystem>

#include "startup/startup_settings.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

// The transfer number a station file name begins with: eight or more digits
// and "_"; -1 for any other name.
TransferNo NumberOfName(const std::string& name) {
  size_t digits = 0;
  while (digits < name.size() && digits < 18 && name[digits] >= '0' && name[digits] <= '9') ++digits;
  if (digits < 8 || digits >= name.size() || name[digits] != '_') return -1;
  return std::stoll(name.substr(0, digits));
}

}  // namespace

TransferNo HighestTransferInFolders(const PathSettings& folders) {
  TransferNo highest = 0;
  for (const std::string& folder : {folders.ediInFil, folders.oldFile}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      highest = std::max(highest, NumberOfName(entry.path().filename().string()));
    }
  }
  return highest;
}

bool TransferFilesExist(const PathSettings& folders, TransferNo number, std::string& found) {
  for (const std::string& folder : {folders.ediInFil, folders.oldFile}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      if (NumberOfName(entry.path().filename().string()) == number) {
        found = entry.path().string();
        return true;
      }
    }
  }
  return false;
}

bool IsFileNameCentreCode(const std::string& centreCode, std::string& why) {
  const std::string quoted = "the centre code \"" + centreCode + "\"";
  if (centreCode.empty()) {
    why = "an empty centre code cannot name the transfer's files";
    return false;
  }
  if (centreCode.find('/') != std::string::npos || centreCode.find("..") != std::string::npos) {
    why = quoted + " holds \"/\" or \"..\": it cannot name the transfer's files";
    return false;
  }
  for (unsigned char c : centreCode) {
    if (c < 0x20 || c == 0x7F) {
      why = "the centre code holds the control character " + std::to_string(c) + ": it cannot name the transfer's files";
      return false;
    }
  }
  return true;
}

RunSettings ReadRunSettings(const ProgramState& state) {
  const ProfileFile settings = LoadStationSettings(state);
  return RunSettings{ReadJobSettings(settings), ReadMailSettings(settings), settings};
}

std::string ArchiveFolder(const PathSettings& folders, const JobSettings& job) {
  return job.archiveFolder.empty() ? folders.oldFile + "archive/" : job.archiveFolder;
}

std::string Transfer::FileName(TransferFile kind, int nth, std::string_view category) const {
  return TransferFileName(number, centreCode, kind, nth, category);
}

std::string Transfer::InboundPath(TransferFile kind, int nth, std::string_view category) const {
  return folders.ediInFil + FileName(kind, nth, category);
}

Transfer LoadTransfer(Database& db, TransferNo number, const std::string& centreCode, const PathSettings& folders,
                      const RunSettings& settings) {
  Transfer transfer{number, centreCode, {}, {}, {}, {}, folders, settings};
  transfer.centreLookup = LookupCentre(db, centreCode, transfer.centre);
  transfer.companiesLookup = LoadCentreCompanies(db, centreCode, transfer.companies);
  return transfer;
}

}  // namespace edi
