// The set-up of the operator window after start-up, in the station's order:
// the row colours, the centre list into the grid, the styling, the screen ID
// and date, and the operator code from the command line.
#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "db/database.h"
#include "jobs/control_master.h"
#include "startup/message_sink.h"
#include "startup/program_state.h"
#include "ui/main_window.h"

namespace edi::ui {

inline constexpr char kNoCentres[] = "該当するデータがありませんでした";
inline constexpr char kStylingError[] = "項目設定エラー";
inline constexpr char kOperatorError[] = "オペレータ入力エラー";

// The colours of section COLOR.
StateColours ReadStateColours(const ProgramState& state, const QPalette& palette);

// Builds W4702301 over the centre list, not yet shown. On a failure shows
// its message through `sink` and returns nullptr: the program ends.
std::unique_ptr<MainWindow> SetUpMainWindow(Database& db, const ProgramState& state, const QString& commandLine,
                                            MessageSink& sink);

}  // namespace edi::ui
