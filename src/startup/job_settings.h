// The keys of EDI.ini that the transfer jobs use, read once when a run
// starts (an edited translator command takes effect at the next run without
// a restart): the translator, its command folder, the data kinds of its
// command file, and the TCP package's program folder.
#pragma once

#include <string>
#include <vector>

#include "startup/profile_file.h"

namespace edi {

struct JobSettings {
  std::string translatorCommand;       // [PATH] MGCMDLINEKR
  std::string commandFolder;           // [PATH] PRPATH, no trailing "/"
  std::vector<std::string> dataKinds;  // [JKBN_K_J], one code per line
  std::string packageProgramFolder;    // [PATH] NTS100_PROGRAM_DIR, ending in "/"
  int translatorTimeout = 3600;        // [PATH] TRANSLATOR_TIMEOUT, seconds
  int retryCount = 0;                  // [RETRY] COUNT: further tries of a failed fetch
  int retryInterval = 60;              // [RETRY] INTERVAL, seconds between them
  int duplicateDays = 30;              // [DUPLICATE] DAYS: how far back a received file is known
  bool skipDuplicates = false;         // [DUPLICATE] ACTION: "skip" (else "warn")
  std::string archiveFolder;           // [PATH] ARCHIVE_DIR ("": the backup folder's archive/)
};

// Reads the job keys of `settings`. The data kinds are the lines of the whole
// section (256 characters), up to the first line that is empty, "\" or "/";
// the package's folder is "/opt/nts/100btcp/" unless the key names another;
// the translator's time limit is an hour unless the key gives a positive
// number of seconds. Numbers that are missing or out of their range keep
// their defaults.
JobSettings ReadJobSettings(const ProfileFile& settings);

}  // namespace edi
