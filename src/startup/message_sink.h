// Where the station's messages to the operator go: a message box in the
// window, standard error in the headless programs.
#pragma once

#include <string_view>

namespace edi {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows `text` (UTF-8) with an OK button and returns once it is dismissed.
  virtual void ShowMessage(std::string_view text) = 0;
};

// Writes each message as one line on standard error.
class StderrMessageSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text) override;
};

}  // namespace edi
