// The program's start-up: program identity, settings, system profile and the
// database connection, in the order the station has always used.
#pragma once

#include <string_view>

#include "db/database.h"
#include "startup/message_sink.h"
#include "startup/program_state.h"

namespace edi {

inline constexpr char kSettingsReadError[] = "INIﾌｧｲﾙ読込エラー";
inline constexpr char kConnectionError[] = "接続エラー";

// Runs the start-up readers for screen `screenId` in order: database
// settings, system profile (OS name, OS version, user name, computer name),
// the database connection, display and path settings. On a failure it shows
// "INIﾌｧｲﾙ読込エラー" or "接続エラー" through `sink` and returns false: the
// program must then end.
bool InitialiseProgram(std::string_view screenId, std::string_view programFolder,
                       MessageSink& sink, ProgramState& state, Database& db);

// Sets the program ID to "M470230" and runs InitialiseProgram for the main
// window "W4702301". The window itself is the caller's.
bool StartUp(std::string_view programFolder, MessageSink& sink, ProgramState& state,
             Database& db);

}  // namespace edi
