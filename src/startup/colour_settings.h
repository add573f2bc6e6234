// The row colours of the monitor grid, section COLOR of EDI.ini.
#pragma once

#include "startup/profile_file.h"

namespace edi {

// Windows colour numbers by row state; each key taken with the leading-number
// rule ("&H" hexadecimal too): an absent or empty key is 0, black.
struct RowColours {
  double normal = 0, error = 0, done = 0, inProgress = 0;
};

RowColours ReadRowColours(const ProfileFile& settings);

}  // namespace edi
