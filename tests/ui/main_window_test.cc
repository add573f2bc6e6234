#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "cii/converter_state.h"
#include "qt_app.h"
#include "startup/startup.h"
#include "station/station_setup.h"
#include "support/demo_station.h"
#include "support/format_fixture.h"
#include "support/test_db.h"
#include "ui/history_window.h"
#include "ui/mail_progress_window.h"
#include "ui/monitor.h"
#include "ui/windows_colour.h"

namespace edi::ui {
namespace {

namespace fs = std::filesystem;

class RecordingSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, std::string_view) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

// The operator window over a fresh demo station (four centres: DEMOM01,
// DEMOW01, DEMOW02, DEMOZ01), shown on the offscreen platform.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApplication();
    std::string error;
    ASSERT_TRUE(test::MakeDemoStation("ui", station_, error)) << error;
    ASSERT_TRUE(StartUp((station_ / "system/bin").string(), sink_, state_, db_));
    window_ = SetUpMainWindow(db_, state_, "  OP01  ", sink_);
    ASSERT_NE(window_, nullptr);
    window_->askQuit = [this] {
      ++questions_;
      return false;
    };
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  const CentreRow& RowAt(int row) { return window_->model().rows()[static_cast<size_t>(row)]; }
  QString Cell(int row, int column) { return window_->model().index(row, column).data().toString(); }
  QColor TextColour(int row) {
    return window_->model().index(row, 2).data(Qt::ForegroundRole).value<QBrush>().color();
  }
  QString Marks() {
    QString marks;
    for (int r = 0; r < window_->model().rowCount(); ++r) marks += Cell(r, 0);
    return marks;
  }

  void Click(int row, int column) {
    QTableView& grid = window_->grid();
    const QRect cell = grid.visualRect(window_->model().index(row, column));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&window_->grid(), key, modifiers);
  }

  fs::path station_;
  RecordingSink sink_;
  ProgramState state_;
  Database db_;
  std::unique_ptr<MainWindow> window_;
  int questions_ = 0;
};

TEST_F(MainWindowTest, ShowsTheCentresUnmarkedWithTheirMethodNamesAndTheOperator) {
  EXPECT_EQ(window_->objectName(), "W4702301");
  EXPECT_EQ(window_->windowTitle(), QString::fromUtf8("組立メーカEDI手動受信"));
  ASSERT_EQ(window_->model().rowCount(), 4);
  EXPECT_EQ(Marks(), QString::fromUtf8("××××"));
  EXPECT_EQ(Cell(0, 1), "DEMOM01");
  EXPECT_FALSE(Cell(0, 3).isEmpty());  // the method's name from the category master, not its letter
  EXPECT_NE(Cell(0, 3), "M");
  EXPECT_EQ(window_->findChild<QLabel*>("lbl_OPCD")->text(), "OP01");
  EXPECT_EQ(window_->findChild<QLabel*>("lbl_OPNM")->text(), "");
  EXPECT_EQ(window_->findChild<QLabel*>("lbl_PGID")->text(), "W4702301");
  EXPECT_EQ(window_->runButton().text(), QString::fromUtf8("処理実行(&S)"));
  EXPECT_EQ(window_->grid().rowHeight(0), Twips(380));
  EXPECT_EQ(window_->grid().columnWidth(2), Twips(5000));
}

TEST_F(MainWindowTest, TheSpaceBarFlipsTheRowsSelectedDownwardsOnly) {
  Key(Qt::Key_Down);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Space);
  EXPECT_EQ(Marks(), QString::fromUtf8("×○○○"));
  Key(Qt::Key_Space);
  EXPECT_EQ(Marks(), QString::fromUtf8("××××"));

  // From the last row upwards: the range runs backwards and nothing flips.
  Key(Qt::Key_End);
  Key(Qt::Key_Up, Qt::ShiftModifier);
  Key(Qt::Key_Up, Qt::ShiftModifier);
  Key(Qt::Key_Space);
  EXPECT_EQ(Marks(), QString::fromUtf8("××××"));
}

TEST_F(MainWindowTest, AClickSelectsAndOnlyAFurtherClickOnTheCodeCellFlips) {
  Click(2, 1);  // another row than the current one: only selects it
  EXPECT_EQ(Marks(), QString::fromUtf8("××××"));
  EXPECT_EQ(window_->grid().currentIndex().row(), 2);
  Click(2, 1);
  EXPECT_EQ(Marks(), QString::fromUtf8("××○×"));
  Click(2, 2);  // the name cell never flips
  Click(2, 0);
  EXPECT_EQ(Marks(), QString::fromUtf8("××○×"));
  Click(2, 1);
  EXPECT_EQ(Marks(), QString::fromUtf8("××××"));
}

