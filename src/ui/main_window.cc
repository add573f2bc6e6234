#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "jobs/rerun.h"
#include "ui/history_window.h"
#include "ui/windows_colour.h"

namespace edi::ui {
namespace {

constexpr char kCaption[] = "組立メーカEDI手動受信";

// Draws a selected row so that the colour of its state stays readable: the
// view tints the row lightly (the grid's highlight is a light tint, see
// BuildGrid), the text keeps the state's colour, and a frame in the
// style's own highlight marks the row.
class StateKeepingDelegate : public QStyledItemDelegate {
 public:
  StateKeepingDelegate(QColor frame, QObject* parent) : QStyledItemDelegate(parent), frame_(frame) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem plain = option;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QStyledItemDelegate::paint(painter, plain, index);
    if (selected) {
      painter->save();
      painter->setPen(QPen(frame_, 2));
      painter->drawLine(option.rect.topLeft() + QPoint(0, 1), option.rect.topRight() + QPoint(0, 1));
      painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
      painter->restore();
    }
  }

 private:
  QColor frame_;
};

// The style's highlight mixed with the base colour: light enough that any
// state colour reads on it.
QColor LightTint(const QPalette& palette) {
  const QColor highlight = palette.color(QPalette::Highlight);
  const QColor base = palette.color(QPalette::Base);
  return QColor((highlight.red() + 4 * base.red()) / 5, (highlight.green() + 4 * base.green()) / 5,
                (highlight.blue() + 4 * base.blue()) / 5);
}
constexpr int kColumnTwips[CentreModel::kColumns] = {550, 1680, 5000, 1160, 1440, 1440, 1440};
constexpr int kRowTwips = 380;
constexpr int kLeft = 12;
constexpr int kGridTop = 124;

int ColumnX(int column) {
  int x = kLeft + 1;
  for (int c = 0; c < column; ++c) x += Twips(kColumnTwips[c]);
  return x;
}

QFont GridFont() {
  QFont font(QString::fromUtf8("ＭＳ ゴシック"));
  font.setPointSize(11);
  return font;
}

}  // namespace

ProcessingWindow::ProcessingWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("SUB_FRM");
  setWindowTitle(QString::fromUtf8(kCaption));
  setModal(false);
  auto* label = new QLabel(QString::fromUtf8("処理中"), this);
  label->setObjectName("Label1");
  label->setAlignment(Qt::AlignCenter);
  label->setFont(GridFont());
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  resize(240, 90);
}

