#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <initializer_list>

#include "core/poi_document.h"

namespace qf {
class MainWindow;
}

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

// Answers the modal dialogs of a command as they come, one step each, in order. Polled, because the
// dialogs appear inside nested event loops that the test cannot wait on.
class DialogScript : public QObject {
 public:
  using Step = std::function<void(QWidget*)>;
  explicit DialogScript(std::initializer_list<Step> steps);
  bool finished() const { return steps_.empty(); }

 private:
  std::deque<Step> steps_;
  QTimer poll_;
  QPointer<QWidget> handled_;
};

// A step that clicks a message box's button and keeps its text.
DialogScript::Step Click(QMessageBox::StandardButton button, QString* text = nullptr);

std::filesystem::path CorpusFile(const char* relative);

// A person's gestures on the real window.
// Shows the window and waits until it takes keys.
bool ShowActive(MainWindow& window);
// Answers the next file dialog with a file and the filter chosen in it, then runs the command.
void ChooseInDialog(MainWindow& window, const std::filesystem::path& path, FileFormat filter);
// File > Open of a file, with the filter "TomTom POI Files".
void OpenThroughMenu(MainWindow& window, const std::filesystem::path& path);
// A key pressed where the keyboard is (the table when nothing else has the focus).
void Press(MainWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Types text where the keyboard is.
void Type(MainWindow& window, const QString& text);
// Scrolls a cell into view and double-clicks it.
void DoubleClickCell(MainWindow& window, int row, int column);
// Scrolls a row into view and clicks it.
void ClickRow(MainWindow& window, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void ClickHeader(MainWindow& window, int column);
// A right click on a column header, then the item of its popup menu with this text (without '&').
void ChooseFromHeaderMenu(MainWindow& window, int column, const QString& item);
// Whether a row is on screen.
bool RowIsVisible(MainWindow& window, int row);

}  // namespace qf::test
