#include "startup/settings_reader.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "base/ansi_codec.h"
#include "startup/common_routines.h"
#include "startup/profile_file.h"
#include "startup/settings_folder.h"

namespace edi {
namespace {

// The 動作環境 values are fixed-length texts of 50 characters, blank-padded.
// A longer value is kept whole: a data-source name cut at 50 characters
// would never be found.
constexpr size_t kDatabaseFieldLength = 50;

std::string PaddedText(std::string_view value, size_t length) {
  std::string text(value);
  for (size_t n = Utf8Length(text); n < length; ++n) text.push_back(' ');
  return text;
}

FontSettings ReadFont(const ProfileFile& ini, const char* prefix) {
  auto key = [&](const char* name) { return ini.Value("Setting0", std::string(prefix) + name); };
  FontSettings f;
  f.bold = key("FontBold");
  f.italic = key("FontItalic");
  f.name = key("FontName");
  f.size = key("FontSize");
  f.strikethru = key("FontStrikethru");
  f.underline = key("FontUnderline");
  return f;
}

// "[section] key" and why its value does not convert.
std::string BadValue(std::string_view section, std::string_view key, const std::string& value,
                     const char* wanted) {
  return "[" + std::string(section) + "] " + std::string(key) +
         (value.empty() ? " is empty" : " = \"" + value + "\" is not " + wanted);
}

bool ReadColour(const ProfileFile& ini, const char* key, double& out, std::string& why) {
  const std::string text = ini.Value("Setting0", key);
  auto value = ParseSettingNumber(text);
  if (!value) {
    why = BadValue("Setting0", key, text, "a number");
    return false;
  }
  out = *value;
  return true;
}

bool ReadInt16(const ProfileFile& ini, const char* key, int16_t& out, std::string& why) {
  const std::string text = ini.Value("M470410", key);
  auto value = ParseSettingInt16(text);
  if (!value) {
    why = BadValue("M470410", key, text, "a 16-bit number");
    return false;
  }
  out = *value;
  return true;
}

// Setting0 keys in the reading order of the settings file's documentation.
bool ReadDisplaySettings(const ProfileFile& ini, DisplaySettings& d, std::string& why) {
  d.formBackColor = ini.Value("Setting0", "FormBackColor");
  if (!ReadColour(ini, "LabelBackColor", d.labelBackColor, why)) return false;
  d.labelFont = ReadFont(ini, "Label");
  if (!ReadColour(ini, "LabelForeColor", d.labelForeColor, why)) return false;
  if (!ReadColour(ini, "TextBackColor", d.textBackColor, why)) return false;
  if (!ReadColour(ini, "TextFocusColor", d.textFocusColor, why)) return false;
  d.textFont = ReadFont(ini, "Text");
  if (!ReadColour(ini, "TextForeColor", d.textForeColor, why)) return false;
  if (!ReadColour(ini, "TitleBackColor", d.titleBackColor, why)) return false;
  d.titleFont = ReadFont(ini, "Title");
  return ReadColour(ini, "TitleForeColor", d.titleForeColor, why);
}

// The settings folder of a program folder, or `why` says there is none.
std::optional<std::string> FolderOrWhy(std::string_view programFolder, std::string& why) {
  auto folder = SettingsFolderOf(programFolder);
  if (!folder) {
    why = "no settings folder two levels above the program folder " + std::string(programFolder);
  }
  return folder;
}

}  // namespace

std::optional<double> ParseSettingNumber(std::string_view text) {
  std::string t = TrimBlanks(text);
  if (t.empty()) return std::nullopt;
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(t.c_str() + 2, &end, 16);
    if (errno != 0 || end == t.c_str() + 2 || *end != '\0' || v > 0xFFFFFFFFull) return std::nullopt;
    // Windows reads "&H" numbers of up to 8 digits as signed 32-bit values.
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
  }
  for (char c : t) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')) {
      return std::nullopt;
    }
  }
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (errno != 0 || end != t.c_str() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int16_t> ParseSettingInt16(std::string_view text) {
  auto v = ParseSettingNumber(text);
  if (!v) return std::nullopt;
  double rounded = std::nearbyint(*v);  // the default mode rounds halves to even
  if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
  return static_cast<int16_t>(rounded);
}

bool ReadDatabaseSettings(std::string_view programFolder, ProgramState& state, std::string& why) {
  auto folder = FolderOrWhy(programFolder, why);
  if (!folder) return false;
  const auto file = SettingsFileIn(*folder);
  ProfileFile ini = ProfileFile::Load(file);
  if (!ini.exists()) {
    why = file.string() + " " + ini.error();
    return false;
  }
  auto read = [&](const char* key) { return PaddedText(ini.Value("動作環境", key), kDatabaseFieldLength); };
  state.database.user = read("USERID");
  state.database.password = read("PASSWD");
  state.database.dataSource = read("DBSTRING");
  state.database.machineName = read("MACHINENAME");
  return true;
}

bool ReadDisplayAndPathSettings(std::string_view programFolder, ProgramState& state, std::string& why) {
  auto folder = FolderOrWhy(programFolder, why);
  if (!folder) return false;
  const auto file = SettingsFileIn(*folder);
  ProfileFile ini = ProfileFile::Load(file);
  if (!ReadDisplaySettings(ini, state.display, why) || !ReadInt16(ini, "MINIMAIZE", state.minimaize, why) ||
      !ReadInt16(ini, "DEMOMODE", state.demoMode, why)) {
    why = file.string() + ": " + why;
    return false;
  }
  state.paths.ntsPath = ini.Value("PATH", "NTS100_PATH");
  state.paths.ediInFil = ini.Value("PATH", "EDIINFIL");
  state.paths.ediOutFil = ini.Value("PATH", "EDIOUTFIL");
  state.paths.mgstPath = ini.Value("PATH", "MGSTPATH");
  state.paths.oldFile = ini.Value("PATH", "OLD_FILE");
  state.debugMode = ini.Value("デバッグ", "MODE") == "1";
  state.settingsFolder = *folder;
  return true;
}

std::string ReadJobSetting(const ProgramState& state, std::string_view section,
                           std::string_view key) {
  return ReadProfileValue(SettingsFileIn(state.settingsFolder), section, key,
                          kProfileBufferLength);
}

}  // namespace edi