TEST_F(MainWindowTest, ADoneRowKeepsItsMarkAgainstTheMouseButNotTheSpaceBar) {
  window_->model().FlipMark(1);
  window_->model().SetState(1, kRowDone);
  Click(1, 1);
  Click(1, 1);
  EXPECT_EQ(Cell(1, 0), QString::fromUtf8("○"));
  Key(Qt::Key_Space);
  EXPECT_EQ(Cell(1, 0), QString::fromUtf8("×"));
}

TEST_F(MainWindowTest, EscapeAndTheCloseBoxAskAndAreRefusedSilentlyDuringARun) {
  Key(Qt::Key_Escape);
  EXPECT_EQ(questions_, 1);
  EXPECT_FALSE(window_->close());  // answered No
  EXPECT_EQ(questions_, 2);
  window_->SetRunning(true);
  Key(Qt::Key_Escape);
  EXPECT_FALSE(window_->close());
  EXPECT_EQ(questions_, 2);
  EXPECT_TRUE(window_->isVisible());
  Click(0, 1);
  EXPECT_EQ(Cell(0, 0), QString::fromUtf8("×"));  // marking by mouse waits for the run's end
  window_->SetRunning(false);
}

TEST_F(MainWindowTest, TheRunColoursEachRowAndShowsTheProcessingWindowWhileACentreRuns) {
  cii::ConverterState converters;
  converters.errLog = cii::ErrLog((station_ / "system/bin/ERR.LOG").string());
  MailProgressWindow mail(window_.get());
  ConfiguredPathDialogs dialogs;
  bool processingSeen = false;
  const JobContext context{db_, state_, converters, "OP01",
                           [&] { processingSeen = processingSeen || window_->processingWindow().isVisible(); },
                           mail, dialogs};
  window_->SetJobContext(&context);
  for (int r = 0; r < 4; ++r) window_->model().FlipMark(r);
  window_->model().SetState(3, kRowDone);  // DEMOZ01, marked but done already: the run skips it
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  window_->grid().setFocus();
  // Alt+S presses the button as a mnemonic does: an animated click that
  // fires a moment later and runs inside the event loop.
  QTest::keyClick(window_->windowHandle(), Qt::Key_S, Qt::AltModifier);
  for (int waited = 0; waited < 200 && RowAt(2).state == kRowNormal; ++waited) QTest::qWait(50);

  EXPECT_TRUE(processingSeen);
  EXPECT_FALSE(window_->processingWindow().isVisible());
  EXPECT_FALSE(window_->running());
  const StateColours colours = ReadStateColours(state_, QApplication::palette());
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(RowAt(r).state, kRowDone) << r;
    EXPECT_EQ(TextColour(r), colours.done) << r;
    EXPECT_EQ(Cell(r, 4), "OK");
    EXPECT_EQ(Cell(r, 6), "OK");
  }
  EXPECT_EQ(Cell(3, 4), "");
  EXPECT_EQ(Cell(3, 6), "");
  // The mail centre listed its receive steps in their order.
  QStringList steps;
  for (int i = 0; i < mail.list().count(); ++i) steps << mail.list().item(i)->text();
  int at = 0;
  for (const char* step : {"受信処理開始", "ログオン", "受信トレイ検索", "添付ファイル格納", "ログオフ"}) {
    at = static_cast<int>(steps.indexOf(QString::fromUtf8(step), at));
    EXPECT_GE(at, 0) << step << " in " << steps.join(" / ").toStdString();
  }
}

