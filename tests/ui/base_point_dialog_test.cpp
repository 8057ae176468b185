// The "My Base Point" dialog, driven through its controls over the real window, offscreen.
#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "core/distances.h"
#include "core/profile_file.h"
#include "editing/ui/poi_table_view.h"
#include "editing/ui/qt_text.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;
using test::CorpusFile;

namespace {

QPushButton* Button(QWidget* dialog, const QString& text) {
  for (auto* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  qFatal("no button %s", qPrintable(text));
}

QTreeWidget* Entries(QWidget* dialog) { return dialog->findChild<QTreeWidget*>(); }

void ClickEntry(QWidget* dialog, int index, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTreeWidget* entries = Entries(dialog);
  QTreeWidgetItem* item = entries->topLevelItem(index);
  entries->scrollToItem(item);
  QTest::mouseClick(entries->viewport(), Qt::LeftButton, modifiers, entries->visualItemRect(item).center());
}

QStringList EntryNames(QWidget* dialog) {
  QStringList names;
  for (int i = 0; i < Entries(dialog)->topLevelItemCount(); ++i) names.append(Entries(dialog)->topLevelItem(i)->text(0));
  return names;
}

// Whether the model told its views of a new text in the row's Distance cell.
bool DistanceAnnounced(const QSignalSpy& changes, int row) {
  for (const QList<QVariant>& change : changes) {
    const auto first = change[0].value<QModelIndex>(), last = change[1].value<QModelIndex>();
    if (first.row() <= row && row <= last.row() && first.column() <= kDistance && kDistance <= last.column()) return true;
  }
  return false;
}

}  // namespace

class BasePointDialogTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  fs::path settingsPath() const { return fs::path(ToU16(folder_.filePath(u"quillfern.ini"_s))); }
  std::string stored(const char* key) const {
    ProfileFile profile;
    profile.load(settingsPath());
    return profile.getString("Base Points", key, "-");
  }

  // A window with three saved base points and a file open, distances measured from the base.
  void openWithBasePoints(MainWindow& window) {
    QVERIFY(test::ShowActive(window));
    window.settings().set(Switch::ShowDistance, true);
    window.settings().adjacentDistance = false;
    window.settings().basePoints.entries = {u"Home>8.54170>47.37690>>", u"Office>2.35220>48.85660>01 23>Desk 4",
                                            u"Dock>4.47917>51.92250>>"};
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    QVERIFY(window.table().document().rowCount() > 3);
  }

 private slots:
  void init() { fs::remove(settingsPath()); }

