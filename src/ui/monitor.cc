#include "ui/monitor.h"

#include <QApplication>
#include <QDate>

#include <algorithm>
#include <map>

#include "db/category.h"
#include "jobs/run_folders.h"
#include "startup/colour_settings.h"
#include "startup/startup.h"
#include "startup/startup_settings.h"
#include "ui/styling.h"
#include "ui/windows_colour.h"

namespace edi::ui {

StateColours ReadStateColours(const ProgramState& state, const QPalette& palette) {
  const RowColours c = ReadRowColours(LoadStationSettings(state));
  return StateColours{WindowsColour(c.normal, palette), WindowsColour(c.inProgress, palette),
                      WindowsColour(c.done, palette), WindowsColour(c.error, palette)};
}

std::unique_ptr<MainWindow> SetUpMainWindow(Database& db, const ProgramState& state, const QString& commandLine,
                                            MessageSink& sink) {
  const StateColours colours = ReadStateColours(state, QApplication::palette());
  std::vector<CentreRow> rows;
  if (const Outcome listed = LoadCentreList(db, rows); !listed.ok()) {
    sink.ShowMessage(kNoCentres, listed.reason);
    return nullptr;
  }
  std::map<std::string, QString> names;
  std::vector<QString> methodNames;
  for (const auto& row : rows) {
    auto known = names.find(row.transferMethod);
    if (known == names.end()) {
      known = names.emplace(row.transferMethod,
                            QString::fromStdString(LookupCategoryName(db, "送受信方式", row.transferMethod))).first;
    }
    methodNames.push_back(known->second);
  }
  auto window = std::make_unique<MainWindow>(std::move(rows), std::move(methodNames), colours);
  if (!ApplyDisplaySettings(*window, state.display)) {
    sink.ShowMessage(kStylingError);
    return nullptr;
  }
  window->FitColumnTitles();
  window->SetDate(QDate::currentDate().toString("yyyy/MM/dd"));
  std::string why;
  if (!IsValidOperatorCode(commandLine.trimmed().toStdString(), why)) {
    sink.ShowMessage(kOperatorError, why);
    return nullptr;
  }
  window->SetOperator(commandLine.trimmed(), QString());
  const bool usesPackage =
      std::any_of(window->Rows().begin(), window->Rows().end(), [](const CentreRow& r) { return r.transferMethod == "Z"; });
  if (!CheckRunFolders(state, ReadRunSettings(state), usesPackage, why)) {
    sink.ShowMessage(kSettingsReadError, why);
    return nullptr;
  }
  return window;
}

}  // namespace edi::ui
