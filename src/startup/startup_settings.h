// The start-up readers of "EDI.ini": the database keys, the display
// settings, the TCP package's numbers and the transfer folders.
#pragma once

#include <string>
#include <string_view>

#include "startup/profile_file.h"
#include "startup/program_state.h"

namespace edi {

// Reads the 動作環境 keys into state.database, each whole (the 256-character
// rule), blank-padded to 50 characters when shorter. Fails when no settings
// folder can be derived from `programFolder` or when the settings file is
// missing or unreadable (a station without its settings file cannot be told
// from a wrong one); `why` then names the folder or file and what is wrong.
bool ReadDatabaseSettings(std::string_view programFolder, ProgramState& state, std::string& why);

// Reads Setting0, M470410 and PATH into `state` and records the
// settings folder. Fails when a colour key, MINIMAIZE or DEMOMODE does not
// convert (empty, not a number, outside the 16-bit range); `why` then names
// the file, the section and key, and the value.
bool ReadDisplayAndPathSettings(std::string_view programFolder, ProgramState& state, std::string& why);

// The station's settings file, loaded whole: what a run reads its job,
// mail and colour keys from.
ProfileFile LoadStationSettings(const ProgramState& state);

}  // namespace edi