  void setMakesTheEntryTheBaseAndTheDistancesFollow() {
    MainWindow window(settingsPath());
    openWithBasePoints(window);
    PoiDocument& document = window.table().document();
    const int rows = document.rowCount();
    const int last = rows;  // once the base row is in
    QSignalSpy changes(window.view().model(), &QAbstractItemModel::dataChanged);

    test::DialogAnswerer answerer;
    answerer.handleNext([](QWidget* dialog) {
      QCOMPARE(EntryNames(dialog), QStringList({u"Home"_s, u"Office"_s, u"Dock"_s}));
      ClickEntry(dialog, 1);
      QVERIFY(Button(dialog, u"&Set"_s)->isEnabled());
      QVERIFY(Button(dialog, u"Move &Up"_s)->isEnabled());
      QVERIFY(!Button(dialog, u"OK"_s)->isEnabled());  // nothing changed yet
      ClickEntry(dialog, 2, Qt::ControlModifier);
      QVERIFY(!Button(dialog, u"&Set"_s)->isEnabled());  // two entries
      QVERIFY(Button(dialog, u"&Delete"_s)->isEnabled());
      ClickEntry(dialog, 1);
      Button(dialog, u"&Set"_s)->click();
    });
    window.action(CommandId::MyBasePoint)->trigger();
    QCOMPARE(answerer.answered(), 1);
    QCOMPARE(document.rowCount(), rows + 1);
    QVERIFY(document.basePointPinned);
    QCOMPARE(document.baseRow, 0);
    QCOMPARE(document.text(0, kName), u"Office");
    QCOMPARE(document.text(0, kMemo), u"Desk 4");
    QVERIFY(document.rows[0].selected);
    QVERIFY(!document.modified);  // the My Base Point row is not part of the document
    QCOMPARE(document.rows.back().distanceKey, DistanceBetween(document, 0, last));
    QVERIFY(DistanceAnnounced(changes, last));
    QCOMPARE(stored("Insert List"), "2");
    const std::int32_t fromOffice = document.rows.back().distanceKey;

    // Set again, by a double click: row 0 takes the other entry's texts, and the distances change.
    changes.clear();
    answerer.handleNext([](QWidget* dialog) {
      QTreeWidget* entries = Entries(dialog);
      const QPoint at = entries->visualItemRect(entries->topLevelItem(2)).center();
      QTest::mouseClick(entries->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseDClick(entries->viewport(), Qt::LeftButton, {}, at);
    });
    window.action(CommandId::MyBasePoint)->trigger();
    QCOMPARE(document.rowCount(), rows + 1);
    QCOMPARE(document.text(0, kName), u"Dock");
    QCOMPARE(document.text(0, kMemo), u"");
    QVERIFY(document.rows.back().distanceKey != fromOffice);
    QCOMPARE(document.rows.back().distanceKey, DistanceBetween(document, 0, last));
    QVERIFY(DistanceAnnounced(changes, last));
    QCOMPARE(stored("Insert List"), "3");

    // Each Set is one step back; the first one's undo takes the row away again.
    window.action(CommandId::Undo)->trigger();
    QCOMPARE(document.text(0, kName), u"Office");
    QCOMPARE(document.rows.back().distanceKey, fromOffice);
    window.action(CommandId::Undo)->trigger();
    QCOMPARE(document.rowCount(), rows);
    QVERIFY(!document.basePointPinned);
  }

  void listEditsAreSavedByOkAndDroppedByCancel() {
    MainWindow window(settingsPath());
    openWithBasePoints(window);
    PoiDocument& document = window.table().document();
    const std::u16string added(document.text(2, kName));
    test::ClickRow(window, 2);

    test::DialogAnswerer answerer;
    answerer.handleNext([&](QWidget* dialog) {
      Button(dialog, u"&Add"_s)->click();
      QCOMPARE(EntryNames(dialog).size(), 4);
      QCOMPARE(Entries(dialog)->selectedItems().value(0)->text(0), ToQString(added));
      QVERIFY(Button(dialog, u"OK"_s)->isEnabled());
      Button(dialog, u"Move &Up"_s)->click();
      ClickEntry(dialog, 0);
      Button(dialog, u"&Delete"_s)->click();
      QCOMPARE(EntryNames(dialog), QStringList({u"Office"_s, ToQString(added), u"Dock"_s}));
      dialog->resize(500, 420);
      Button(dialog, u"OK"_s)->click();
    });
    window.action(CommandId::MyBasePoint)->trigger();
    QCOMPARE(answerer.answered(), 1);
    QCOMPARE(window.settings().basePoints.entries.size(), 3u);
    QCOMPARE(stored("BP List 1"), "Office>2.35220>48.85660>01 23>Desk 4");
    QVERIFY(QString::fromStdString(stored("BP List 2")).startsWith(ToQString(added) + u'>'));
    QCOMPARE(stored("BP List 4"), "-");
    QCOMPARE(stored("Width"), "500");
    QCOMPARE(stored("Height"), "420");

    // Export All appends every entry once; Delete All then Cancel keeps the saved list.
    const int rows = document.rowCount();
    answerer.handleNext([](QWidget* dialog) {
      Button(dialog, u"&Export All"_s)->click();
      QVERIFY(!Button(dialog, u"&Export All"_s)->isEnabled());
      Button(dialog, u"Delete A&ll"_s)->click();
      QVERIFY(EntryNames(dialog).isEmpty());
      QVERIFY(!Button(dialog, u"Delete A&ll"_s)->isEnabled());
      Button(dialog, u"Cancel"_s)->click();
    });
    window.action(CommandId::MyBasePoint)->trigger();
    QCOMPARE(document.rowCount(), rows + 3);
    QCOMPARE(document.text(rows, kName), u"Office");
    QVERIFY(document.modified);
    QCOMPARE(window.settings().basePoints.entries.size(), 3u);
    QCOMPARE(stored("BP List 3"), "Dock>4.47917>51.92250>>");
    window.action(CommandId::Undo)->trigger();
    QCOMPARE(document.rowCount(), rows);
  }
};

}  // namespace qf

QTEST_MAIN(qf::BasePointDialogTest)
#include "base_point_dialog_test.moc"
