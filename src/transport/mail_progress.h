// What a mail job shows the operator: the progress window W4704301 with one
// line per completed step, and the error box "Error <number>: <text>" (OK
// only, no title). The window implements it with Qt; headless programs write
// the lines to standard error and never wait for an operator.
#pragma once

#include <string_view>

namespace edi {

class MailProgress {
 public:
  virtual ~MailProgress() = default;
  // Clears the list and shows the window (not modal).
  virtual void Open() = 0;
  // Adds one line for a completed step.
  virtual void AddStep(std::string_view text) = 0;
  // Shows the error box and returns once it is dismissed.
  virtual void ShowError(std::string_view text) = 0;
  // Unloads the window.
  virtual void Close() = 0;
};

// The step lines and error boxes on standard error, "mail: <text>".
class StderrMailProgress : public MailProgress {
 public:
  void Open() override {}
  void AddStep(std::string_view text) override;
  void ShowError(std::string_view text) override;
  void Close() override {}
};

}  // namespace edi
