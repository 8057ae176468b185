// The check dialog and the check-results window over the real window, offscreen.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "core/coordinates.h"
#include "core/distances.h"
#include "core/field_rules.h"
#include "core/profile_file.h"
#include "editing/ui/poi_table_model.h"
#include "editing/ui/poi_table_view.h"
#include "editing/ui/qt_text.h"
#include "formats/file_pipeline.h"
#include "shell/ui/check_results_window.h"
#include "shell/ui/gui_user_port.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

template <class Widget>
Widget* Control(QWidget* parent, const QString& text) {
  for (auto* widget : parent->findChildren<Widget*>()) {
    if (widget->text() == text) return widget;
  }
  qFatal("no control %s", qPrintable(text));
}

QStringList Shown(QTreeWidget* list, int column) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts.append(list->topLevelItem(i)->text(column));
  return texts;
}

void ClickResult(QTreeWidget* list, int index) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(index)).center());
}

std::vector<int> SelectedRows(const PoiDocument& document) {
  std::vector<int> rows;
  for (int row = 0; row < document.rowCount(); ++row) {
    if (document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
  }
  return rows;
}

// The check dialog set to near distances only, within `metres` metres.
void ChooseNearDistances(QWidget* dialog, const QString& metres) {
  Control<QCheckBox>(dialog, u"&Similar names"_s)->setChecked(false);
  Control<QCheckBox>(dialog, u"&Empty coordinates"_s)->setChecked(false);
  Control<QCheckBox>(dialog, u"&Near distances"_s)->setChecked(true);
  QLineEdit* distance = dialog->findChild<QLineEdit*>();
  distance->selectAll();
  QTest::keyClicks(distance, metres);
  Control<QRadioButton>(dialog, u"m"_s)->click();
}

}  // namespace

class CheckResultsWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  fs::path settingsPath() const { return fs::path(ToU16(folder_.filePath(u"quillfern.ini"_s))); }

  // Three POIs within a few metres of each other, two far away; `suffix` ends every name.
  fs::path poiFile(const std::u16string& suffix = u"") {
    PoiDocument pois;
    const char16_t* rows[][3] = {{u"Alpha", u"121.50000", u"25.03300"},
                                 {u"Gamma", u"121.50000", u"25.03301"},
                                 {u"Delta", u"121.60000", u"25.10000"},
                                 {u"alpha centre", u"121.50000", u"25.03300"},
                                 {u"Omega", u"10.00000", u"10.00000"}};
    for (const auto& [name, longitude, latitude] : rows) {
      const int row = AppendPoi(pois, name + suffix, false);
      SetCoordinateText(pois, row, kLng, longitude, false);
      SetCoordinateText(pois, row, kLat, latitude, false);
    }
    const fs::path file = fs::path(ToU16(folder_.path())) / "near.ov2";
    SilentUserPort port;
    AppSettings inOrder;
    inOrder.set(Switch::OptimisePoi, false);
    if (RunFileOperation(pois, FileOperation::Save, FileFormat::Ov2, file, inOrder, port) != 0) return {};
    return file;
  }

  void openNearFile(MainWindow& window, const std::u16string& suffix = u"") {
    QVERIFY(test::ShowActive(window));
    window.settings().set(Switch::MetricUnit, true);
    test::OpenThroughMenu(window, poiFile(suffix));
    QCOMPARE(window.table().document().rowCount(), 5);
  }

 private slots:
  void init() { fs::remove(settingsPath()); }

  void resultsFollowTheTableUntilTheCheckIsThrough() {
    MainWindow window(settingsPath());
    openNearFile(window);
    PoiDocument& document = window.table().document();
    test::DialogAnswerer answerer;
    answerer.handleNext([](QWidget* dialog) {
      ChooseNearDistances(dialog, u"5"_s);
      Control<QPushButton>(dialog, u"OK"_s)->click();
    });
    window.action(CommandId::Check)->trigger();
    QPointer<CheckResultsWindow> results = window.findChild<CheckResultsWindow*>();
    QVERIFY(results && results->isVisible());
    QCOMPARE(results->windowTitle(), u"Near Distances of POIs"_s);
    QTreeWidget* list = results->findChild<QTreeWidget*>();
    QCOMPARE(Shown(list, kName), QStringList({u"Alpha"_s, u"Gamma"_s, u"alpha centre"_s}));
    QCOMPARE(Shown(list, kDistance), QStringList({u""_s, ToQString(FormatDistance(DistanceBetween(document, 0, 1), true)),
                                                   ToQString(FormatDistance(0, true))}));
    QCOMPARE(SelectedRows(document), std::vector<int>{0});  // the first result, and its row
    window.tick();
    QVERIFY(window.action(CommandId::Check)->isChecked());

    ClickResult(list, 2);
    QCOMPARE(SelectedRows(document), std::vector<int>{3});

    // An edit of a listed row, and its undo, show in the results.
    test::DoubleClickCell(window, 1, kName);
    QLineEdit* edit = window.view().viewport()->findChild<QLineEdit*>();
    QVERIFY(edit && edit->isVisible());
    edit->selectAll();
    QTest::keyClicks(edit, u"Gamma 2"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(list->topLevelItem(1)->text(kName), u"Gamma 2"_s);
    window.action(CommandId::Undo)->trigger();
    QTRY_COMPARE(list->topLevelItem(1)->text(kName), u"Gamma"_s);

    // A row deleted in the table leaves the results; undone, it is back in the table only.
    // The results window is the active one: the keys go to the table once the user clicks there.
    window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &window);
    test::ClickRow(window, 3);
    test::Press(window, Qt::Key_Delete);
    QCOMPARE(document.rowCount(), 4);
    QTRY_COMPARE(Shown(list, kName), QStringList({u"Alpha"_s, u"Gamma"_s}));
    window.action(CommandId::Undo)->trigger();
    QCOMPARE(document.rowCount(), 5);
    QCOMPARE(document.text(3, kName), u"alpha centre");
    QTest::qWait(20);
    QCOMPARE(Shown(list, kName), QStringList({u"Alpha"_s, u"Gamma"_s}));

    // A moved row keeps its result: selecting it selects the row where it went.
    test::ClickRow(window, 1);
    window.action(CommandId::MoveUp)->trigger();
    QCOMPARE(document.text(0, kName), u"Gamma");
    ClickResult(list, 1);
    QCOMPARE(SelectedRows(document), std::vector<int>{0});

    // The headers sort, the same one again the other way round.
    QHeaderView* header = list->header();
    const QPoint name(header->sectionViewportPosition(kName) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
    QCOMPARE(Shown(list, kName), QStringList({u"Alpha"_s, u"Gamma"_s}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
    QCOMPARE(Shown(list, kName), QStringList({u"Gamma"_s, u"Alpha"_s}));

    // Delete in the window deletes the table row, as one undo step.
    ClickResult(list, 0);
    Control<QPushButton>(results, u"&Delete"_s)->click();
    QCOMPARE(document.rowCount(), 4);
    QCOMPARE(document.text(0, kName), u"Alpha");
    QVERIFY(document.modified);
    QCOMPARE(Shown(list, kName), QStringList({u"Alpha"_s}));

    // Nothing more is near: the check ends with its message and the window goes.
    answerer.answerNext(QMessageBox::Ok);
    Control<QPushButton>(results, u"&Continue"_s)->click();
    QCOMPARE(answerer.lastText(), u"Finished checking the POI data"_s);
    QTRY_VERIFY(results.isNull());
    window.tick();
    QVERIFY(!window.action(CommandId::Check)->isChecked());
    ProfileFile profile;
    profile.load(settingsPath());
    QVERIFY(profile.getInt("Check POI", "Width", 0) >= 320);
  }

  // Names wider than the window: the list still starts at its left edge, with the Distance column
  // in view, whichever column holds the current result.
  void theListStartsAtItsLeftEdge() {
    MainWindow window(settingsPath());
    window.settings().set(Switch::ShowDistance, true);
    openNearFile(window, u" " + std::u16string(120, u'x'));
    test::DialogAnswerer answerer;
    answerer.handleNext([](QWidget* dialog) {
      ChooseNearDistances(dialog, u"5"_s);
      Control<QPushButton>(dialog, u"OK"_s)->click();
    });
    window.action(CommandId::Check)->trigger();
    QPointer<CheckResultsWindow> results = window.findChild<CheckResultsWindow*>();
    QVERIFY(results && results->isVisible());
    QTreeWidget* list = results->findChild<QTreeWidget*>();
    QVERIFY(!list->isColumnHidden(kDistance));
    QVERIFY(list->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(list->horizontalScrollBar()->value(), 0);
  }

  void theDialogRefusesWhatItCannotCheck() {
    MainWindow window(settingsPath());
    openNearFile(window);
    test::DialogAnswerer answerer;
    QString refusal;
    answerer.handleNext([&refusal](QWidget* dialog) {
      ChooseNearDistances(dialog, u"1x"_s);
      test::DialogAnswerer message;
      message.answerNext(QMessageBox::Ok);
      Control<QPushButton>(dialog, u"OK"_s)->click();
      refusal = message.lastText();
      QVERIFY(dialog->isVisible());
      QCOMPARE(dialog->findChild<QLineEdit*>()->selectedText(), u"1x"_s);
      // The distance goes with its box, OK with the last box.
      Control<QCheckBox>(dialog, u"&Near distances"_s)->setChecked(false);
      QVERIFY(!dialog->findChild<QLineEdit*>()->isEnabled());
      QVERIFY(!Control<QPushButton>(dialog, u"OK"_s)->isEnabled());
      dialog->close();
    });
    window.action(CommandId::Check)->trigger();
    QCOMPARE(refusal, u"The format of distance number is error"_s);
    QVERIFY(!window.findChild<CheckResultsWindow*>());

    // A document of one row can only be checked for empty coordinates.
    test::ClickRow(window, 1);
    test::ClickRow(window, 4, Qt::ShiftModifier);
    test::Press(window, Qt::Key_Delete);
    QCOMPARE(window.table().document().rowCount(), 1);
    answerer.handleNext([](QWidget* dialog) {
      QVERIFY(!Control<QCheckBox>(dialog, u"&Similar names"_s)->isEnabled());
      QVERIFY(!Control<QCheckBox>(dialog, u"&Near distances"_s)->isChecked());
      QVERIFY(Control<QCheckBox>(dialog, u"&Empty coordinates"_s)->isEnabled());
      dialog->close();
    });
    window.action(CommandId::Check)->trigger();
    QCOMPARE(answerer.answered(), 2);
  }

  void escEndsARunningCheckWithoutAWord() {
    PoiDocument document;
    for (int i = 0; i < 3; ++i) {
      const int row = AppendPoi(document, u"Same", false);
      SetCoordinateText(document, row, kLng, u"4.00000", false);
      SetCoordinateText(document, row, kLat, u"50.00000", false);
    }
    PoiTable table(document);
    PoiTableModel model(table);
    PoiTableView view(model);
    QLabel status;
    QProgressBar progress;
    GuiUserPort port(&view, &status, &progress);
    AppSettings settings;
    QPointer<CheckResultsWindow> results = new CheckResultsWindow(table, view, CheckSettings{}, settings, port, nullptr);
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    QCoreApplication::postEvent(&view, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    results->start();
    QVERIFY(!results->isVisible());
    QTRY_VERIFY(results.isNull());
    QCOMPARE(answerer.answered(), 0);
  }
};

}  // namespace qf

QTEST_MAIN(qf::CheckResultsWindowTest)
#include "check_results_window_test.moc"
