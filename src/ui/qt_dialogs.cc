#include "ui/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace edi::ui {
namespace {

constexpr char kFilter[] = "全てのﾌｧｲﾙ(*.*)";

bool Answer(const QString& chosen, std::string& path, std::string& fileName) {
  if (chosen.isEmpty()) {
    path.clear();
    fileName.clear();
    return false;
  }
  path = chosen.trimmed().toStdString();
  fileName = QFileInfo(chosen).fileName().toStdString();
  return true;
}

QString Start(const std::string& folder, const std::string& fileName) {
  if (folder.empty()) return QString::fromStdString(fileName);
  return QString::fromStdString(folder + "/" + fileName);
}

}  // namespace

bool QtFileDialogs::ChooseOpenFile(const std::string& folder, std::string& path, std::string& fileName) {
  const QString chosen = QFileDialog::getOpenFileName(parent_, QString(), Start(folder, fileName),
                                                      QString::fromUtf8(kFilter), nullptr, QFileDialog::ReadOnly);
  return Answer(chosen, path, fileName);
}

bool QtFileDialogs::ChooseSaveFile(const std::string& folder, std::string& path, std::string& fileName) {
  // QFileDialog asks before it overwrites an existing file.
  const QString chosen = QFileDialog::getSaveFileName(parent_, QString(), Start(folder, fileName), QString::fromUtf8(kFilter));
  return Answer(chosen, path, fileName);
}

void MessageBoxSink::ShowMessage(std::string_view text, std::string_view detail) {
  QMessageBox box(QMessageBox::NoIcon, QString(), QString::fromUtf8(text.data(), static_cast<int>(text.size())),
                  QMessageBox::Ok);
  if (!detail.empty()) box.setInformativeText(QString::fromUtf8(detail.data(), static_cast<int>(detail.size())));
  box.exec();
}

}  // namespace edi::ui
