#include "startup/startup_settings.h"

#include "base/ansi_codec.h"
#include "startup/setting_numbers.h"
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

std::string FolderWithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

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
  if (!ReadDisplaySettings(ini, state.display, why) || !ReadInt16(ini, "MINIMAIZE", state.packageWindowMinimized, why) ||
      !ReadInt16(ini, "DEMOMODE", state.packageDemoMode, why)) {
    why = file.string() + ": " + why;
    return false;
  }
  // Names are joined to these folders directly: a value without its final
  // "/" gets one, so that no file lands beside the folder instead of in it.
  state.paths.ntsPath = FolderWithSlash(ini.Value("PATH", "NTS100_PATH"));
  state.paths.ediInFil = FolderWithSlash(ini.Value("PATH", "EDIINFIL"));
  state.paths.ediOutFil = FolderWithSlash(ini.Value("PATH", "EDIOUTFIL"));
  state.paths.mgstPath = ini.Value("PATH", "MGSTPATH");
  state.paths.oldFile = FolderWithSlash(ini.Value("PATH", "OLD_FILE"));
  state.settingsFolder = *folder;
  return true;
}

ProfileFile LoadStationSettings(const ProgramState& state) {
  return ProfileFile::Load(SettingsFileIn(state.settingsFolder));
}

}  // namespace edi
