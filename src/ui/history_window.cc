#include "ui/history_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "report/history_format.h"
#include "report/history_meaning.h"
#include "report/history_reader.h"

namespace edi::ui {

HistoryWindow::HistoryWindow(Database& db, const std::string& centreCode, const QString& centreName,
                             const QString& lastFailure, QWidget* parent)
    : QDialog(parent) {
  setObjectName("W_HISTORY");
  setWindowTitle(QString::fromUtf8("処理履歴 ") + QString::fromStdString(centreCode) + " " + centreName);
  setAttribute(Qt::WA_DeleteOnClose);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("HISTORY_TEXT");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font(QString::fromUtf8("ＭＳ ゴシック"));
  font.setStyleHint(QFont::Monospace);
  font.setPointSize(10);
  text_->setFont(font);
  report::HistoryFilter filter;
  filter.centreCode = centreCode;
  std::vector<report::TransferStory> stories;
  std::string error;
  const QString history = report::ReadHistory(db, filter, stories, error)
                              ? QString::fromStdString(report::FormatHistoryText(stories, Language::kJapanese))
                              : QString::fromStdString(error);
  text_->setPlainText(lastFailure.isEmpty() ? history : lastFailure + "\n\n" + history);
  failed_ = new QComboBox(this);
  failed_->setObjectName("HISTORY_FAILED");
  for (const auto& story : stories) {
    if (story.ending == report::Ending::kDone) continue;
    failed_->addItem(QString::fromUtf8("通番 ") + QString::number(story.transferNo) + "  " +
                         QString::fromStdString(story.transfer.Text("処理開始日付") + "  " +
                                                report::DescribeEnding(story, Language::kJapanese)),
                     QVariant::fromValue<qlonglong>(story.transferNo));
  }
  rerunButton_ = new QPushButton(QString::fromUtf8("再処理"), this);
  rerunButton_->setObjectName("HISTORY_RERUN");
  rerunButton_->setEnabled(failed_->count() > 0);
  failed_->setEnabled(failed_->count() > 0);
  connect(rerunButton_, &QPushButton::clicked, this, [this] {
    if (rerun && failed_->count() > 0) rerun(failed_->currentData().toLongLong());
  });
  auto* bar = new QHBoxLayout;
  bar->addWidget(failed_, 1);
  bar->addWidget(rerunButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(bar);
  resize(980, 520);
}

}  // namespace edi::ui
