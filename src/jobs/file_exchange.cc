#include "jobs/file_exchange.h"

#include <cstdio>
#include <filesystem>

#include "base/files.h"
#include "base/text.h"
#include "startup/common_routines.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

bool IsOneOf(const std::string& text, std::initializer_list<const char*> forms) {
  for (const char* form : forms) {
    if (text == form) return true;
  }
  return false;
}

bool IsReceive(const std::string& direction) { return IsOneOf(direction, {"R", "Ｒ", "r", "ｒ"}); }
bool IsSend(const std::string& direction) { return IsOneOf(direction, {"S", "Ｓ", "s", "ｓ"}); }

bool SkipsDialogs(const std::string& programId) { return programId == "M470210" || programId == "M470310"; }

std::string TransferName(const FileExchangeRequest& r, const char* kind, const std::string& extension) {
  char serial[32];
  std::snprintf(serial, sizeof serial, "%08lld", r.serialNo);
  return serial + std::string(kind) + PadCentre(r.centreCode) + "." + extension;
}

bool Confirmed(const std::string& folder, std::string& path, std::string& fileName) {
  path = folder.empty() ? fileName : folder + "/" + fileName;
  return true;
}

}  // namespace

bool ConfiguredPathDialogs::ChooseOpenFile(const std::string& folder, std::string& path, std::string& fileName) {
  return Confirmed(folder, path, fileName);
}

bool ConfiguredPathDialogs::ChooseSaveFile(const std::string& folder, std::string& path, std::string& fileName) {
  return Confirmed(folder, path, fileName);
}

std::string DataFormatExtension(const std::string& dataFormat) {
  const std::string f = TrimBlanks(dataFormat);
  if (IsOneOf(f, {"C", "c", "Ｃ", "ｃ"})) return "CII";
  if (IsOneOf(f, {"X", "x", "Ｘ", "ｘ"})) return "XML";
  return "Err";
}

int MoveFile(const std::string& source, const std::string& destination) {
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) return 1;
  const auto size = fs::file_size(source, ec);
  std::string why;
  if (ec || !CopyFileAtomically(source, destination, why)) return 9;
  if (fs::file_size(destination, ec) != size || ec || !fs::remove(source, ec) || ec) {
    fs::remove(destination, ec);
    return 9;
  }
  return 0;
}

void RunFileExchange(FileExchangeRequest& request, const ProgramState& state, FileDialogs& dialogs) {
  request.result = "9999";
  const std::string extension = DataFormatExtension(request.dataFormat);
  if (extension == "Err") return;
  const size_t slash = request.path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : request.path.substr(0, slash);
  std::string fileName = slash == std::string::npos ? request.path : request.path.substr(slash + 1);
  const bool skipDialogs = SkipsDialogs(request.programId);
  std::string chosen = skipDialogs ? request.path : folder;
  if (!skipDialogs && IsReceive(request.direction) && !dialogs.ChooseOpenFile(folder, chosen, fileName)) return;
  if (IsReceive(request.direction)) {
    if (MoveFile(chosen, state.paths.ediInFil + TransferName(request, "_RCV_", extension)) == 0) {
      request.result = "0000";
    }
    return;
  }
  if (!IsSend(request.direction)) return;
  if (!skipDialogs) {
    // The save dialog comes back until the operator confirms a path; each
    // time it starts in the folder, after a cancel with an empty name.
    std::string name = fileName;
    while (!dialogs.ChooseSaveFile(folder, chosen, name)) name.clear();
  }
  std::string why;
  if (CopyFileAtomically(state.paths.ediOutFil + TransferName(request, "_SND_", extension), chosen, why)) {
    request.result = "0000";
  }
}

}  // namespace edi
