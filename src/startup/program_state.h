// The program-wide state: filled once at start-up, read by every subsystem.
#pragma once

#include <cstdint>
#include <string>

namespace edi {

inline constexpr char kProgramId[] = "M470230";
inline constexpr char kMainScreenId[] = "W4702301";

// The database keys of section 動作環境, each cut to 50 characters and
// blank-padded (the database layer trims them).
struct DatabaseSettings {
  std::string user;
  std::string password;
  std::string dataSource;
  std::string machineName;
};

struct FontSettings {
  std::string name, size, bold, italic, strikethru, underline;
};

// The 26 values of section Setting0. Colours are Windows colour numbers.
struct DisplaySettings {
  std::string formBackColor;
  double titleBackColor = 0, titleForeColor = 0;
  double textBackColor = 0, textForeColor = 0, textFocusColor = 0;
  double labelBackColor = 0, labelForeColor = 0;
  FontSettings titleFont, textFont, labelFont;
};

// The transfer folders of section PATH. EDIINFIL, EDIOUTFIL, OLD_FILE and
// NTS100_PATH end with "/"; MGSTPATH does not.
struct PathSettings {
  std::string ntsPath, ediInFil, ediOutFil, mgstPath, oldFile;
};

struct ProgramState {
  std::string programId;
  std::string settingsFolder;  // no trailing "/"
  std::string userName;        // the logged-on user: the operator of a run without window
  DatabaseSettings database;
  std::string connectionString;
  DisplaySettings display;
  int16_t packageWindowMinimized = 0;  // [M470410] MINIMAIZE, line 7 of the TCP package's request
  int16_t packageDemoMode = 0;         // [M470410] DEMOMODE, line 10 of the TCP package's request
  PathSettings paths;
};

}  // namespace edi
