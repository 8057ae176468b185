#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace qf::test {

// Answers the next modal dialog when it appears: a message box is clicked at `button` and its
// text is kept for the test to read. Call before the action that opens the dialog. A dialog not
// answered when the answerer goes is left alone, never answered by a later test.
class DialogAnswerer {
 public:
  void answerNext(QMessageBox::StandardButton button);
  // The next dialog, whatever it is, goes to `answer`.
  void handleNext(std::function<void(QWidget*)> answer);
  const QString& lastText() const { return lastText_; }
  int answered() const { return answered_; }

 private:
  QTimer poll_;
  QString lastText_;
  int answered_ = 0;
};

std::filesystem::path CorpusFile(const char* relative);

}  // namespace qf::test
