// The start-up readers of "EDI.ini" and the per-job re-reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "startup/program_state.h"

namespace edi {

// Reads the 動作環境 keys into state.database, each whole (the 256-character
// rule), blank-padded to 50 characters when shorter. Fails when no settings
// folder can be derived from `programFolder` or when the settings file is
// missing or unreadable (a station without its settings file cannot be told
// from a wrong one); `why` then names the folder or file and what is wrong.
bool ReadDatabaseSettings(std::string_view programFolder, ProgramState& state, std::string& why);

// Reads Setting0, M470410, PATH and デバッグ into `state` and records the
// settings folder. Fails when a colour key, MINIMAIZE or DEMOMODE does not
// convert (empty, not a number, outside the 16-bit range); `why` then names
// the file, the section and key, and the value.
bool ReadDisplayAndPathSettings(std::string_view programFolder, ProgramState& state, std::string& why);

// A key re-read from the station's settings file for one job, with the
// start-up buffer of 256 characters.
std::string ReadJobSetting(const ProgramState& state, std::string_view section,
                           std::string_view key);

// The PATH keys the jobs re-read for every job.
struct JobPathSettings {
  std::string mgCmdLineKr;  // the translator command
  std::string stPath, prPath, ediInFil, epmScm, mgPath;
};
JobPathSettings ReadJobPathSettings(const ProgramState& state);

// The data-kind codes of section JKBN_K_J (whole section, 256 characters):
// one code per line, up to the first line that is empty or "\" or "/".
std::vector<std::string> ReadDataKindCodes(const ProgramState& state);

// The row colours of the monitor grid (section COLOR), each taken with the
// leading-number rule ("&H" hexadecimal too): an absent or empty key is 0,
// black.
struct RowColours {
  double normal = 0, error = 0, done = 0, inProgress = 0;
};
RowColours ReadRowColours(const ProgramState& state);

// The number at the start of a settings text as the Windows conversion
// reads it: decimal digits, or "&H" and hexadecimal digits; 0 without any.
double LeadingSettingNumber(std::string_view text);

// The mail account (section MAPI) and the mail body (MAIL-TEXT).
struct MailSettings {
  std::string profileName;  // imap://user@host:port, pop3://..., maildir:///path
  std::string password;
  std::string sendUrl;      // smtp://host:port or sendmail://
  std::string mailText;
};
MailSettings ReadMailSettings(const ProgramState& state);

// The TCP package's program folder: [PATH] NTS100_PROGRAM_DIR, by default
// "/opt/nts/100btcp/". Always ends with "/".
std::string ReadNtsProgramDir(const ProgramState& state);

// A settings text converted as a decimal number (blanks around it allowed,
// "&H" hexadecimal accepted as the Windows conversion does). nullopt when the
// text is empty or not a number.
std::optional<double> ParseSettingNumber(std::string_view text);

// A settings text converted to a 16-bit integer, rounding halves to even;
// nullopt when it is empty, not a number or outside -32768..32767.
std::optional<int16_t> ParseSettingInt16(std::string_view text);

}  // namespace edi
