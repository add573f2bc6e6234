// The platform dialogs of the window: the file dialogs of the operator file
// exchange and the message boxes of start-up and set-up.
#pragma once

#include <QWidget>

#include "transport/file_exchange.h"
#include "startup/message_sink.h"

namespace edi::ui {

// Open and save dialogs with the filter "全てのﾌｧｲﾙ(*.*)"; the save dialog asks
// before it overwrites a file.
class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  bool ChooseOpenFile(const std::string& initialFolder, std::string& path, std::string& fileName) override;
  bool ChooseSaveFile(const std::string& initialFolder, std::string& path, std::string& fileName) override;

 private:
  QWidget* parent_;
};

// The system's texts in a message box with an OK button; the detail goes
// below the text.
class MessageBoxSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, std::string_view detail = {}) override;
};

}  // namespace edi::ui
