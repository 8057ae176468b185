#include "ui/ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

namespace qf::test {

void DialogAnswerer::handleNext(std::function<void(QWidget*)> answer) {
  // Polled, because the dialog appears inside a nested event loop that the test cannot wait on.
  QObject::disconnect(&poll_, nullptr, nullptr, nullptr);
  poll_.setInterval(10);
  QObject::connect(&poll_, &QTimer::timeout, [this, answer] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    poll_.stop();
    ++answered_;
    answer(dialog);
  });
  poll_.start();
}

void DialogAnswerer::answerNext(QMessageBox::StandardButton button) {
  handleNext([this, button](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (!box) {
      dialog->close();
      return;
    }
    lastText_ = box->text();
    if (QAbstractButton* target = box->button(button)) {
      target->click();
    } else {
      box->reject();
    }
  });
}

std::filesystem::path CorpusFile(const char* relative) { return std::filesystem::path(QUILLFERN_CORPUS) / relative; }

}  // namespace qf::test
