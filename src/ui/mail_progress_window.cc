#include "ui/mail_progress_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

namespace edi::ui {

MailProgressWindow::MailProgressWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("W4704301");
  setWindowTitle(QString::fromUtf8("メール送受信"));
  setModal(false);
  auto* label = new QLabel(QString::fromUtf8("メール送受信中・・・"), this);
  label->setObjectName("Label1");
  list_ = new QListWidget(this);
  list_->setObjectName("Lst_Hyoji");
  QFont font(QString::fromUtf8("ＭＳ ゴシック"));
  font.setPointSize(10);
  list_->setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(list_);
  resize(360, 260);
  showErrorBox = [this](const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, this);
    box.exec();
  };
}

void MailProgressWindow::Open() {
  list_->clear();
  show();
  raise();
  QCoreApplication::processEvents();
}

void MailProgressWindow::AddStep(std::string_view text) {
  list_->addItem(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
  list_->scrollToBottom();
  QCoreApplication::processEvents();
}

void MailProgressWindow::ShowError(std::string_view text) {
  showErrorBox(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
}

void MailProgressWindow::Close() { hide(); }

}  // namespace edi::ui
