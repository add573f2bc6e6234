// The read-only history window of one centre: its transfers, newest first,
// each with its steps, codes and their meanings in Japanese, as
// edi-station history tells them; first the reason of the row's last
// failure, when there is one. A failed transfer can be re-run from here.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>

#include "base/transfer_names.h"
#include "db/database.h"

namespace edi::ui {

class HistoryWindow : public QDialog {
  Q_OBJECT
 public:
  HistoryWindow(Database& db, const std::string& centreCode, const QString& centreName, const QString& lastFailure,
                QWidget* parent);

  QPlainTextEdit& text() { return *text_; }

  // "再処理" re-runs the transfer chosen among the centre's failed ones
  // through `rerun` (the main window's); without failed transfers both are
  // disabled.
  std::function<void(TransferNo)> rerun;
  QComboBox& failedTransfers() { return *failed_; }
  QPushButton& rerunButton() { return *rerunButton_; }

 private:
  QPlainTextEdit* text_ = nullptr;
  QComboBox* failed_ = nullptr;
  QPushButton* rerunButton_ = nullptr;
};

}  // namespace edi::ui
