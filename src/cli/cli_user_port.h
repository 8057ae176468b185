#pragma once

#include <optional>
#include <string>

#include "core/user_port.h"

namespace qf {

// The command line's user: questions are answered from flags or standard input, messages go to
// stderr, progress and status lines are drawn on stderr only when it is a terminal.
class CliUserPort : public UserPort {
 public:
  DuplicateAnswer duplicates = DuplicateAnswer::RetainAll;
  bool overwriteReadOnly = false;
  std::optional<OverwriteAnswer> overwrite;  // unset: each overwrite question is read from stdin

  DuplicateAnswer askDuplicateName(std::u16string_view name) override;
  OverwriteAnswer askOverwrite(std::u16string_view path) override;
  bool confirm(MessageId id, std::u16string_view text) override;
  void showMessage(MessageId id, Severity severity, std::u16string_view text) override;
  void progress(std::u16string_view text, int percent) override;
  // True once Ctrl+C was pressed after stopOnInterrupt.
  bool cancelRequested() override;

  // The status line of a long operation, replacing the one before.
  void status(std::u16string_view text);
  // Ends a progress line that is still on the terminal and wipes a status line.
  void finishProgress();
  // Lets the first Ctrl+C request a stop instead of ending the process; a second one ends it.
  static void stopOnInterrupt();
  // Lets Ctrl+C, SIGTERM and SIGHUP end the process without leaving temporary files behind.
  static void endCleanlyOnSignals();

 private:
  bool progressShown_ = false;
  bool statusShown_ = false;
};

// One message as the command line prints it: lines joined, prefixed by the program name.
std::string CliMessage(std::u16string_view text);

}  // namespace qf
