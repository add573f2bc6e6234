// The start-up readers of "EDI.ini" and the per-job re-reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "startup/program_state.h"

namespace edi {

// Reads the 動作環境 keys into state.database. Fails when no settings folder
// can be derived from `programFolder` or when the settings file is missing
// (a station without its settings file cannot be told from a wrong one).
bool ReadDatabaseSettings(std::string_view programFolder, ProgramState& state);

// Reads Setting0, M470410, PATH and デバッグ into `state` and records the
// settings folder. Fails when a colour key, MINIMAIZE or DEMOMODE does not
// convert (empty, not a number, outside the 16-bit range).
bool ReadDisplayAndPathSettings(std::string_view programFolder, ProgramState& state);

// A key re-read from the station's settings file for one job, with the
// start-up buffer of 256 characters.
std::string ReadJobSetting(const ProgramState& state, std::string_view section,
                           std::string_view key);

// A settings text converted as a decimal number (blanks around it allowed,
// "&H" hexadecimal accepted as the Windows conversion does). nullopt when the
// text is empty or not a number.
std::optional<double> ParseSettingNumber(std::string_view text);

// A settings text converted to a 16-bit integer, rounding halves to even;
// nullopt when it is empty, not a number or outside -32768..32767.
std::optional<int16_t> ParseSettingInt16(std::string_view text);

}  // namespace edi