MainWindow::MainWindow(std::vector<CentreRow> rows, std::vector<QString> methodNames, const StateColours& colours,
                       QWidget* parent)
    : QWidget(parent), model_(std::make_unique<CentreModel>(std::move(rows), std::move(methodNames), colours)) {
  setObjectName("W4702301");
  setWindowTitle(QString::fromUtf8(kCaption));
  askQuit = [this] { return QuitQuestion()->exec() == QMessageBox::Yes; };
  askRegistrationChecked = [this] {
    return QMessageBox::question(this, QString::fromUtf8(kCaption),
                                 QString::fromUtf8("この通番はトランスレータの実行中に中断したため、登録されたかどうか"
                                                   "わかりません。業務アプリケーションで登録されていないことを確認"
                                                   "しましたか"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
  };
  showRefusal = [this](const QString& text) {
    QMessageBox::warning(this, QString::fromUtf8(kCaption), text, QMessageBox::Ok);
  };
  BuildLabels();
  BuildGrid();
  run_ = new QPushButton(QString::fromUtf8("処理実行(&S)"), this);
  run_->setObjectName("CMD");
  connect(run_, &QPushButton::clicked, this, [this] { RunMarkedCentres(); });
  processing_ = new ProcessingWindow(this);
  historyMenu_ = new QMenu(this);
  historyMenu_->setObjectName("HISTORY_MENU");
  connect(historyMenu_->addAction(QString::fromUtf8("処理履歴")), &QAction::triggered, this,
          [this] { OpenHistory(historyRow_); });
  rerun_ = historyMenu_->addAction(QString::fromUtf8("再実行"));
  connect(rerun_, &QAction::triggered, this, [this] { RerunRow(historyRow_); });
  // The size the window is designed at is its least: the column titles are
  // placed over their columns and the date label stays in view.
  const QSize designed(ColumnX(CentreModel::kColumns) + kLeft + 20, kGridTop + 15 * Twips(kRowTwips) + 64);
  setMinimumSize(designed);
  resize(designed);
  grid_->setFocus();
}

std::unique_ptr<QMessageBox> MainWindow::QuitQuestion() {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, QString::fromUtf8(kCaption),
                                           QString::fromUtf8("終了してもよろしいですか"),
                                           QMessageBox::Yes | QMessageBox::No, this);
  box->setDefaultButton(QMessageBox::No);
  return box;
}

MainWindow::~MainWindow() {
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

QLabel* MainWindow::Label(const char* name, const char* text, int x, int y, int width, int height) {
  auto* label = new QLabel(QString::fromUtf8(text), this);
  label->setObjectName(name);
  label->setGeometry(x, y, width, height);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

void MainWindow::BuildLabels() {
  Label("lbl_PGID", "W4702301", kLeft, 8, 110, 24);
  date_ = Label("lbl_DATE", "", ColumnX(6) - 20, 8, 116, 24);
  Label("lbl_Koumoku", "ｵﾍﾟﾚｰﾀｺｰﾄﾞ", kLeft, 40, 110, 24);
  operatorCode_ = Label("lbl_OPCD", "", kLeft + 114, 40, 150, 24);
  operatorName_ = Label("lbl_OPNM", "", kLeft + 268, 40, 260, 24);
  // Column titles above the grid: one line of two for the stage columns.
  const int top = 76, line = 23;
  Label("tit_chk", " ｽｹｼﾞｭｰﾙ", ColumnX(0), top, Twips(kColumnTwips[0]), 2 * line)->setWordWrap(true);
  Label("tit_cnt", " ｾﾝﾀｰｺｰﾄﾞ", ColumnX(1), top, Twips(kColumnTwips[1]), 2 * line);
  Label("tit_cntnm", " ｾﾝﾀｰ名", ColumnX(2), top, Twips(kColumnTwips[2]), 2 * line);
  Label("tit_jushinh", " 受信方式", ColumnX(3), top, Twips(kColumnTwips[3]), 2 * line);
  Label("tit_jotai", "状態", ColumnX(4), top, ColumnX(7) - ColumnX(4), line)->setAlignment(Qt::AlignCenter);
  Label("tit_jushin", "受 信", ColumnX(4), top + line, Twips(kColumnTwips[4]), line)->setAlignment(Qt::AlignCenter);
  Label("tit_henkan", "変 換", ColumnX(5), top + line, Twips(kColumnTwips[5]), line)->setAlignment(Qt::AlignCenter);
  Label("tit_data", "データ登録", ColumnX(6), top + line, Twips(kColumnTwips[6]), line)->setAlignment(Qt::AlignCenter);
}

void MainWindow::BuildGrid() {
  grid_ = new QTableView(this);
  grid_->setObjectName("GRID");
  grid_->setModel(model_.get());
  grid_->setFont(GridFont());
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(Twips(kRowTwips));
  for (int c = 0; c < CentreModel::kColumns; ++c) grid_->setColumnWidth(c, Twips(kColumnTwips[c]));
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setTabKeyNavigation(false);
  grid_->setWordWrap(false);
  QPalette palette = grid_->palette();
  grid_->setItemDelegate(new StateKeepingDelegate(palette.color(QPalette::Highlight), grid_));
  for (const auto group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Highlight, LightTint(palette));
  }
  grid_->setPalette(palette);
  grid_->installEventFilter(this);
  grid_->viewport()->installEventFilter(this);
  connect(grid_, &QTableView::clicked, this, &MainWindow::OnGridClicked);
  connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) {
            if (!lastInputShifted_ && current.isValid()) anchorRow_ = current.row();
          });
  if (model_->rowCount() > 0) SelectWholeRow(0);
  anchorRow_ = 0;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int buttonHeight = 32, buttonWidth = 132;
  grid_->setGeometry(kLeft, kGridTop, width() - 2 * kLeft, height() - kGridTop - buttonHeight - 20);
  run_->setGeometry(width() - kLeft - buttonWidth, height() - buttonHeight - 10, buttonWidth, buttonHeight);
}

void MainWindow::SetOperator(const QString& code, const QString& name) {
  operatorCode_->setText(code);
  operatorName_->setText(name);
}

void MainWindow::SetDate(const QString& date) { date_->setText(date); }

