// The operator window W4702301 "組立メーカEDI手動受信": the centre grid with
// its marks and stage statuses, the run button, and the processing window
// SUB_FRM shown while a centre runs. It is the run loop's view.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QWidget>

#include <functional>
#include <memory>

#include "jobs/run_loop.h"
#include "ui/centre_model.h"

namespace edi::ui {

// The processing window: "処理中" with the main window's caption.
class ProcessingWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ProcessingWindow(QWidget* parent);
};

class MainWindow : public QWidget, public RunView {
  Q_OBJECT
 public:
  MainWindow(std::vector<CentreRow> rows, std::vector<QString> methodNames, const StateColours& colours,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // What the run button's run works with; without it the button does nothing.
  void SetJobContext(const JobContext* context) { context_ = context; }
  void SetOperator(const QString& code, const QString& name);
  void SetDate(const QString& date);
  // Shrinks the font of a column title that does not fit its place above
  // the grid (the styling's font may be larger than the column is wide).
  void FitColumnTitles();

  // Asks "終了してもよろしいですか" (Yes/No, exclamation icon); true for Yes.
  // Tests replace it.
  std::function<bool()> askQuit;
  // The box askQuit shows.
  std::unique_ptr<QMessageBox> QuitQuestion();

  bool running() const { return running_; }
  CentreModel& model() { return *model_; }
  QTableView& grid() { return *grid_; }
  QPushButton& runButton() { return *run_; }
  ProcessingWindow& processingWindow() { return *processing_; }

  // The context menu of a row ("処理履歴", and "再実行" for a row that ended
  // done or in error), and what they do.
  QMenu& historyMenu() { return *historyMenu_; }
  QAction& rerunAction() { return *rerun_; }
  void OpenHistory(int row);
  // Returns a done or failed row to the normal state and runs its centre
  // alone, as a new run would.
  void RerunRow(int row);
  // Re-runs transfer `transferNo` of row `row`'s centre from its backup; a
  // transfer whose registration's outcome is unknown needs the operator's
  // word that the business application was checked (askRegistrationChecked).
  // A refusal is told in a message box (showRefusal). False when refused.
  bool RerunTransfer(int row, TransferNo transferNo);
  std::function<bool()> askRegistrationChecked;
  std::function<void(const QString&)> showRefusal;

  // Called after every run the window makes (the alert mail, the metrics).
  std::function<void(const RunSummary&)> afterRun;

  // The run button's action: the run over the marked centres.
  void RunMarkedCentres();

  // RunView
  const std::vector<CentreRow>& Rows() const override { return model_->rows(); }
  void SetRunning(bool running) override;
  void BeginRow(int row) override;
  void SetStatus(int row, Stage stage, const std::string& text) override;
  void SetRowState(int row, int16_t state) override;
  void Report(int row, const StageReport& report) override;
  void ShowProcessing() override;
  void HideProcessing() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildLabels();
  void BuildGrid();
  void OnGridClicked(const QModelIndex& index);
  void MarkSelectedRows();
  void AskToQuit();
  void ShowHistoryMenu(int row, const QPoint& globalPos);
  // Runs `run` with a run loop over the window, then afterRun.
  void Run(const std::function<void(RunLoop&)>& run);
  void SelectWholeRow(int row);
  int CurrentRow() const;

  QLabel* Label(const char* name, const char* text, int x, int y, int width, int height);

  std::unique_ptr<CentreModel> model_;
  QTableView* grid_ = nullptr;
  QPushButton* run_ = nullptr;
  QLabel* operatorCode_ = nullptr;
  QLabel* operatorName_ = nullptr;
  QLabel* date_ = nullptr;
  ProcessingWindow* processing_ = nullptr;
  QMenu* historyMenu_ = nullptr;
  QAction* rerun_ = nullptr;
  int historyRow_ = -1;
  const JobContext* context_ = nullptr;
  bool running_ = false;
  bool quitting_ = false;
  bool waitCursor_ = false;
  int rememberedRow_ = 0;    // the current row as of the last click or up/down key (row 0 at start)
  int anchorRow_ = 0;        // where the selection started (the flex grid's Row)
  bool lastInputShifted_ = false;
};

}  // namespace edi::ui