namespace edi {

JobPathSettings ReadJobPathSettings(const ProgramState& state) {
  const ProfileFile ini = ProfileFile::Load(SettingsFileIn(state.settingsFolder));
  JobPathSettings paths;
  paths.mgCmdLineKr = ini.Value("PATH", "MGCMDLINEKR");
  paths.stPath = ini.Value("PATH", "STPATH");
  paths.prPath = ini.Value("PATH", "PRPATH");
  paths.ediInFil = ini.Value("PATH", "EDIINFIL");
  paths.epmScm = ini.Value("PATH", "EPMSCM");
  paths.mgPath = ini.Value("PATH", "MGPATH");
  return paths;
}

std::vector<std::string> ReadDataKindCodes(const ProgramState& state) {
  std::vector<std::string> codes;
  for (const auto& line : ReadProfileSection(SettingsFileIn(state.settingsFolder), "JKBN_K_J")) {
    const std::string code = TrimBlanks(line);
    if (code.empty() || code == "\\" || code == "/") break;
    codes.push_back(line);
  }
  return codes;
}

double LeadingSettingNumber(std::string_view text) {
  const std::string_view t = TrimBlanksView(text);
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
    uint32_t value = 0;
    for (size_t i = 2; i < t.size() && i < 10 && std::isxdigit(static_cast<unsigned char>(t[i])); ++i) {
      value = value * 16 + static_cast<uint32_t>(std::stoi(std::string(1, t[i]), nullptr, 16));
    }
    return static_cast<double>(static_cast<int32_t>(value));
  }
  return static_cast<double>(LeadingNumber(t));
}

RowColours ReadRowColours(const ProgramState& state) {
  const ProfileFile ini = ProfileFile::Load(SettingsFileIn(state.settingsFolder));
  return RowColours{LeadingSettingNumber(ini.Value("COLOR", "通常")), LeadingSettingNumber(ini.Value("COLOR", "エラー")),
                    LeadingSettingNumber(ini.Value("COLOR", "処理済")), LeadingSettingNumber(ini.Value("COLOR", "処理中"))};
}

MailSettings ReadMailSettings(const ProgramState& state) {
  const ProfileFile ini = ProfileFile::Load(SettingsFileIn(state.settingsFolder));
  return MailSettings{ini.Value("MAPI", "ProfileName"), ini.Value("MAPI", "Password"),
                      ini.Value("MAPI", "SendURL"), ini.Value("MAIL", "MAIL-TEXT")};
}

std::string ReadNtsProgramDir(const ProgramState& state) {
  std::string dir = TrimBlanks(ReadJobSetting(state, "PATH", "NTS100_PROGRAM_DIR"));
  if (dir.empty()) dir = "/opt/nts/100btcp/";
  if (dir.back() != '/') dir.push_back('/');
  return dir;
}

}  // namespace edi
