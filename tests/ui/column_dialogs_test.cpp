// The Find, Replace, Combine and Clear dialogs, driven through their controls over the real window.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "core/field_rules.h"
#include "core/user_port.h"
#include "editing/ui/find_dialog.h"
#include "editing/ui/qt_text.h"
#include "formats/file_pipeline.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

struct Row {
  Row(std::u16string name, std::u16string memo = {}) : name(std::move(name)), memo(std::move(memo)) {}
  std::u16string name;
  std::u16string memo;
};

std::vector<std::u16string> Names(const PoiDocument& document) {
  std::vector<std::u16string> names;
  for (const PoiRecord& record : document.rows) names.emplace_back(record.text(kName));
  return names;
}

std::vector<int> SelectedRows(const PoiDocument& document) {
  std::vector<int> rows;
  for (int row = 0; row < document.rowCount(); ++row) {
    if (document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
  }
  return rows;
}

// The control of a dialog with this text, its '&' left out.
template <class Control>
Control* Named(QWidget* dialog, const QString& text) {
  for (Control* control : dialog->findChildren<Control*>()) {
    if (control->text().remove(u'&') == text) return control;
  }
  return nullptr;
}

FindDialog* OpenFindDialog(MainWindow& window) {
  FindDialog* dialog = window.findChild<FindDialog*>();
  return dialog && dialog->isVisible() ? dialog : nullptr;
}

QLineEdit* Edit(QWidget* dialog, int index) { return dialog->findChildren<QLineEdit*>().value(index); }

// The window of a dialog takes keys, as after a click on it.
bool Activate(QWidget* window) {
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

// Types a text into an edit of a dialog in place of what it held.
void Retype(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

}  // namespace

class ColumnDialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  fs::path settingsPath() const { return fs::path(ToU16(folder_.filePath(u"quillfern.ini"_s))); }

  // An OV2 file of these rows, all at one place.
  fs::path fileOf(std::initializer_list<Row> rows) {
    PoiDocument document;
    for (const Row& row : rows) {
      const int index = AppendPoi(document, row.name, false);
      SetCoordinateText(document, index, kLng, u"4.9", false);
      SetCoordinateText(document, index, kLat, u"52.37", false);
      SetMemo(document, index, row.memo);
    }
    const fs::path file = fs::path(ToU16(folder_.path())) / "rows.ov2";
    SilentUserPort port;
    if (RunFileOperation(document, FileOperation::Save, FileFormat::Ov2, file, AppSettings{}, port) != 0) return {};
    return file;
  }

 private slots:
  void init() { fs::remove(settingsPath()); }

  // Find, then Find Next from the dialog and from the table, round the end of the table and back.
  void findNextCycle() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, fileOf({{u"Cafe Rosa"}, {u"Bakery"}, {u"CAFE Nord"}, {u"Park", u"near a cafe"}}));
    const PoiDocument& document = window.table().document();
    QVERIFY(!window.action(CommandId::FindNext)->isEnabled());

    test::Press(window, Qt::Key_F, Qt::ControlModifier);
    FindDialog* dialog = OpenFindDialog(window);
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), u"Find POIs"_s);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QPushButton* ok = Named<QPushButton>(dialog, u"OK"_s);
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(Edit(dialog, 0), u"cafe"_s);
    QVERIFY(ok->isEnabled());
    QTest::keyClick(Edit(dialog, 0), Qt::Key_Return);
    QCOMPARE(SelectedRows(document), std::vector<int>{0});
    QVERIFY(dialog->isVisible());  // it stays beside the table

    QTest::keyClick(dialog, Qt::Key_F3);
    QCOMPARE(SelectedRows(document), std::vector<int>{2});
    test::Press(window, Qt::Key_F3);  // over the table
    QCOMPARE(SelectedRows(document), std::vector<int>{3});  // the memo
    test::Press(window, Qt::Key_F3);
    QCOMPARE(SelectedRows(document), std::vector<int>{0});  // round the end

    Named<QCheckBox>(dialog, u"Match case"_s)->setChecked(true);
    ok->click();
    QCOMPARE(SelectedRows(document), std::vector<int>{3});
    Named<QCheckBox>(dialog, u"Only Name column"_s)->setChecked(true);
    ok->click();
    QVERIFY(SelectedRows(document).empty());  // nothing found, nothing selected

    Named<QCheckBox>(dialog, u"Match case"_s)->setChecked(false);
    Named<QCheckBox>(dialog, u"Select all match POIs"_s)->setChecked(true);
    ok->click();
    QCOMPARE(SelectedRows(document), (std::vector<int>{0, 2}));

    // The table changes under the open dialog: the next search sees it as it is now.
    test::ClickRow(window, 0);
    test::Press(window, Qt::Key_Delete);
    Named<QPushButton>(dialog, u"Find Next"_s)->click();
    QCOMPARE(document.text(SelectedRows(document).front(), kName), u"CAFE Nord");
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::No);  // not saved
    window.action(CommandId::New)->trigger();
    window.tick();
    QVERIFY(!window.action(CommandId::FindNext)->isEnabled());
    ok->click();
    QCOMPARE(document.rowCount(), 0);
  }

  // Replace All with its limits, one undo step; without "Replace all" one row at a time.
  void replaceAllIsOneUndoStep() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    // 60 letters a among 200: doubled they would not fit a cell.
    const std::u16string crowded = std::u16string(60, u'a') + std::u16string(140, u'x');
    test::OpenThroughMenu(window, fileOf({{u"Cafe Rosa", u"a memo"}, {crowded}, {u"Park"}, {u"a"}}));
    const PoiDocument& document = window.table().document();
    const std::vector<std::u16string> before = Names(document);

    test::Press(window, Qt::Key_H, Qt::ControlModifier);
    FindDialog* dialog = OpenFindDialog(window);
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), u"Replace POIs"_s);
    QTest::keyClicks(Edit(dialog, 0), u"a"_s);
    QTest::keyClicks(Edit(dialog, 1), u"bb"_s);
    Named<QCheckBox>(dialog, u"Only Name column"_s)->setChecked(true);
    Named<QCheckBox>(dialog, u"Replace all match data"_s)->setChecked(true);
    Named<QPushButton>(dialog, u"OK"_s)->click();
    QCOMPARE(Names(document),
             (std::vector<std::u16string>{u"Cbbfe Rosbb", crowded, u"Pbbrk", u"bb"}));
    QCOMPARE(document.text(0, kMemo), u"a memo");  // Name only
    QCOMPARE(SelectedRows(document), (std::vector<int>{0, 2, 3}));

    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(Names(document) == before);
    QVERIFY(!window.table().canUndo());

    // One by one: OK finds, Replace Next replaces there and finds the next.
    Named<QCheckBox>(dialog, u"Replace all match data"_s)->setChecked(false);
    Retype(Edit(dialog, 0), u"Park"_s);
    Retype(Edit(dialog, 1), u"Garden"_s);
    Named<QPushButton>(dialog, u"OK"_s)->click();
    QCOMPARE(SelectedRows(document), std::vector<int>{2});
    QCOMPARE(document.text(2, kName), u"Park");
    QVERIFY(Activate(dialog));
    QTest::keyClick(dialog, Qt::Key_F4);
    QCOMPARE(document.text(2, kName), u"Garden");
    QVERIFY(SelectedRows(document).empty());  // no further match
    // A name replaced by nothing is refused; the row keeps it.
    Retype(Edit(dialog, 0), u"Garden"_s);
    Retype(Edit(dialog, 1), QString());
    Named<QCheckBox>(dialog, u"Replace all match data"_s)->setChecked(true);
    Named<QPushButton>(dialog, u"OK"_s)->click();
    QCOMPARE(document.text(2, kName), u"Garden");
  }

  // Combine with serials over every row, then undone in one step; refused pairs and texts.
  void combineWithSerialsAndUndo() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, fileOf({{u"Cam"}, {u"Cam"}, {u"Cam"}, {u"Cam"}, {u"Cam"}, {u"Cam"}, {u"Cam"},
                                          {u"Cam"}, {u"Cam"}, {u"Cam"}, {u"Cam"}, {u"Cam"}}));
    PoiDocument& document = window.table().document();
    const std::vector<std::u16string> before = Names(document);

    const auto combine = [&window](const std::function<void(QWidget*)>& answer) {
      test::DialogAnswerer answerer;
      answerer.handleNext(answer);
      test::Press(window, Qt::Key_W, Qt::ControlModifier);
      QCOMPARE(answerer.answered(), 1);
    };

    // What OK refuses; Cancel leaves the table as it was.
    combine([](QWidget* dialog) {
      QCOMPARE(dialog->windowTitle(), u"Combine Column Data"_s);
      const QList<QComboBox*> combos = dialog->findChildren<QComboBox*>();
      QPushButton* ok = Named<QPushButton>(dialog, u"OK"_s);
      QCOMPARE(combos[0]->currentText(), u"Text"_s);
      QCOMPARE(Edit(dialog, 0)->text(), u"@"_s);
      QVERIFY(ok->isEnabled());
      Retype(Edit(dialog, 0), u"  "_s);
      QVERIFY(!ok->isEnabled());  // blanks only
      combos[0]->setCurrentIndex(1);  // Serial
      QCOMPARE(Edit(dialog, 0)->text(), u"01"_s);
      QTest::keyClicks(Edit(dialog, 0), u"x"_s);
      QCOMPARE(Edit(dialog, 0)->text(), u"01"_s);  // digits only
      combos[1]->setCurrentIndex(1);  // Serial + Tel
      QVERIFY(!ok->isEnabled());
      combos[0]->setCurrentIndex(2);  // Name + Tel
      QVERIFY(!Edit(dialog, 0)->isEnabled());
      QVERIFY(ok->isEnabled());
      combos[1]->setCurrentIndex(0);  // Name + Name
      QVERIFY(!ok->isEnabled());
      Named<QPushButton>(dialog, u"Cancel"_s)->click();
    });
    QVERIFY(Names(document) == before);
    QVERIFY(!window.table().canUndo());

    test::Press(window, Qt::Key_A, Qt::ControlModifier);  // every row
    combine([](QWidget* dialog) {
      dialog->findChildren<QComboBox*>()[0]->setCurrentIndex(1);
      Retype(Edit(dialog, 0), u"001"_s);
      Named<QPushButton>(dialog, u"OK"_s)->click();
    });
    QCOMPARE(document.text(0, kName), u"01Cam");
    QCOMPARE(document.text(11, kName), u"12Cam");
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(Names(document) == before);
    QVERIFY(!window.table().canUndo());

    // A rich POI file keeps its memos.
    document.richPoiFile = true;
    combine([](QWidget* dialog) {
      const QList<QComboBox*> combos = dialog->findChildren<QComboBox*>();
      combos[1]->setCurrentIndex(2);  // Text + Memo
      QVERIFY(!Named<QPushButton>(dialog, u"OK"_s)->isEnabled());
      dialog->close();
    });
  }

  void clearSerialsAndColumns() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, fileOf({{u"Camera 12", u"memo"}, {u"12"}, {u"Camera"}, {u"7 Bridges"}}));
    PoiDocument& document = window.table().document();
    const std::vector<std::u16string> before = Names(document);

    const auto clear = [&window](const std::function<void(QWidget*)>& answer) {
      test::DialogAnswerer answerer;
      answerer.handleNext(answer);
      test::Press(window, Qt::Key_L, Qt::ControlModifier);
      QCOMPARE(answerer.answered(), 1);
    };
    test::Press(window, Qt::Key_A, Qt::ControlModifier);  // every row
    clear([](QWidget* dialog) {
      QCOMPARE(dialog->windowTitle(), u"Clear Column Data"_s);
      QPushButton* ok = Named<QPushButton>(dialog, u"OK"_s);
      QVERIFY(Named<QPushButton>(dialog, u"Cancel"_s)->isDefault());
      QVERIFY(!ok->isEnabled());
      Named<QCheckBox>(dialog, u"Name/Trailing serial"_s)->setChecked(true);
      Named<QCheckBox>(dialog, u"Memo/Camera/Icon"_s)->setChecked(true);
      QVERIFY(ok->isEnabled());
      ok->click();
    });
    QCOMPARE(Names(document), (std::vector<std::u16string>{u"Camera", u"12", u"Camera", u"7 Bridges"}));
    QVERIFY(std::ranges::all_of(document.rows, [](const PoiRecord& row) { return row.text(kMemo).empty(); }));
    QVERIFY(!document.text(0, kLat).empty());
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(Names(document) == before);
    QCOMPARE(document.text(0, kMemo), u"memo");
    QVERIFY(!window.table().canUndo());

    // A phonebook has neither serials nor coordinates to clear.
    document.kind = DocumentKind::Phonebook;
    clear([](QWidget* dialog) {
      for (const QString& box : {u"Name/Leading serial"_s, u"Name/Trailing serial"_s, u"Lng"_s, u"Lat "_s}) {
        QVERIFY2(!Named<QCheckBox>(dialog, box)->isEnabled(), qPrintable(box));
      }
      QVERIFY(Named<QCheckBox>(dialog, u"Tel/Speed"_s)->isEnabled());
      dialog->close();
    });
  }
};

}  // namespace qf

QTEST_MAIN(qf::ColumnDialogsTest)
#include "column_dialogs_test.moc"
