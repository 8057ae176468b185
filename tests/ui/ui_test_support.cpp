#include "ui/ui_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "editing/ui/poi_table_view.h"
#include "shell/command_table.h"
#include "shell/ui/main_window.h"

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

DialogScript::DialogScript(std::initializer_list<Step> steps) : steps_(steps) {
  poll_.setInterval(10);
  connect(&poll_, &QTimer::timeout, this, [this] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog == handled_ || steps_.empty()) return;
    handled_ = dialog;
    const Step step = steps_.front();
    steps_.pop_front();
    step(dialog);
  });
  poll_.start();
}

DialogScript::Step Click(QMessageBox::StandardButton button, QString* text) {
  return [button, text](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    QVERIFY2(box, qPrintable(dialog->windowTitle()));
    if (text) *text = box->text();
    box->button(button)->click();
  };
}

std::filesystem::path CorpusFile(const char* relative) { return std::filesystem::path(QUILLFERN_CORPUS) / relative; }

bool ShowActive(MainWindow& window) {
  window.resize(1000, 700);
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

void ChooseInDialog(MainWindow& window, const std::filesystem::path& path, FileFormat filter) {
  window.setFileChooser([&window, path, filter](FileOperation) {
    std::optional<MainWindow::ChosenFile> chosen({path, filter});
    window.setFileChooser({});  // one answer only; this ends the lambda, so nothing of it is used after
    return chosen;
  });
}

void OpenThroughMenu(MainWindow& window, const std::filesystem::path& path) {
  ChooseInDialog(window, path, FileFormat::Ov2);
  window.action(CommandId::Open)->trigger();
}

namespace {

// The window takes keys again after a dialog closed, as it does for a person at a desktop.
void Activate(MainWindow& window) {
  if (window.isActiveWindow()) return;
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) qWarning("the window did not become active");
}

}  // namespace

void Press(MainWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  Activate(window);
  QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window.view();
  QTest::keyClick(target, key, modifiers);
}

void Type(MainWindow& window, const QString& text) {
  Activate(window);
  QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window.view();
  for (const QChar character : text) {
    if (character.unicode() < 0x80) {
      QTest::keyClick(target, character.toLatin1());
      continue;
    }
    // A character that no key of the test's keyboard makes arrives as text, as from an input method.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(character));
    QApplication::sendEvent(target, &release);
  }
}

void DoubleClickCell(MainWindow& window, int row, int column) {
  PoiTableView& view = window.view();
  const QModelIndex index = view.model()->index(row, column);
  view.scrollTo(index);
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(index).center());
}

void ClickRow(MainWindow& window, int row, Qt::KeyboardModifiers modifiers) {
  PoiTableView& view = window.view();
  const QModelIndex index = view.model()->index(row, kName);
  view.scrollTo(index);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, view.visualRect(index).center());
}

void ClickHeader(MainWindow& window, int column) {
  QHeaderView* header = window.view().horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                           header->height() / 2));
}

void ChooseFromHeaderMenu(MainWindow& window, int column, const QString& item) {
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&poll, item] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    poll.stop();
    for (QAction* action : menu->actions()) {
      if (action->text().remove(u'&') == item) menu->setActiveAction(action);
    }
    QTest::keyClick(menu, Qt::Key_Return);
  });
  poll.start();
  QHeaderView* header = window.view().horizontalHeader();
  const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, header->viewport()->mapToGlobal(at));
  QApplication::sendEvent(header->viewport(), &event);
}

bool RowIsVisible(MainWindow& window, int row) {
  PoiTableView& view = window.view();
  return view.viewport()->rect().contains(view.visualRect(view.model()->index(row, kName)).center());
}

}  // namespace qf::test