TEST_F(MainWindowTest, TheRowMenuOpensTheCentresHistoryByMouseAndByKeyboard) {
  ASSERT_TRUE(db_.ExecuteSql(
      "INSERT INTO FL1102処理履歴ファイル (通番, 枝番, 送受信種別, 相手先種別, 処理種別, 処理開始日付, 処理開始時刻,"
      " センターコード, 処理終了日付, 処理終了時刻, 終了コード, 詳細コード) VALUES"
      " (77, 0, 'R', '1', '01', '2026/12/08', '09:00:00', 'DEMOW02', '2026/12/08', '09:00:09', '0000', '0000')"));
  cii::ConverterState converters;
  MailProgressWindow mail(window_.get());
  ConfiguredPathDialogs dialogs;
  const JobContext context{db_, state_, converters, "OP01", [] {}, mail, dialogs};
  window_->SetJobContext(&context);
  auto historyText = [&] {
    QString text;
    for (auto* history : window_->findChildren<HistoryWindow*>("W_HISTORY")) {
      if (history->isVisible()) text += history->text().toPlainText();
      history->close();
    }
    QCoreApplication::processEvents();
    return text;
  };

  // A right click on DEMOW02's name: the menu, and no mark, selection or state changes.
  QTableView& grid = window_->grid();
  const QPoint at = grid.visualRect(window_->model().index(2, 2)).center();
  QTest::mouseClick(grid.viewport(), Qt::RightButton, Qt::NoModifier, at);
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, grid.viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(grid.viewport(), &menuEvent);
  EXPECT_TRUE(window_->historyMenu().isVisible());
  EXPECT_EQ(Marks(), QString::fromUtf8("××××"));
  EXPECT_EQ(grid.currentIndex().row(), 0);
  EXPECT_EQ(RowAt(2).state, kRowNormal);
  window_->historyMenu().actions().at(0)->trigger();
  window_->historyMenu().hide();
  const QString byMouse = historyText();
  EXPECT_TRUE(byMouse.contains(QString::fromUtf8("通番 77 "))) << byMouse.toStdString();
  EXPECT_TRUE(byMouse.contains("DEMOW02"));

  // The menu key and Shift+F10 open it for the current row.
  for (auto [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    Key(key, modifiers);
    EXPECT_TRUE(window_->historyMenu().isVisible());
    EXPECT_EQ(window_->historyMenu().actions().at(0)->text(), QString::fromUtf8("処理履歴"));
    window_->historyMenu().actions().at(0)->trigger();
    window_->historyMenu().hide();
    EXPECT_TRUE(historyText().contains(QString::fromUtf8("通番 77 ")));
  }
  // The history of a centre without transfers says so.
  window_->OpenHistory(0);
  EXPECT_TRUE(historyText().contains(QString::fromUtf8("処理履歴はありません")));
  EXPECT_EQ(Marks(), QString::fromUtf8("××××"));
}

// A run over a range marked with Shift+Down in which the last centre fails.
TEST_F(MainWindowTest, AFailedRowShowsItsColourAndReasonWithoutAClickAndRunsAgainFromItsMenu) {
  fs::remove(station_ / "recv/DEMOW02/orders.XML");  // DEMOW02 has no file to take: a receive error
  cii::ConverterState converters;
  converters.errLog = cii::ErrLog((station_ / "system/bin/ERR.LOG").string());
  MailProgressWindow mail(window_.get());
  ConfiguredPathDialogs dialogs;
  const JobContext context{db_, state_, converters, "OP01", [] {}, mail, dialogs};
  window_->SetJobContext(&context);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Space);
  ASSERT_EQ(Marks(), QString::fromUtf8("○○○×"));
  window_->RunMarkedCentres();
  ASSERT_EQ(RowAt(2).state, kRowError);
  // Only the last row processed is selected, and its text is drawn in the
  // error colour, not in the highlight's.
  const QModelIndexList selected = window_->grid().selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected[0].row(), 2);
  const QColor error = ReadStateColours(state_, QApplication::palette()).error;
  EXPECT_EQ(TextColour(2), error);
  const QImage shot = window_->grid().viewport()->grab().toImage();
  const QRect rowRect = window_->grid().visualRect(window_->model().index(2, 1)).united(
      window_->grid().visualRect(window_->model().index(2, 5)));
  int errorPixels = 0;
  for (int y = rowRect.top(); y <= rowRect.bottom(); ++y) {
    for (int x = rowRect.left(); x <= rowRect.right(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      errorPixels += std::abs(c.red() - error.red()) < 40 && std::abs(c.green() - error.green()) < 40 &&
                     std::abs(c.blue() - error.blue()) < 40;
    }
  }
  EXPECT_GT(errorPixels, 20) << "the selected row's text is drawn in its state colour";
  // The error cell tells the step, the codes and the reason; the history window begins with it.
  const QString tip = window_->model().index(2, 5).data(Qt::ToolTipRole).toString();
  EXPECT_TRUE(tip.contains("5100/9999")) << tip.toStdString();
  EXPECT_TRUE(tip.contains(QString::fromUtf8("受信"))) << tip.toStdString();
  EXPECT_TRUE(tip.contains("orders.XML")) << tip.toStdString();
  EXPECT_EQ(window_->model().index(1, 3).data(Qt::ToolTipRole).toString(), Cell(1, 3)) << "the whole method name";
  window_->OpenHistory(2);
  auto* history = window_->findChild<HistoryWindow*>("W_HISTORY");
  ASSERT_NE(history, nullptr);
  EXPECT_TRUE(history->text().toPlainText().startsWith(tip)) << history->text().toPlainText().toStdString();
  EXPECT_TRUE(history->text().toPlainText().contains(QString::fromUtf8("異常終了")));
  history->close();
  // The cause mended, "再実行" from the row's menu runs the centre again.
  test::WriteFile((station_ / "recv/DEMOW02/orders.XML").string(), test::ReadFile((station_ / "data/demo-orders.xml").string()));
  window_->RerunRow(2);
  EXPECT_EQ(RowAt(2).state, kRowDone) << window_->model().Failure(2).toStdString();
  EXPECT_EQ(Cell(2, 6), "OK");
  EXPECT_TRUE(window_->model().Failure(2).isEmpty());
}

