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

// A whole number of a key within [least, most]; `fallback` otherwise.
int Number(const ProfileFile& settings, const char* section, const char* key, int least, int most, int fallback) {
  const auto value = ParseSettingNumber(settings.Value(section, key));
  if (!value || *value < least || *value > most) return fallback;
  return static_cast<int>(*value);
}

}  // namespace

JobSettings ReadJobSettings(const ProfileFile& settings) {
  JobSettings job;
  job.translatorCommand = settings.Value("PATH", "MGCMDLINEKR");
  job.commandFolder = settings.Value("PATH", "PRPATH");
  job.dataKinds = DataKinds(settings);
  job.packageProgramFolder = PackageProgramFolder(settings);
  job.translatorTimeout = Number(settings, "PATH", "TRANSLATOR_TIMEOUT", 1, 7 * 24 * 3600, job.translatorTimeout);
  job.retryCount = Number(settings, "RETRY", "COUNT", 0, 100, job.retryCount);
  job.retryInterval = Number(settings, "RETRY", "INTERVAL", 0, 24 * 3600, job.retryInterval);
  job.duplicateDays = Number(settings, "DUPLICATE", "DAYS", 0, 36500, job.duplicateDays);
  job.skipDuplicates = TrimBlanks(settings.Value("DUPLICATE", "ACTION")) == "skip";
  job.archiveFolder = TrimBlanks(settings.Value("PATH", "ARCHIVE_DIR"));
  if (!job.archiveFolder.empty() && job.archiveFolder.back() != '/') job.archiveFolder.push_back('/');
  return job;
}

}  // namespace edi
