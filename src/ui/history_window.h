// The read-only history window of one centre: its transfers, newest first,
// each with its steps, codes and their meanings in Japanese, as
// edi-station history tells them; first the reason of the row's last
// failure, when there is one.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>

#include "db/database.h"

namespace edi::ui {

class HistoryWindow : public QDialog {
  Q_OBJECT
 public:
  HistoryWindow(Database& db, const std::string& centreCode, const QString& centreName, const QString& lastFailure,
                QWidget* parent);

  QPlainTextEdit& text() { return *text_; }

 private:
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace edi::ui
