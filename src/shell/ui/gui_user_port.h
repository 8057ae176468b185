#pragma once

#include <functional>

#include "core/user_port.h"

class QProgressBar;
class QLabel;
class QWidget;

namespace qf {

// The engine's questions and messages as message boxes over the main window; progress in the
// status bar, and Esc stopping a long operation.
class GuiUserPort : public UserPort {
 public:
  GuiUserPort(QWidget* owner, QLabel* statusText, QProgressBar* progressBar);

  DuplicateAnswer askDuplicateName(std::u16string_view name) override;
  OverwriteAnswer askOverwrite(std::u16string_view path) override;
  bool confirm(MessageId id, std::u16string_view text) override;
  void showMessage(MessageId id, Severity severity, std::u16string_view text) override;
  void progress(std::u16string_view text, int percent) override;
  bool cancelRequested() override;

  // An operation without a known end: its text beside a running bar; paints and notices Esc as
  // progress() does.
  void busy(std::u16string_view text);
  // The status line of a long folder operation, which runs until Esc.
  void status(std::u16string_view text);
  // Ends the progress display of a finished operation.
  void finishProgress();
  // Waits until `done` while the window paints and Esc is noticed, as during progress().
  void waitUntil(const std::function<bool()>& done);

 private:
  // Paints and serves timers while an operation runs, and notices Esc.
  void pump();

  QWidget* owner_;
  QLabel* statusText_;
  QProgressBar* progressBar_;
  bool escPressed_ = false;
};

}  // namespace qf
