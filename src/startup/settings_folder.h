// Where the station's settings live: "EDI.ini" lies two folder levels above
// the folder that holds the program (/opt/edi/system/bin -> /opt/edi).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace edi {

inline constexpr char kSettingsFileName[] = "EDI.ini";

// The settings folder for a program folder, by the two-levels-up rule on "/"
// separators (a trailing "/" is ignored). nullopt when the program folder lies
// less than two levels below the root, so no settings folder can be derived.
// The result has no trailing "/" ("" for a program two levels below "/").
std::optional<std::string> SettingsFolderOf(std::string_view programFolder);

// The settings file inside a settings folder: folder + "/EDI.ini".
std::filesystem::path SettingsFileIn(std::string_view settingsFolder);

// The folder of the running program (from /proc/self/exe), without trailing "/".
std::string RunningProgramFolder();

}  // namespace edi
