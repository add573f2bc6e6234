// Where the station's messages to the operator go: a message box in the
// window, standard error in the headless programs.
#pragma once

#include <string_view>

namespace edi {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows the system's own `text` (UTF-8) with an OK button and returns once
  // it is dismissed. `detail` says what failed and where (a path and key, a
  // data source and the driver's reason): a window may show it below the
  // text, a headless program prints it after the text.
  virtual void ShowMessage(std::string_view text, std::string_view detail = {}) = 0;
};

// Writes each message as one line on standard error: "text: detail".
class StderrMessageSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text, std::string_view detail = {}) override;
};

}  // namespace edi
