#include "startup/settings_folder.h"

#include <system_error>

namespace edi {

std::optional<std::string> SettingsFolderOf(std::string_view programFolder) {
  std::string_view p = programFolder;
  if (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
  // Search for "/" from position 1 on, noting where each successful search
  // started; the start noted last is one past the second-to-last "/".
  size_t start = 1;  // 1-based
  std::optional<size_t> noted;
  while (start <= p.size()) {
    size_t hit = p.find('/', start - 1);
    if (hit == std::string_view::npos) break;
    noted = start;
    start = hit + 2;  // 1-based hit + 1
  }
  if (!noted || *noted < 2) return std::nullopt;
  return std::string(p.substr(0, *noted - 2));
}

std::filesystem::path SettingsFileIn(std::string_view settingsFolder) {
  return std::filesystem::path(std::string(settingsFolder) + "/" + kSettingsFileName);
}

std::string RunningProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

}  // namespace edi