TEST_F(MainWindowTest, TheWindowKeepsRepaintingWhileASilentServerIsWaitedFor) {
  // A server that accepts the connection and never says a word.
  const int server = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(server, 4), 0);
  socklen_t length = sizeof address;
  getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));
  std::string ini = test::ReadFile((station_ / "EDI.ini").string());
  ini = std::regex_replace(ini, std::regex("ProfileName=[^\r\n]*"),
                           "ProfileName=imap://user@127.0.0.1:" + port + "\r\nTIMEOUT=2");
  ini += "\r\n[JX:DEMOM01]\r\nURL=https://127.0.0.1:" + port + "/jx\r\nCLIENT_ID=X\r\nTIMEOUT=2\r\n";
  test::WriteFile((station_ / "EDI.ini").string(), ini);
  cii::ConverterState converters;
  converters.errLog = cii::ErrLog((station_ / "system/bin/ERR.LOG").string());
  MailProgressWindow mail(window_.get());
  mail.showErrorBox = [](const QString&) {};
  ConfiguredPathDialogs dialogs;
  const JobContext context{db_, state_, converters, "OP01", [] { QCoreApplication::processEvents(); }, mail, dialogs};
  window_->SetJobContext(&context);
  // DEMOM01 by mail, then the same centre over JX.
  for (const char* method : {"M", "J"}) {
    ASSERT_TRUE(db_.ExecuteSql("UPDATE FL1903EDI制御マスタ SET 送受信方式 = :1 WHERE センターコード = 'DEMOM01'",
                               {std::string(method)}));
    if (Cell(0, 0) != QString::fromUtf8("○")) window_->model().FlipMark(0);
    // Only the wait on the silent server is timed, from the connection to
    // the client's giving up: opening and closing the transfer write to the
    // database, which a busy disk may hold up.
    std::vector<std::chrono::steady_clock::time_point> ticks;
    int connection = -1;
    bool givenUp = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (connection < 0) connection = accept(server, nullptr, nullptr);
      if (connection < 0 || givenUp) return;
      char hello[4096];
      ssize_t got;
      while ((got = recv(connection, hello, sizeof hello, MSG_DONTWAIT)) > 0) {
      }
      givenUp = got == 0;
      ticks.push_back(std::chrono::steady_clock::now());
      if (ticks.size() == 10) Key(Qt::Key_Escape);  // refused silently during the run
    });
    timer.start(20);
    // The mail run leaves the row in error: 再実行 runs it again.
    method == std::string("M") ? window_->RunMarkedCentres() : window_->RerunRow(0);
    timer.stop();
    EXPECT_EQ(RowAt(0).state, kRowError) << method << window_->model().Failure(0).toStdString();
    EXPECT_EQ(questions_, 0);
    ASSERT_GT(ticks.size(), 20u) << method << ": the event loop turned while the server was silent";
    for (size_t i = 1; i < ticks.size(); ++i) {
      EXPECT_LT(ticks[i] - ticks[i - 1], std::chrono::milliseconds(100)) << method << ": a gap at tick " << i;
    }
    close(connection);
  }
  EXPECT_TRUE(window_->model().Failure(0).contains("5200/0003")) << window_->model().Failure(0).toStdString();
  close(server);
}

TEST_F(MainWindowTest, QtsOwnTextsAreJapaneseAndTheWindowKeepsItsDesignedSize) {
  const auto box = window_->QuitQuestion();
  EXPECT_TRUE(box->button(QMessageBox::Yes)->text().contains(QString::fromUtf8("はい")))
      << box->button(QMessageBox::Yes)->text().toStdString();
  EXPECT_TRUE(box->button(QMessageBox::No)->text().contains(QString::fromUtf8("いいえ")));
  window_->resize(200, 100);
  EXPECT_EQ(window_->size(), window_->minimumSize());
  EXPECT_GT(window_->minimumWidth(), 700);
}

TEST(MonitorSetUpTest, AnEmptyColourSectionGivesBlackInEveryState) {
  test::TestApplication();
  ProgramState state;
  const StateColours colours = ReadStateColours(state, QApplication::palette());
  for (const QColor& c : {colours.normal, colours.inProgress, colours.done, colours.error}) {
    EXPECT_EQ(c, QColor(Qt::black));
  }
}

TEST(MonitorSetUpTest, AStationWithoutCentresSaysSoAndBuildsNoWindow) {
  test::TestApplication();
  Database db;
  ASSERT_TRUE(test::OpenEmptyTestDatabase("sqlite", db));
  ProgramState state;
  RecordingSink sink;
  EXPECT_EQ(SetUpMainWindow(db, state, "OP01", sink), nullptr);
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], kNoCentres);
}

}  // namespace
}  // namespace edi::ui
