#pragma once

#include <string>

#include "core/user_port.h"

namespace qf {

// The command line's user: questions are answered from flags, messages go to stderr,
// progress is drawn on stderr only when it is a terminal.
class CliUserPort : public UserPort {
 public:
  DuplicateAnswer duplicates = DuplicateAnswer::RetainAll;
  bool overwriteReadOnly = false;

  DuplicateAnswer askDuplicateName(std::u16string_view name) override;
  bool confirm(int messageId, std::u16string_view text) override;
  void showMessage(int messageId, std::u16string_view text) override;
  void progress(std::u16string_view text, int percent) override;
  bool cancelRequested() override { return false; }

  // Ends a progress line that is still on the terminal.
  void finishProgress();

 private:
  bool progressShown_ = false;
};

// One message as the command line prints it: lines joined, prefixed by the program name.
std::string CliMessage(std::u16string_view text);

}  // namespace qf
