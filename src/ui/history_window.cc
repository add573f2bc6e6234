#include "ui/history_window.h"

#include <QVBoxLayout>

#include "report/history_format.h"
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
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  resize(980, 520);
}

}  // namespace edi::ui
