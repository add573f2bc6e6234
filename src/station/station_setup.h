// Setting up a station folder: the settings file, the transfer folders, the
// embedded SQLite database with the schema and the station's programs, laid
// out so that the programs find the settings by the two-levels-up rule:
//
//   DIR/EDI.ini           DIR/data/edi.sqlite       DIR/system/bin/<programs>
//   DIR/in/ DIR/out/ DIR/old/ DIR/status/ DIR/command/ DIR/nts/ DIR/recv/
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace edi {

struct StationSetupOptions {
  bool demo = false;                     // add sample centres and their data
  std::filesystem::path programSource;   // folder whose station programs are copied
  std::string database;                  // DBSTRING of another database; empty: the embedded SQLite
};

// Creates the station in `dir`; `created` is the folder made absolute. An
// existing EDI.ini or database is left as it is, so set-up can be repeated
// safely. With `database` the station's EDI.ini names it and its tables are
// created there when missing: a database that holds them already is joined
// as it is, and demo rows already there are kept. On failure (an empty folder name included) `error` says what went
// wrong.
bool SetUpStation(const std::filesystem::path& dir, const StationSetupOptions& options,
                  std::filesystem::path& created, std::string& error);

// The programs a station carries in system/bin.
const std::vector<std::string>& StationProgramNames();

}  // namespace edi
