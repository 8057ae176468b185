#include "shell/ui/gui_user_port.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QLabel>

#include "formats/batch_conversion.h"
#include "shell/status_text.h"
#include "core/string_table.h"
#include "editing/ui/qt_text.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

// While an operation lets the event loop run, the keyboard and the mouse only serve to notice Esc:
// every other key and click is dropped, so that nothing starts in the middle of the operation.
class EscFilter : public QObject {
 public:
  explicit EscFilter(bool& pressed) : pressed_(pressed) {}
  bool eventFilter(QObject* object, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) pressed_ = true;
        return true;
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
        return true;
      default:
        return QObject::eventFilter(object, event);
    }
  }

 private:
  bool& pressed_;
};

}  // namespace

GuiUserPort::GuiUserPort(QWidget* owner, QLabel* statusText, QProgressBar* progressBar)
    : owner_(owner), statusText_(statusText), progressBar_(progressBar) {}

DuplicateAnswer GuiUserPort::askDuplicateName(std::u16string_view name) {
  QMessageBox box(QMessageBox::Question, u"Same POI Names"_s,
                  u"The name of POI already exists"_s + u"\n\n"_s + ToQString(name) + u"\n\n"_s +
                      u"How to process the same POI data?"_s,
                  QMessageBox::NoButton, owner_);
  QPushButton* retainAll = box.addButton(u"Retai&n All"_s, QMessageBox::RejectRole);
  QPushButton* eliminate = box.addButton(u"&Eliminate"_s, QMessageBox::AcceptRole);
  QPushButton* eliminateAll = box.addButton(u"Eliminate &All"_s, QMessageBox::AcceptRole);
  QPushButton* retain = box.addButton(u"&Retain"_s, QMessageBox::AcceptRole);
  box.setDefaultButton(retainAll);
  box.setEscapeButton(retainAll);
  box.exec();
  if (box.clickedButton() == eliminate) return DuplicateAnswer::Eliminate;
  if (box.clickedButton() == eliminateAll) return DuplicateAnswer::EliminateAll;
  if (box.clickedButton() == retain) return DuplicateAnswer::Retain;
  return DuplicateAnswer::RetainAll;
}

OverwriteAnswer GuiUserPort::askOverwrite(std::u16string_view path) {
  const auto answer = QMessageBox::question(
      owner_, u"Same File Names"_s, ToQString(SameFileNameQuestion(path)),
      QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll | QMessageBox::Cancel);
  switch (answer) {
    case QMessageBox::Yes:
      return OverwriteAnswer::Yes;
    case QMessageBox::YesToAll:
      return OverwriteAnswer::YesToAll;
    case QMessageBox::No:
      return OverwriteAnswer::No;
    case QMessageBox::NoToAll:
      return OverwriteAnswer::NoToAll;
    default:
      return OverwriteAnswer::Cancel;
  }
}

bool GuiUserPort::confirm(MessageId, std::u16string_view text) {
  return QMessageBox::question(owner_, UiText(kProgramTitle), ToQString(text),
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
}

void GuiUserPort::showMessage(MessageId, Severity severity, std::u16string_view text) {
  QMessageBox box(severity == Severity::Information ? QMessageBox::Information : QMessageBox::Warning,
                  UiText(kProgramTitle), ToQString(text), QMessageBox::Ok, owner_);
  box.exec();
}

void GuiUserPort::progress(std::u16string_view text, int percent) {
  statusText_->setText(ToQString(StatusText(text)));
  progressBar_->setValue(percent);
  progressBar_->show();
  pump();
}

void GuiUserPort::status(std::u16string_view text) {
  statusText_->setText(ToQString(StatusText(text)));
  pump();
}

void GuiUserPort::pump() {
  EscFilter filter(escPressed_);
  qApp->installEventFilter(&filter);
  QCoreApplication::processEvents();
  qApp->removeEventFilter(&filter);
}

bool GuiUserPort::cancelRequested() {
  const bool pressed = escPressed_;
  escPressed_ = false;
  return pressed;
}

void GuiUserPort::busy(std::u16string_view text) {
  progressBar_->setRange(0, 0);
  progress(text, 0);
}

void GuiUserPort::waitUntil(const std::function<bool()>& done) {
  while (!done()) {
    pump();
    QThread::msleep(5);
  }
}

void GuiUserPort::finishProgress() {
  progressBar_->hide();
  progressBar_->setRange(0, 100);
  escPressed_ = false;
}

}  // namespace qf
