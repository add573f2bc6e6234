// The folders a receive run writes to, checked before any centre runs: a
// missing or wrong path setting is a set-up error naming its key, not files
// written into "/" or the current folder.
#pragma once

#include <string>
#include <string_view>

#include "jobs/transfer.h"

namespace edi {

// True when EDIINFIL, OLD_FILE, MGSTPATH, PRPATH (and NTS100_PATH when
// `usesPackage`) each name an existing folder the station may write to;
// otherwise `why` names the first key that does not and what is wrong.
bool CheckRunFolders(const ProgramState& state, const RunSettings& settings, bool usesPackage, std::string& why);

// True for an operator code that can stand in the translator's command file:
// at most 64 characters and no control character.
bool IsValidOperatorCode(std::string_view code, std::string& why);

}  // namespace edi