void MainWindow::FitColumnTitles() {
  for (QLabel* label : findChildren<QLabel*>()) {
    if (!label->objectName().startsWith("tit_")) continue;
    QFont font = label->font();
    const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
    auto fits = [&] {
      const QRect needed = QFontMetrics(font).boundingRect(label->contentsRect(), flags, label->text());
      return needed.width() <= label->width() && needed.height() <= label->height();
    };
    while (!fits() && font.pointSizeF() > 6) font.setPointSizeF(font.pointSizeF() - 0.5);
    label->setFont(font);
  }
}

int MainWindow::CurrentRow() const { return grid_->currentIndex().isValid() ? grid_->currentIndex().row() : -1; }

void MainWindow::SelectWholeRow(int row) {
  const QModelIndex index = model_->index(row, 0);
  grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// The first click on a row selects it; a further click on the centre-code
// cell of that row flips its mark, in state 0 and outside a run.
void MainWindow::OnGridClicked(const QModelIndex& index) {
  const int row = index.row();
  if (row == rememberedRow_ && !running_ && model_->rows()[static_cast<size_t>(row)].state == kRowNormal &&
      index.column() == 1) {
    model_->FlipMark(row);
  }
  grid_->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
  rememberedRow_ = row;
}

// The space bar flips every row from where the selection started to its
// other end, downwards only, whatever the state and the running flag.
void MainWindow::MarkSelectedRows() {
  const QModelIndexList selected = grid_->selectionModel()->selectedRows();
  int top = CurrentRow(), bottom = CurrentRow();
  for (const QModelIndex& index : selected) {
    top = std::min(top, index.row());
    bottom = std::max(bottom, index.row());
  }
  const int row = anchorRow_;
  const int rowSel = row == top ? bottom : row == bottom ? top : CurrentRow();
  for (int r = row; r <= rowSel && r >= 0; ++r) model_->FlipMark(r);
}

void MainWindow::AskToQuit() {
  if (running_) return;
  if (askQuit()) {
    quitting_ = true;
    close();
    QApplication::quit();
  }
}

void MainWindow::ShowHistoryMenu(int row, const QPoint& globalPos) {
  if (row < 0 || row >= model_->rowCount()) return;
  historyRow_ = row;
  const int16_t state = model_->rows()[static_cast<size_t>(row)].state;
  rerun_->setEnabled(!running_ && (state == kRowDone || state == kRowError));
  historyMenu_->popup(globalPos);
}

void MainWindow::OpenHistory(int row) {
  if (context_ == nullptr || row < 0 || row >= model_->rowCount()) return;
  const CentreRow& centre = model_->rows()[static_cast<size_t>(row)];
  auto* window = new HistoryWindow(context_->db, centre.centreCode, QString::fromStdString(centre.centreName),
                                   model_->Failure(row), this);
  window->rerun = [this, row, window](TransferNo transferNo) {
    if (RerunTransfer(row, transferNo)) window->close();
  };
  window->show();
}

bool MainWindow::RerunTransfer(int row, TransferNo transferNo) {
  if (running_ || context_ == nullptr || row < 0 || row >= model_->rowCount()) return false;
  RerunSource source;
  const std::string archives = ArchiveFolder(context_->state.paths, ReadRunSettings(context_->state).job);
  Outcome prepared = PrepareRerun(context_->db, context_->state.paths, archives, transferNo, false, source);
  if (!prepared.ok() && prepared.reason.find("--registration-checked") != std::string::npos &&
      askRegistrationChecked()) {
    prepared = PrepareRerun(context_->db, context_->state.paths, archives, transferNo, true, source);
  }
  if (!prepared.ok()) {
    showRefusal(QString::fromUtf8("再処理できません: ") + QString::fromStdString(prepared.reason));
    return false;
  }
  model_->Reset(row);
  Run([row, &source](RunLoop& loop) { loop.Rerun(row, source); });
  return true;
}

void MainWindow::RerunRow(int row) {
  if (running_ || context_ == nullptr || row < 0 || row >= model_->rowCount()) return;
  const int16_t state = model_->rows()[static_cast<size_t>(row)].state;
  if (state != kRowDone && state != kRowError) return;
  model_->Reset(row);
  Run([row](RunLoop& loop) { loop.RunCentre(row); });
}

void MainWindow::Run(const std::function<void(RunLoop&)>& run) {
  RunLoop loop(*this, *context_);
  run(loop);
  if (afterRun) afterRun(loop.summary());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The right button only opens the row's menu: it neither selects nor marks.
  if (watched == grid_->viewport()) {
    const auto type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
         type == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
      return true;
    }
    if (type == QEvent::ContextMenu) {
      auto* menu = static_cast<QContextMenuEvent*>(event);
      if (menu->reason() == QContextMenuEvent::Mouse) {
        ShowHistoryMenu(grid_->rowAt(menu->pos().y()), menu->globalPos());
      } else {
        const QRect cell = grid_->visualRect(model_->index(CurrentRow(), 1));
        ShowHistoryMenu(CurrentRow(), grid_->viewport()->mapToGlobal(cell.center()));
      }
      return true;
    }
  }
  if (event->type() == QEvent::MouseButtonPress) {
    lastInputShifted_ = (static_cast<QMouseEvent*>(event)->modifiers() & Qt::ShiftModifier) != 0;
  }
  if (watched == grid_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    lastInputShifted_ = (key->modifiers() & Qt::ShiftModifier) != 0;
    switch (key->key()) {
      case Qt::Key_Space:
        MarkSelectedRows();
        return true;
      case Qt::Key_Escape:
        AskToQuit();
        return true;
      case Qt::Key_Menu:
      case Qt::Key_F10: {
        if (key->key() == Qt::Key_F10 && !(key->modifiers() & Qt::ShiftModifier)) break;
        const QRect cell = grid_->visualRect(model_->index(CurrentRow(), 1));
        ShowHistoryMenu(CurrentRow(), grid_->viewport()->mapToGlobal(cell.center()));
        return true;
      }
      case Qt::Key_Up:
      case Qt::Key_Down:
        rememberedRow_ = CurrentRow();
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    AskToQuit();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (quitting_) {
    event->accept();
    return;
  }
  if (running_ || !askQuit()) {
    event->ignore();
    return;
  }
  quitting_ = true;
  event->accept();
  QApplication::quit();
}

void MainWindow::RunMarkedCentres() {
  if (running_ || context_ == nullptr) return;
  Run([](RunLoop& loop) { loop.RunMarkedCentres(); });
}

void MainWindow::SetRunning(bool running) {
  running_ = running;
  run_->setEnabled(!running);
}

// The row being processed becomes the grid's current row, and the
// selection collapses to it, as on the grid the window was made for.
void MainWindow::BeginRow(int row) {
  model_->SetFailure(row, QString());  // what the row's earlier run told
  grid_->selectionModel()->setCurrentIndex(model_->index(row, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void MainWindow::SetStatus(int row, Stage stage, const std::string& text) {
  model_->SetStatus(row, stage, text);
  QCoreApplication::processEvents();  // the operator sees the stage before it runs
}

void MainWindow::SetRowState(int row, int16_t state) {
  model_->SetState(row, state);
  BeginRow(row);
  QCoreApplication::processEvents();
}

void MainWindow::Report(int row, const StageReport& report) {
  if (row < 0) return;
  using Kind = StageReport::Kind;
  QString text;
  switch (report.kind) {
    case Kind::kFailure:
    case Kind::kRecovered:
      text = QString::fromStdString(DescribeFailure(report, Language::kJapanese));
      break;
    case Kind::kSkipped:
      text = QString::fromStdString(report.outcome.reason);
      break;
    case Kind::kWarning:
      text = QString::fromUtf8("警告: ") + QString::fromStdString(report.outcome.reason);
      break;
    case Kind::kRetry:
      text = QString::fromUtf8("再試行: ") + QString::fromStdString(report.outcome.reason);
      break;
  }
  // The row's tooltip collects what its run told, newest last.
  const QString& before = model_->Failure(row);
  model_->SetFailure(row, before.isEmpty() ? text : before + "\n" + text);
}

void MainWindow::ShowProcessing() {
  processing_->show();
  processing_->raise();
  if (!waitCursor_) QApplication::setOverrideCursor(Qt::WaitCursor);
  waitCursor_ = true;
  QCoreApplication::processEvents();
}

void MainWindow::HideProcessing() {
  processing_->hide();
  if (waitCursor_) QApplication::restoreOverrideCursor();
  waitCursor_ = false;
}

}  // namespace edi::ui
