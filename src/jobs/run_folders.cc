#include "jobs/run_folders.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/ansi_codec.h"
#include "base/outcome.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

bool CheckFolder(const char* key, const std::string& path, std::string& why) {
  const std::string named = "[PATH] " + std::string(key);
  if (path.empty()) {
    why = named + " is not set: the run has no folder to write to";
    return false;
  }
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (!fs::exists(status)) {
    why = named + " = " + path + ": no such folder";
    return false;
  }
  if (!fs::is_directory(status)) {
    why = named + " = " + path + ": not a folder";
    return false;
  }
  if (::access(path.c_str(), W_OK | X_OK) != 0) {
    why = WithErrno(named + " = " + path + ": the station cannot write there", errno);
    return false;
  }
  return true;
}

}  // namespace

bool CheckRunFolders(const ProgramState& state, const RunSettings& settings, bool usesPackage, std::string& why) {
  return CheckFolder("EDIINFIL", state.paths.ediInFil, why) && CheckFolder("OLD_FILE", state.paths.oldFile, why) &&
         CheckFolder("MGSTPATH", state.paths.mgstPath, why) &&
         CheckFolder("PRPATH", settings.job.commandFolder, why) &&
         (!usesPackage || CheckFolder("NTS100_PATH", state.paths.ntsPath, why));
}

bool IsValidOperatorCode(std::string_view code, std::string& why) {
  for (unsigned char c : code) {
    if (c < 0x20 || c == 0x7F) {
      why = "the operator code holds a control character (" + std::to_string(c) + ")";
      return false;
    }
  }
  if (!IsValidUtf8(code) || Utf8Length(code) > 64) {
    why = "the operator code is longer than 64 characters";
    return false;
  }
  return true;
}

}  // namespace edi
