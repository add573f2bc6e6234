#include "startup/job_settings.h"

#include "base/text.h"
#include "startup/setting_numbers.h"

namespace edi {
namespace {

constexpr char kDefaultPackageFolder[] = "/opt/nts/100btcp/";

std::vector<std::string> DataKinds(const ProfileFile& settings) {
  std::vector<std::string> codes;
  for (const auto& line : settings.Section("JKBN_K_J")) {
    const std::string code = TrimBlanks(line);
    if (code.empty() || code == "\\" || code == "/") break;
    codes.push_back(line);
  }
  return codes;
}

std::string PackageProgramFolder(const ProfileFile& settings) {
  std::string folder = TrimBlanks(settings.Value("PATH", "NTS100_PROGRAM_DIR"));
  if (folder.empty()) folder = kDefaultPackageFolder;
  if (folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

JobSettings ReadJobSettings(const ProfileFile& settings) {
  JobSettings job;
  job.translatorCommand = settings.Value("PATH", "MGCMDLINEKR");
  job.commandFolder = settings.Value("PATH", "PRPATH");
  job.dataKinds = DataKinds(settings);
  job.packageProgramFolder = PackageProgramFolder(settings);
  const auto timeout = ParseSettingNumber(settings.Value("PATH", "TRANSLATOR_TIMEOUT"));
  if (timeout && *timeout >= 1 && *timeout <= 7 * 24 * 3600) job.translatorTimeout = static_cast<int>(*timeout);
  return job;
}

}  // namespace edi
