#include "startup/startup.h"

#include <iostream>

#include "db/open_database.h"
#include "db/schema.h"
#include "startup/settings_folder.h"
#include "startup/startup_settings.h"
#include "startup/system_profile.h"

namespace edi {

void StderrMessageSink::ShowMessage(std::string_view text, std::string_view detail) {
  std::cerr << text;
  if (!detail.empty()) std::cerr << ": " << detail;
  std::cerr << std::endl;
}

bool InitialiseProgram(std::string_view /*screenId*/, std::string_view programFolder,
                       MessageSink& sink, ProgramState& state, Database& db) {
  std::string why;
  if (!ReadDatabaseSettings(programFolder, state, why)) {
    sink.ShowMessage(kSettingsReadError, why);
    return false;
  }
  state.userName = SystemProfile().userName();

  // The settings folder is recorded only by the display reader, which runs
  // after the connection; a relative SQLite path needs it now.
  const std::string settingsFolder = SettingsFolderOf(programFolder).value_or("");
  DatabaseLogin login{state.database.dataSource, state.database.user, state.database.password};
  if (!OpenDatabase(login, settingsFolder, db, state.connectionString)) {
    sink.ShowMessage(kConnectionError, DescribeConnectionFailure(login, db));
    return false;
  }
  // A station set up before the station's own tables existed gets them now.
  if (!AddMissingTables(db)) {
    sink.ShowMessage(kConnectionError, "cannot add the station's tables to " + state.connectionString + ": " +
                                           db.LastError());
    return false;
  }
  if (!ReadDisplayAndPathSettings(programFolder, state, why)) {
    sink.ShowMessage(kSettingsReadError, why);
    return false;
  }
  return true;
}

bool StartUp(std::string_view programFolder, MessageSink& sink, ProgramState& state,
             Database& db) {
  state.programId = kProgramId;
  return InitialiseProgram(kMainScreenId, programFolder, sink, state, db);
}

}  // namespace edi
