#include "jobs/transfer.h"

#include "startup/startup_settings.h"

namespace edi {

RunSettings ReadRunSettings(const ProgramState& state) {
  const ProfileFile settings = LoadStationSettings(state);
  return RunSettings{ReadJobSettings(settings), ReadMailSettings(settings)};
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
