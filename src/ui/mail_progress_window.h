// The mail progress window W4704301 "メール送受信": the list Lst_Hyoji of the
// mail job's completed steps under the label "メール送受信中・・・", and the
// mail error box (OK only, no title).
#pragma once

#include <QDialog>
#include <QListWidget>

#include <functional>

#include "transport/mail_progress.h"

namespace edi::ui {

class MailProgressWindow : public QDialog, public MailProgress {
  Q_OBJECT
 public:
  explicit MailProgressWindow(QWidget* parent = nullptr);

  void Open() override;
  void AddStep(std::string_view text) override;
  void ShowError(std::string_view text) override;
  void Close() override;

  QListWidget& list() { return *list_; }

  // Shows the error box; tests replace it.
  std::function<void(const QString&)> showErrorBox;

 private:
  QListWidget* list_ = nullptr;
};

}  // namespace edi::ui
