#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "core/message_id.h"

namespace qf {

// Answers of the "Same POI Names" question.
enum class DuplicateAnswer { RetainAll, Eliminate, EliminateAll, Retain };
// Answers of the "Same File Names" question.
enum class OverwriteAnswer { Yes, YesToAll, No, NoToAll, Cancel };
// What a message tells: a result such as a count, or a fault or a problem the user must know of.
enum class Severity { Information, Warning };

// How engine code talks to the user: implemented by the GUI, the CLI and the tests.
// Engine code never blocks on a window and never prints.
class UserPort {
 public:
  virtual ~UserPort() = default;
  virtual DuplicateAnswer askDuplicateName(std::u16string_view name) = 0;
  // Whether to replace the existing file at path with a new one.
  virtual OverwriteAnswer askOverwrite(std::u16string_view path) = 0;
  // An OK/Cancel question; the text is the formatted message `id`.
  virtual bool confirm(MessageId id, std::u16string_view text) = 0;
  // A message box with the formatted message `id`.
  virtual void showMessage(MessageId id, Severity severity, std::u16string_view text) = 0;
  // The progress status line; text is already formatted with the percentage.
  virtual void progress(std::u16string_view text, int percent) = 0;
  virtual bool cancelRequested() = 0;
};

// Receives the status-line texts of a long folder operation as they come.
using StatusLine = std::function<void(std::u16string_view)>;

// A user who is never asked: every duplicate is kept, every question declined, no existing
// file replaced, nothing is shown (benchmarks, fuzzing, unattended work).
class SilentUserPort : public UserPort {
 public:
  DuplicateAnswer askDuplicateName(std::u16string_view) override { return DuplicateAnswer::RetainAll; }
  OverwriteAnswer askOverwrite(std::u16string_view) override { return OverwriteAnswer::No; }
  bool confirm(MessageId, std::u16string_view) override { return false; }
  void showMessage(MessageId, Severity, std::u16string_view) override {}
  void progress(std::u16string_view, int) override {}
  bool cancelRequested() override { return false; }
};

}  // namespace qf
