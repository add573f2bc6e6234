// edi-monitor: the operator window. The whole command line, trimmed, is the
// operator code.
#include <QApplication>
#include <QStringList>
#include <malloc.h>
#include <cstring>
#include <iostream>

#include "base/text.h"
#include "base/version.h"
#include "cii/converter_state.h"
#include "report/after_run.h"
#include "startup/settings_folder.h"
#include "startup/startup.h"
#include "ui/mail_progress_window.h"
#include "ui/monitor.h"
#include "ui/qt_dialogs.h"
#include "ui/translations.h"
#include "ui/windows_colour.h"

int main(int argc, char** argv) {
  if (edi::AnswerVersion(argc, argv, "edi-monitor")) return 0;
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::cout << "usage: edi-monitor [OPERATOR]\n"
                 "\n"
                 "The operator window of the station whose EDI.ini lies two folders above this\n"
                 "program: it lists the trading centres, and runs the marked ones (receive,\n"
                 "convert, register, back up), showing each stage's outcome in the centre's row.\n"
                 "OPERATOR is the operator's code shown in the window and kept in the history.\n";
    return 0;
  }
  // As edi-receive: a megabyte's mail copies reuse the heap's pages.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  QApplication app(argc, argv);
  edi::ui::InstallJapaneseTranslations(app);
  edi::ui::SubstituteJapaneseFonts();
  QStringList words;
  for (int i = 1; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);
  const QString commandLine = words.join(' ');

  edi::ui::MessageBoxSink sink;
  edi::ProgramState state;
  edi::Database db;
  const std::string programFolder = edi::RunningProgramFolder();
  if (!edi::StartUp(programFolder, sink, state, db)) return 1;
  auto window = edi::ui::SetUpMainWindow(db, state, commandLine, sink);
  if (!window) return 1;

  edi::cii::ConverterState converters;
  converters.errLog = edi::cii::ErrLog(programFolder + "/ERR.LOG");
  edi::ui::MailProgressWindow mail(window.get());
  edi::ui::QtFileDialogs dialogs(window.get());
  const edi::JobContext context{db,   state, converters, commandLine.trimmed().toStdString(),
                                [] { QCoreApplication::processEvents(); }, mail, dialogs};
  window->SetJobContext(&context);
  window->afterRun = [&](const edi::RunSummary& summary) {
    const auto problems = edi::report::AfterRun(db, state, summary, window->Rows(), converters.errLog);
    if (!problems.empty()) sink.ShowMessage("警報メールまたはメトリクスの異常", problems.front());
  };
  window->show();
  return app.exec();
}
