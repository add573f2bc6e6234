// monitor-bench STATION-FOLDER: the time from the start of the operator
// window's start-up (settings, database, centre list, styling) until the
// window is shown, in seconds on standard output. It runs the window's own
// set-up code on the platform named by QT_QPA_PLATFORM.
#include <QApplication>
#include <QWindow>

#include <chrono>
#include <cstdio>

#include "startup/message_sink.h"
#include "startup/startup.h"
#include "ui/monitor.h"
#include "ui/windows_colour.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: monitor-bench STATION-FOLDER\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  QApplication app(argc, argv);
  edi::ui::SubstituteJapaneseFonts();
  edi::StderrMessageSink sink;
  edi::ProgramState state;
  edi::Database db;
  if (!edi::StartUp(std::string(argv[1]) + "/system/bin", sink, state, db)) return 1;
  auto window = edi::ui::SetUpMainWindow(db, state, "BENCH", sink);
  if (!window) return 1;
  window->show();
  while (!window->windowHandle() || !window->windowHandle()->isExposed()) QCoreApplication::processEvents();
  QCoreApplication::processEvents();  // the first paint
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.4f %zu\n", seconds, window->model().rows().size());
  return 0;
}
