// The real main window, driven through its actions, keys and events, offscreen.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <fstream>
#include <iterator>

#include "core/field_rules.h"
#include "core/profile_file.h"
#include "core/unicode.h"
#include "editing/ui/cell_editor.h"
#include "editing/ui/poi_table_view.h"
#include "formats/file_pipeline.h"
#include "shell/command_table.h"
#include "core/string_table.h"
#include "shell/ui/main_window.h"
#include "editing/ui/qt_text.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using test::CorpusFile;

namespace {

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

QLineEdit* OpenEditBox(MainWindow& window) {
  for (auto* edit : window.view().viewport()->findChildren<QLineEdit*>()) {
    if (edit->isVisible()) return edit;
  }
  return nullptr;
}

// Types into the open edit box and presses a key there.
void TypeAndPress(MainWindow& window, const QString& text, Qt::Key key) {
  QLineEdit* edit = OpenEditBox(window);
  QVERIFY(edit);
  edit->selectAll();
  QTest::keyClicks(edit, text);
  QTest::keyClick(edit, key);
}

std::vector<std::u16string> Names(const PoiDocument& document) {
  std::vector<std::u16string> names;
  for (const PoiRecord& record : document.rows) names.emplace_back(record.text(kName));
  return names;
}

// Counts the cells measured for their width.
class CountingDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    ++measured;
    return QStyledItemDelegate::sizeHint(option, index);
  }
  mutable int measured = 0;
};

// Whether a column is at least as wide as the widest of its cells, measured the slow way.
bool ColumnFitsItsTexts(MainWindow& window, int column) {
  PoiTableView& view = window.view();
  QStyleOptionViewItem option;
  option.font = view.font();
  option.fontMetrics = view.fontMetrics();
  option.widget = &view;
  QAbstractItemDelegate* delegate =
      view.itemDelegateForColumn(column) ? view.itemDelegateForColumn(column) : view.itemDelegate();
  int widest = 0;
  for (int row = 0; row < view.model()->rowCount(); ++row) {
    widest = std::max(widest, delegate->sizeHint(option, view.model()->index(row, column)).width());
  }
  return view.columnWidth(column) >= widest;
}

// Every text the status bar's message part showed on screen, in order.
class StatusWatch : public QObject {
 public:
  explicit StatusWatch(MainWindow& window) {
    for (auto* label : window.statusBar()->findChildren<QLabel*>()) {
      if (label->text() == ToQString(LoadString(kReady))) label_ = label;
    }
    if (label_) label_->installEventFilter(this);
  }
  QStringList shown;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && (shown.isEmpty() || shown.back() != label_->text())) {
      shown.append(label_->text());
    }
    return false;
  }

 private:
  QLabel* label_ = nullptr;
};

// The status bar's "POI n - s / N" counter.
QString CounterText(MainWindow& window) {
  for (auto* label : window.statusBar()->findChildren<QLabel*>()) {
    if (label->text().contains(u'/')) return label->text();
  }
  return {};
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  fs::path settingsPath() const { return fs::path(ToU16(folder_.filePath(QStringLiteral("quillfern.ini")))); }
  // A copy of a corpus file that the test may change.
  fs::path copyOf(const char* relative) {
    const fs::path copy = fs::path(ToU16(folder_.path())) / fs::path(relative).filename();
    fs::copy_file(CorpusFile(relative), copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
    return copy;
  }

  // "Auto save file" on, with minutes of the given length.
  static void SaveAutomatically(MainWindow& window, int minute) {
    window.settings().set(Switch::BackupFile, true);
    window.settings().backupInterval = 1;
    window.setAutoSaveMinute(minute);
  }

  // A safety-camera file of two cameras, one without a speed.
  fs::path camerasFile() {
    PoiDocument cameras;
    cameras.kind = DocumentKind::SafetyCamera;
    for (const char16_t* speed : {u"", u"50"}) {
      const int row = AppendPoi(cameras, u"Safety Camera", false);
      SetCoordinateText(cameras, row, kLng, u"13.4", false);
      SetCoordinateText(cameras, row, kLat, u"52.5", false);
      SetCell(cameras, row, kTel, speed);
      SetCell(cameras, row, kMemo, u"Fixed");
    }
    const fs::path file = fs::path(ToU16(folder_.path())) / "cameras.ov2";
    SilentUserPort port;
    if (RunFileOperation(cameras, FileOperation::Save, FileFormat::Ov2, file, AppSettings{}, port) != 0) return {};
    return file;
  }

 private slots:
  void init() { fs::remove(settingsPath()); }

  void opensAFileAndShowsItsRows() {
    MainWindow window(settingsPath());
    test::OpenThroughMenu(window, CorpusFile("ov2/tomtom.ov2"));
    QCOMPARE(window.view().model()->rowCount(), 54);
    window.tick();
    QCOMPARE(window.windowTitle(), QStringLiteral("tomtom - Quillfern for TomTom"));
    QCOMPARE(window.view().model()->index(0, kName).data().toString(),
             ToQString(window.table().document().text(0, kName)));
  }

  void aFileThatFailsLeavesAnEmptyUntitledDocument() {
    MainWindow window(settingsPath());
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    test::OpenThroughMenu(window, CorpusFile("malformed/stations_PL.ov2"));
    QVERIFY(answerer.lastText().startsWith(QStringLiteral("The content of the file is wrong")));
    QCOMPARE(window.table().document().rowCount(), 0);
    QCOMPARE(window.table().document().title, std::u16string(u"Untitled"));
  }

  // Edit through the editor: a rejected latitude keeps the editor open with its message; a good
  // one is stored, undone and redone.
  void editsACellWithValidationUndoAndRedo() {
    MainWindow window(settingsPath());
    window.show();
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/pinpoi_test.ov2"));
    const std::u16string before(window.table().document().text(1, kLat));
    test::DoubleClickCell(window, 1, kLat);
    QVERIFY(window.cellEditor().isOpen());

    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    TypeAndPress(window, QStringLiteral("95"), Qt::Key_Return);
    QCOMPARE(answerer.lastText(), ToQString(LoadString(kBadLatitude)));
    QVERIFY(window.cellEditor().isOpen());

    TypeAndPress(window, QStringLiteral("45.5"), Qt::Key_Return);
    QVERIFY(!window.cellEditor().isOpen());
    QCOMPARE(window.table().document().text(1, kLat), std::u16string_view(u"45.50000"));
    QVERIFY(window.table().document().modified);

    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window.table().document().text(1, kLat), std::u16string_view(before));
    test::Press(window, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(window.table().document().text(1, kLat), std::u16string_view(u"45.50000"));
  }

  // Columns with fixed values pick from a list that opens on the cell's value or the default.
  void fixedValuesPickFromAList() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, camerasFile());
    PoiDocument& document = window.table().document();
    QCOMPARE(document.kind, DocumentKind::SafetyCamera);
    test::DoubleClickCell(window, 0, kTel);
    QComboBox* list = nullptr;
    for (auto* combo : window.view().viewport()->findChildren<QComboBox*>()) {
      if (combo->isVisible()) list = combo;
    }
    QVERIFY(list);
    QVERIFY(!OpenEditBox(window));
    QCOMPARE(list->currentText(), QStringLiteral("60"));
    list->hidePopup();
    for (int i = 0; i < 3; ++i) QTest::keyClick(list, Qt::Key_Down);  // 70, 80, 90
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(!window.cellEditor().isOpen());
    QCOMPARE(document.text(0, kTel), std::u16string_view(u"90"));
  }

  // A click elsewhere in the table commits the open editor; a rejected value keeps it open.
  void aClickElsewhereCommitsTheEditor() {
    MainWindow window(settingsPath());
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    PoiTableView& view = window.view();
    const QPoint elsewhere(view.columnViewportPosition(kName) + 5, view.rowViewportPosition(5) + 3);
    test::DoubleClickCell(window, 1, kLat);
    test::Type(window, QStringLiteral("95"));
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, elsewhere);
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(window.cellEditor().isOpen());
    test::Type(window, QStringLiteral("36.5"));  // the rejected text is selected: typing replaces it
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, elsewhere);
    QVERIFY(!window.cellEditor().isOpen());
    QCOMPARE(window.table().document().text(1, kLat), std::u16string_view(u"36.50000"));
  }

  void typingFiltersAndAddThenEscape() {
    MainWindow window(settingsPath());
    window.show();
    window.action(CommandId::Add)->trigger();
    QVERIFY(window.cellEditor().isOpen());
    QCOMPARE(window.table().document().rowCount(), 1);
    // The proposed name is taken by Enter; one undo step removes the row again.
    QTest::keyClick(OpenEditBox(window), Qt::Key_Return);
    QCOMPARE(window.table().document().rowCount(), 1);
    QVERIFY(window.action(CommandId::Undo)->isEnabled());

    test::DoubleClickCell(window, 0, kLng);
    QLineEdit* edit = OpenEditBox(window);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QStringLiteral("12wN"));
    QCOMPARE(edit->text(), QStringLiteral("12w"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!window.cellEditor().isOpen());

    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window.table().document().rowCount(), 0);

    window.action(CommandId::Add)->trigger();
    QTest::keyClick(OpenEditBox(window), Qt::Key_Escape);
    QCOMPARE(window.table().document().rowCount(), 0);
    QVERIFY(!window.action(CommandId::Undo)->isEnabled());
  }

  void sortsByHeaderClickAndUndoes() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    const std::vector<std::u16string> before = Names(window.table().document());
    PoiDocument expected = window.table().document();
    PoiTable(expected).sort(kLat, true);
    // Another column than the current one (Name) sorts in the unchanged, ascending direction.
    QHeaderView* header = window.view().horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(kLat) + 5, header->height() / 2));
    QVERIFY(Names(expected) != before);
    QCOMPARE(Names(window.table().document()), Names(expected));
    QVERIFY(header->isSortIndicatorShown());
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Names(window.table().document()), before);
  }

  // Rows dragged onto another row move there as one undo step; Ctrl copies.
  void dragsRowsInsideTheTable() {
    MainWindow window(settingsPath());
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    const std::u16string first(window.table().document().text(0, kName));
    test::ClickRow(window, 0);
    PoiTableView& view = window.view();
    auto drop = [&](int row, Qt::KeyboardModifiers modifiers) {
      const QPoint at(20, view.rowViewportPosition(row) + 1);
      std::unique_ptr<QMimeData> data(view.dragData());
      // Qt sends a drag's moves and its drop only to the widget that accepted its entry.
      QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, modifiers);
      QApplication::sendEvent(view.viewport(), &enter);
      QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, modifiers);
      QApplication::sendEvent(view.viewport(), &move);
      QDropEvent dropped(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, modifiers);
      QApplication::sendEvent(view.viewport(), &dropped);
    };
    drop(4, Qt::NoModifier);
    QCOMPARE(window.table().document().text(3, kName), std::u16string_view(first));
    QCOMPARE(window.table().document().rowCount(), 9);
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window.table().document().text(0, kName), std::u16string_view(first));

    test::ClickRow(window, 0);
    drop(4, Qt::ControlModifier);
    QCOMPARE(window.table().document().rowCount(), 10);
    QCOMPARE(window.table().document().text(4, kName), std::u16string_view(first));
  }

  // Save writes, in place, the bytes the engine writes for the same document.
  void savesInPlaceWithTheEnginesBytes() {
    const fs::path path = copyOf("ov2/tomtom.ov2");
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, path);
    test::DoubleClickCell(window, 0, kName);
    test::Type(window, QStringLiteral("Renamed"));
    test::Press(window, Qt::Key_Return);
    QVERIFY(window.table().document().modified);
    PoiDocument copy = window.table().document();
    test::Press(window, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!window.table().document().modified);

    SilentUserPort port;
    const fs::path expected = path.parent_path() / "expected.ov2";
    QCOMPARE(RunFileOperation(copy, FileOperation::Save, FileFormat::Ov2, expected, window.settings(), port), 0);
    QCOMPARE(FileBytes(path), FileBytes(expected));
    PoiDocument reread;
    QCOMPARE(RunFileOperation(reread, FileOperation::Open, FileFormat::Ov2, path, window.settings(), port), 0);
    QVERIFY(std::ranges::count(Names(reread), u"Renamed") == 1);
  }

  // A save that fails says so and leaves the document modified, so that nothing is lost unasked.
  void aFailedSaveKeepsTheDocumentModified() {
    const fs::path folder = fs::path(ToU16(folder_.path())) / "going";
    fs::create_directories(folder);
    fs::copy_file(CorpusFile("ov2/tomtom.ov2"), folder / "tomtom.ov2");
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, folder / "tomtom.ov2");
    PoiDocument& document = window.table().document();
    test::DoubleClickCell(window, 0, kName);
    test::Type(window, QStringLiteral("Renamed"));
    test::Press(window, Qt::Key_Return);
    fs::remove_all(folder);  // another program took the folder away
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    test::Press(window, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(answerer.lastText().startsWith(QStringLiteral("Can not save the file")));
    QVERIFY(document.modified);
    QVERIFY(!fs::exists(document.path));
  }

  // Save As: the typed extension picks the layout, the chosen filter the encoding.
  void savesAsInTheChosenFormat() {
    MainWindow window(settingsPath());
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    const fs::path target = fs::path(ToU16(folder_.path())) / "caches.csv";
    test::ChooseInDialog(window, target, FileFormat::TxtUtf8);
    window.action(CommandId::SaveAs)->trigger();
    QCOMPARE(window.table().document().format, FileFormat::CsvUtf8);
    QCOMPARE(window.table().document().path, target);
    PoiDocument reread;
    SilentUserPort port;
    QCOMPARE(RunFileOperation(reread, FileOperation::Open, FileFormat::CsvDetect, target, window.settings(), port), 0);
    QCOMPARE(Names(reread), Names(window.table().document()));
    QCOMPARE(reread.format, FileFormat::CsvUtf8);
  }

  // ---------------------------------------------------------------- driven as a person drives it

  // Select All and Del far from the top used to freeze the window in the column fitting; Undo brings
  // every row back with columns wide enough for their texts.
  void selectAllAndDeleteAwayFromTheTopThenUndo() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/chateaux.ov2"));
    const int rows = window.table().document().rowCount();
    QCOMPARE(rows, 2125);
    // Fitting measures a few cells, never all of them: a million rows would take minutes.
    auto* counting = new CountingDelegate(&window.view());
    window.view().setItemDelegateForColumn(kName, counting);
    for (int i = 0; i < 3; ++i) test::Press(window, Qt::Key_PageDown);
    test::Press(window, Qt::Key_A, Qt::ControlModifier);
    test::Press(window, Qt::Key_Delete);
    QCOMPARE(window.view().model()->rowCount(), 0);
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window.view().model()->rowCount(), rows);
    QVERIFY2(counting->measured < 200, qPrintable(QString::number(counting->measured)));
    for (const int column : {kName, kLng, kLat}) {
      QVERIFY2(ColumnFitsItsTexts(window, column), qPrintable(QString::number(column)));
    }
  }

  // An Import is one undo step, and the steps before it still undo without losing a row.
  void importIsUndoneInOneStep() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    const std::vector<std::u16string> opened = Names(window.table().document());
    test::ClickHeader(window, kLat);
    const std::vector<std::u16string> sorted = Names(window.table().document());
    test::ChooseInDialog(window, CorpusFile("ov2/pinpoi_test.ov2"), FileFormat::Ov2);
    window.action(CommandId::Import)->trigger();
    QCOMPARE(window.view().model()->rowCount(), 11);
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Names(window.table().document()), sorted);
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Names(window.table().document()), opened);
    QVERIFY(!window.table().document().modified);
    test::Press(window, Qt::Key_Y, Qt::ControlModifier);
    test::Press(window, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(window.view().model()->rowCount(), 11);
    QVERIFY(window.table().document().modified);
  }

  // A name typed without an extension takes the chosen filter's extension and format.
  void saveAsWithoutAnExtensionFollowsTheFilter() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    const fs::path typed = fs::path(ToU16(folder_.path())) / "out1";
    test::ChooseInDialog(window, typed, FileFormat::Gpx);
    window.action(CommandId::SaveAs)->trigger();
    QVERIFY(!fs::exists(typed));
    QCOMPARE(window.table().document().path, fs::path(typed.string() + ".gpx"));
    QCOMPARE(window.table().document().format, FileFormat::Gpx);
    QVERIFY(FileBytes(window.table().document().path).starts_with("<?xml"));
  }

  // Rows a format cannot carry are counted in the status bar, and the document stays unsaved.
  void rowsLeftOutOfASaveAreToldAndStayUnsaved() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    test::DoubleClickCell(window, 2, kLat);
    test::Press(window, Qt::Key_Delete);  // the whole proposed text is selected: the cell is emptied
    test::Press(window, Qt::Key_Return);
    QVERIFY(window.table().document().text(2, kLat).empty());
    test::ChooseInDialog(window, fs::path(ToU16(folder_.path())) / "placed.gpx", FileFormat::Gpx);
    window.action(CommandId::SaveAs)->trigger();
    window.tick();
    QVERIFY(window.table().document().modified);
    bool told = false;
    for (auto* label : window.statusBar()->findChildren<QLabel*>()) {
      told = told || label->text() == QStringLiteral("1 POIs without coordinates were not written");
    }
    QVERIFY(told);
    PoiDocument reread;
    SilentUserPort port;
    QCOMPARE(RunFileOperation(reread, FileOperation::Open, FileFormat::Gpx, window.table().document().path,
                              window.settings(), port),
             0);
    QCOMPARE(reread.rowCount(), window.table().document().rowCount() - 1);
  }

  // A phonebook saved elsewhere stays the phonebook file it was: the next Save writes there.
  void phonebookSavedAsKeepsItsOwnFile() {
    const fs::path phonebook = fs::path(ToU16(folder_.path())) / "phones.txt";
    std::ofstream(phonebook, std::ios::binary) << "\"Anna\",\"020 555\",\"Cell\"\r\n\"Bert\",\"030 777\",\"Home\"\r\n";
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::ChooseInDialog(window, phonebook, FileFormat::Phonebook);
    window.action(CommandId::Open)->trigger();
    PoiDocument& document = window.table().document();
    QCOMPARE(document.kind, DocumentKind::Phonebook);
    QCOMPARE(window.view().model()->headerData(kMemo, Qt::Horizontal).toString(), QStringLiteral("Icon"));
    QVERIFY(window.view().isColumnHidden(kDistance));
    window.tick();
    QVERIFY(!window.action(CommandId::ShowDistance)->isEnabled());

    const fs::path other = fs::path(ToU16(folder_.path())) / "phones.kml";
    test::ChooseInDialog(window, other, FileFormat::Kml);
    window.action(CommandId::SaveAs)->trigger();
    QCOMPARE(document.path, phonebook);
    QCOMPARE(document.format, FileFormat::Phonebook);
    test::DoubleClickCell(window, 0, kName);
    test::Type(window, QStringLiteral("Anne"));
    test::Press(window, Qt::Key_Return);
    test::Press(window, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!document.modified);
    QVERIFY(FileBytes(phonebook).starts_with("\"Anne\""));
    QVERIFY(FileBytes(other).starts_with("<?xml"));
  }

  // A safety-camera document names what its columns hold.
  void cameraColumnsAreNamedForWhatTheyHold() {
    MainWindow window(settingsPath());
    test::OpenThroughMenu(window, camerasFile());
    QCOMPARE(window.table().document().kind, DocumentKind::SafetyCamera);
    QCOMPARE(window.view().model()->headerData(kTel, Qt::Horizontal).toString(), QStringLiteral("Speed"));
    QCOMPARE(window.view().model()->headerData(kMemo, Qt::Horizontal).toString(), QStringLiteral("Camera"));
    test::OpenThroughMenu(window, CorpusFile("ov2/tomtom.ov2"));
    QCOMPARE(window.view().model()->headerData(kTel, Qt::Horizontal).toString(), QStringLiteral("Tel"));
  }

  // Enter and Esc close the editor on the edited row, which stays selected and on screen.
  void finishingAnEditKeepsItsRow() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/chateaux.ov2"));
    test::ClickRow(window, 1000);
    test::Press(window, Qt::Key_F2);
    QVERIFY(window.cellEditor().isOpen());
    test::Type(window, QStringLiteral("Renamed"));
    test::Press(window, Qt::Key_Return);
    QCOMPARE(window.table().document().text(1000, kName), std::u16string_view(u"Renamed"));
    QVERIFY(window.table().document().modified);
    QCOMPARE(window.table().firstSelected(), 1000);
    QVERIFY(test::RowIsVisible(window, 1000));

    test::DoubleClickCell(window, 1500, kLat);
    QVERIFY(window.cellEditor().isOpen());
    test::Press(window, Qt::Key_Escape);
    QVERIFY(!window.cellEditor().isOpen());
    QCOMPARE(window.table().firstSelected(), 1500);
    QVERIFY(test::RowIsVisible(window, 1500));
    // The keyboard goes on from there.
    test::Press(window, Qt::Key_Down);
    QCOMPARE(window.table().firstSelected(), 1501);
  }

  // Ctrl+J and Ctrl+K sort by Name whatever column is current.
  void sortKeysSortByName() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    PoiDocument byName = window.table().document();
    PoiTable(byName).sort(kName, true);
    test::ClickHeader(window, kLat);
    test::Press(window, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(Names(window.table().document()), Names(byName));
    test::Press(window, Qt::Key_K, Qt::ControlModifier);
    std::vector<std::u16string> reversed = Names(byName);
    std::ranges::reverse(reversed);
    QCOMPARE(Names(window.table().document()), reversed);
  }

  // The first click on a header of a freshly opened file sorts ascending; an undone sort shows no
  // arrow.
  void firstHeaderClickSortsAscending() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    test::ClickHeader(window, kName);
    test::ClickHeader(window, kName);  // descending
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::No);  // do not save the sorted file
    test::OpenThroughMenu(window, CorpusFile("ov2/stations_DE.ov2"));
    PoiDocument expected = window.table().document();
    PoiTable(expected).sort(kName, true);
    test::ClickHeader(window, kName);
    QCOMPARE(Names(window.table().document()), Names(expected));
    QHeaderView* header = window.view().horizontalHeader();
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!header->isSortIndicatorShown());
  }

  // Home, End, Ctrl+Home and Ctrl+End select the row they reach, and the counter follows.
  void homeAndEndSelectTheirRow() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/chateaux.ov2"));
    const int last = window.table().document().rowCount() - 1;
    const struct {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      int row;
    } cases[] = {{Qt::Key_End, Qt::ControlModifier, last},
                 {Qt::Key_Home, Qt::ControlModifier, 0},
                 {Qt::Key_End, Qt::NoModifier, last},
                 {Qt::Key_Home, Qt::NoModifier, 0}};
    for (const auto& c : cases) {
      test::Press(window, c.key, c.modifiers);
      QCOMPARE(window.table().firstSelected(), c.row);
      QCOMPARE(std::ranges::count_if(window.table().document().rows, &PoiRecord::selected), 1);
      window.tick();
      QVERIFY2(CounterText(window).contains(QStringLiteral(" %1 - 1 / ").arg(c.row + 1)),
               qPrintable(CounterText(window)));
    }
  }

  // A commit fits its column only while "Auto Column" is on; a coordinate fits Distance too.
  void commitsFitColumnsOnlyWhenAsked() {
    {
      ProfileFile profile;
      profile.setInt("Options", "Auto Column", 0);
      profile.save(settingsPath());
      MainWindow window(settingsPath());
      QVERIFY(test::ShowActive(window));
      test::OpenThroughMenu(window, CorpusFile("ov2/tomtom.ov2"));
      const int width = window.view().columnWidth(kName);
      test::DoubleClickCell(window, 3, kName);
      test::Type(window, QString(80, u'W'));
      test::Press(window, Qt::Key_Return);
      QCOMPARE(window.view().columnWidth(kName), width);
    }
    fs::remove(settingsPath());
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    window.settings().set(Switch::ShowDistance, true);
    test::OpenThroughMenu(window, CorpusFile("ov2/tomtom.ov2"));
    QVERIFY(!window.view().isColumnHidden(kDistance));
    window.view().setColumnWidth(kDistance, 5);
    test::DoubleClickCell(window, 3, kLat);
    test::Type(window, QStringLiteral("-45.5"));
    test::Press(window, Qt::Key_Return);
    QVERIFY(ColumnFitsItsTexts(window, kDistance));
  }

  // A file named on the command line that cannot be opened says so.
  // The last column reaches the table's right edge, so that a selected row is marked across the
  // whole width, and gives the width back when the window narrows; it never hides its texts.
  void theLastColumnFillsTheTable() {
    MainWindow window(settingsPath());
    window.resize(1400, 600);
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    PoiTableView& view = window.view();
    QHeaderView* header = view.horizontalHeader();
    QCOMPARE(header->length(), view.viewport()->width());
    const int filled = header->sectionSize(kMemo);

    window.resize(500, 600);
    QTRY_VERIFY(header->sectionSize(kMemo) < filled);
    QVERIFY(header->length() >= view.viewport()->width());
    QVERIFY(ColumnFitsItsTexts(window, kMemo));

    window.resize(1200, 600);
    QTRY_COMPARE(header->length(), view.viewport()->width());
    test::ChooseFromHeaderMenu(window, kName, QStringLiteral("Adjust Widths"));
    QCOMPARE(header->length(), view.viewport()->width());
  }

  void startFileThatCannotBeOpenedSaysSo() {
    for (const fs::path& path : {fs::path(ToU16(folder_.path())) / "missing.ov2", fs::path(ToU16(folder_.path()))}) {
      MainWindow window(settingsPath());
      test::DialogAnswerer answerer;
      answerer.answerNext(QMessageBox::Ok);
      window.openStartFile(path);
      QVERIFY2(answerer.lastText().startsWith(QStringLiteral("Can not open the file")),
               qPrintable(answerer.lastText()));
      QCOMPARE(window.table().document().title, std::u16string(u"Untitled"));
    }
  }

  // Each Save starts the automatic save's interval anew.
  void saveRestartsTheAutomaticSave() {
    const fs::path path = copyOf("ov2/tomtom.ov2");
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    SaveAutomatically(window, 4000);
    test::OpenThroughMenu(window, path);
    test::DoubleClickCell(window, 0, kName);
    test::Type(window, QStringLiteral("Changed"));
    test::Press(window, Qt::Key_Return);
    QTest::qWait(2000);
    const int beforeSave = window.autoSaveTimer().remainingTime();
    test::Press(window, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!window.table().document().modified);
    // A coarse timer is off by up to a twentieth of its interval either way.
    QVERIFY2(window.autoSaveTimer().remainingTime() > beforeSave + 1000,
             qPrintable(QStringLiteral("%1 %2").arg(beforeSave).arg(window.autoSaveTimer().remainingTime())));
  }

  void commandEnablingFollowsTheDocument() {
    MainWindow window(settingsPath());
    window.show();
    window.tick();
    for (CommandId id : {CommandId::Save, CommandId::SaveAs, CommandId::Delete, CommandId::Undo, CommandId::Export,
                         CommandId::SortAscending, CommandId::MoveUp}) {
      QVERIFY2(!window.action(id)->isEnabled(), Command(id).menuText);
    }
    QVERIFY(window.action(CommandId::Open)->isEnabled());
    QVERIFY(window.action(CommandId::QuickGpsFix)->isEnabled());  // it looks for the device itself
    // Nothing to check or show on a map, and no device.
    for (CommandId id : {CommandId::Check, CommandId::GoogleMaps, CommandId::OpenDevice}) {
      QVERIFY2(!window.action(id)->isEnabled(), Command(id).menuText);
    }

    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    test::ClickRow(window, 2);
    window.tick();
    for (CommandId id : {CommandId::SaveAs, CommandId::Delete, CommandId::Export, CommandId::SortAscending,
                         CommandId::MoveUp, CommandId::Edit, CommandId::Copy}) {
      QVERIFY2(window.action(id)->isEnabled(), Command(id).menuText);
    }
    QVERIFY(!window.action(CommandId::Save)->isEnabled());  // not modified

    // With the toolbar hidden its own commands are greyed.
    window.action(CommandId::ShowToolbar)->trigger();
    for (CommandId id : {CommandId::LargeToolbar, CommandId::AutoWrapToolbar}) {
      QVERIFY(!window.action(id)->isEnabled());
    }
  }

  // With only the automatically inserted My Base Point row nothing is worth saving or sorting.
  void onlyMyBasePointLeft() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    window.settings().set(Switch::AutoBasePoint, true);
    window.settings().set(Switch::ShowDistance, true);
    window.settings().basePoints.entries = {u"Home>8.54170>47.37690>>"};
    test::OpenThroughMenu(window, CorpusFile("ov2/pinpoi_test.ov2"));
    PoiDocument& document = window.table().document();
    QCOMPARE(document.rowCount(), 3);
    QVERIFY(document.basePointPinned);
    test::ClickRow(window, 1);
    test::ClickRow(window, 2, Qt::ShiftModifier);
    test::Press(window, Qt::Key_Delete);
    QCOMPARE(document.rowCount(), 1);
    window.tick();
    for (CommandId id : {CommandId::Save, CommandId::SaveAs, CommandId::SortAscending, CommandId::MoveUp}) {
      QVERIFY2(!window.action(id)->isEnabled(), Command(id).menuText);
    }
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Cancel);
    window.action(CommandId::New)->trigger();
    QVERIFY(answerer.lastText().startsWith(QStringLiteral("Cancel the current POI file?")));
    QCOMPARE(document.rowCount(), 1);
  }

  // Commands without a dialog of their own: each one undo step.
  void messAndClearColumnAreOneUndoStepEach() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    PoiDocument& document = window.table().document();
    const std::u16string lat(document.text(3, kLat));
    const auto coordinates = [&document] {
      std::vector<std::u16string> texts;
      for (int row = 0; row < document.rowCount(); ++row) {
        for (const int column : {kLng, kLat}) texts.emplace_back(document.text(row, column));
      }
      return texts;
    };
    const std::vector<std::u16string> before = coordinates();
    test::Press(window, Qt::Key_A, Qt::ControlModifier);
    test::Press(window, Qt::Key_M, Qt::AltModifier);
    const std::vector<std::u16string> messed = coordinates();
    QVERIFY(messed != before);
    for (std::size_t i = 0; i < before.size(); ++i) {
      QVERIFY(std::abs(std::stod(Utf16ToUtf8(messed[i])) - std::stod(Utf16ToUtf8(before[i]))) <= 2.1e-5);
    }
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(coordinates() == before);

    test::ChooseFromHeaderMenu(window, kLat, QStringLiteral("Clear Column"));
    QVERIFY(std::ranges::all_of(document.rows, [](const PoiRecord& row) { return row.text(kLat).empty(); }));
    test::Press(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(document.text(3, kLat), std::u16string_view(lat));
    QVERIFY(!window.table().canUndo());
  }

  void copyAndPasteRowsThroughTheClipboard() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    test::ClickRow(window, 1);
    test::Press(window, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    QVERIFY(data->hasFormat(QStringLiteral("application/x-quillfern-poi-rows")));
    QVERIFY(data->text().startsWith(ToQString(window.table().document().text(1, kName))));
    window.tick();
    QVERIFY(window.action(CommandId::Paste)->isEnabled());
    test::Press(window, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(window.table().document().rowCount(), 10);
    QCOMPARE(window.table().document().text(1, kName), window.table().document().text(2, kName));
  }

  // While a cell is edited the editing keys belong to the edit box.
  void ctrlCInTheEditorCopiesTheCellText() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    test::DoubleClickCell(window, 2, kName);
    QVERIFY(OpenEditBox(window));
    test::Press(window, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    QCOMPARE(data->text(), ToQString(window.table().document().text(2, kName)));
    QVERIFY(!data->hasFormat(QStringLiteral("application/x-quillfern-poi-rows")));
  }

  // Edits of many rows tell what they do while they run, and "Ready" comes back afterwards.
  void rowEditsShowTheirStatusWhileTheyRun() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, CorpusFile("ov2/ov2-geo-out.ov2"));
    test::ClickRow(window, 1);
    StatusWatch watch(window);
    const struct {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      QList<MessageId> texts;
    } steps[] = {
        {Qt::Key_C, Qt::ControlModifier, {kCopying}},
        {Qt::Key_X, Qt::ControlModifier, {kCopying, kCutting}},
        {Qt::Key_V, Qt::ControlModifier, {kPasting}},
        {Qt::Key_Delete, Qt::NoModifier, {kDeleting}},
        {Qt::Key_Z, Qt::ControlModifier, {kUndoing}},
        {Qt::Key_Y, Qt::ControlModifier, {kRedoing}},
    };
    for (const auto& step : steps) {
      watch.shown.clear();
      test::Press(window, step.key, step.modifiers);
      QApplication::processEvents();  // paints "Ready" again
      QStringList expected;
      for (const MessageId id : step.texts) expected.append(ToQString(LoadString(id)));
      expected.append(ToQString(LoadString(kReady)));
      QCOMPARE(watch.shown, expected);
    }
  }

  // While a cell is edited no command's key runs, and a menu opens only once the cell took its value.
  void anOpenEditorHoldsTheKeysAndTheMenus() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    const fs::path file = copyOf("ov2/ov2-geo-out.ov2");
    QVERIFY(window.openPath(file));
    const PoiDocument& document = window.table().document();
    const std::vector<std::u16string> names = Names(document);
    test::DoubleClickCell(window, 2, kLat);
    test::Type(window, QStringLiteral("45.5"));
    const struct {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
    } commandKeys[] = {{Qt::Key_S, Qt::ControlModifier}, {Qt::Key_J, Qt::ControlModifier},
                       {Qt::Key_B, Qt::ControlModifier}, {Qt::Key_U, Qt::ControlModifier},
                       {Qt::Key_M, Qt::AltModifier}};
    for (const auto& key : commandKeys) {
      test::Press(window, key.key, key.modifiers);
      QVERIFY(window.cellEditor().isOpen());
      QCOMPARE(OpenEditBox(window)->text(), QStringLiteral("45.5"));
    }
    QVERIFY(!document.modified);
    QVERIFY(Names(document) == names);

    // A rejected latitude keeps the menus shut, by mouse and by key.
    OpenEditBox(window)->selectAll();
    test::Type(window, QStringLiteral("95"));
    QMenuBar* bar = window.menuBar();
    const QPoint fileTitle = bar->actionGeometry(window.recentFilesMenu()->menuAction()).center();
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    QTest::mouseClick(bar, Qt::LeftButton, {}, fileTitle);
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(!QApplication::activePopupWidget());
    answerer.answerNext(QMessageBox::Ok);
    test::Press(window, Qt::Key_F, Qt::AltModifier);
    QCOMPARE(answerer.answered(), 2);
    QVERIFY(!QApplication::activePopupWidget());
    QVERIFY(window.cellEditor().isOpen());

    test::Type(window, QStringLiteral("45.5"));  // the rejected text is selected: typing replaces it
    QTest::mouseClick(bar, Qt::LeftButton, {}, fileTitle);
    QVERIFY(!window.cellEditor().isOpen());
    QCOMPARE(QApplication::activePopupWidget(), window.recentFilesMenu());
    window.recentFilesMenu()->close();
    QCOMPARE(document.text(2, kLat), std::u16string_view(u"45.50000"));
  }

  void recentFilesKeepOneEntryPerFile() {
    MainWindow window(settingsPath());
    window.settings().fileCount = 3;
    for (const char* file : {"ov2/tomtom.ov2", "ov2/pinpoi_test.ov2", "ov2/tomtom.ov2", "ov2/ov2-geo-out.ov2",
                             "ov2/Speed_Cameras.ov2"}) {
      test::OpenThroughMenu(window, CorpusFile(file));
    }
    const auto& recent = window.settings().recentFiles;
    QCOMPARE(recent.size(), std::size_t{3});
    QCOMPARE(recent[0].filename(), fs::path("Speed_Cameras.ov2"));
    QCOMPARE(recent[1].filename(), fs::path("ov2-geo-out.ov2"));
    QCOMPARE(recent[2].filename(), fs::path("tomtom.ov2"));
    // A long corpus path may be shortened in the middle, so only the ends are certain.
    QString first;
    for (QAction* item : window.recentFilesMenu()->actions()) {
      if (item->text().startsWith(QStringLiteral("&1 "))) first = item->text();
    }
    QVERIFY2(first.endsWith(QStringLiteral("/Speed_Cameras.ov2")), qPrintable(first));
    // The third entry opens its file and comes first; the click rebuilds the list it is in.
    QAction* third = nullptr;
    for (QAction* item : window.recentFilesMenu()->actions()) {
      if (item->text().startsWith(QStringLiteral("&3 "))) third = item;
    }
    QVERIFY(third);
    third->trigger();
    QCOMPARE(window.table().document().title, std::u16string(u"tomtom"));
    QCOMPARE(recent[0].filename(), fs::path("tomtom.ov2"));

    // A file deep down is shown in the menu's 300 pixels, its name whole.
    const fs::path deep = fs::path(ToU16(folder_.path())) / std::string(60, 'd') / std::string(60, 'e') / "cafes.ov2";
    fs::create_directories(deep.parent_path());
    fs::copy_file(CorpusFile("ov2/tomtom.ov2"), deep, fs::copy_options::overwrite_existing);
    QVERIFY(window.openPath(deep));
    QString shown;
    for (QAction* item : window.recentFilesMenu()->actions()) {
      if (item->text().startsWith(QStringLiteral("&1 "))) shown = item->text();
    }
    QVERIFY2(shown.endsWith(QStringLiteral("/.../cafes.ov2")), qPrintable(shown));
    QVERIFY(QFontMetrics(window.recentFilesMenu()->font()).horizontalAdvance(shown.mid(3)) <= 300);
    // Its help in a narrow status bar keeps the file's name in view.
    window.show();
    window.resize(420, window.height());
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (QAction* item : window.recentFilesMenu()->actions()) {
      if (item->text().startsWith(QStringLiteral("&1 "))) item->hover();
    }
    const QString help = window.statusBar()->currentMessage();
    QVERIFY2(help.startsWith(QStringLiteral("Opens the recent file /")) && help.endsWith(QStringLiteral("/cafes.ov2")),
             qPrintable(help));
    QVERIFY(QFontMetrics(window.statusBar()->font()).horizontalAdvance(help) <= window.statusBar()->width() - 8);
  }

  void droppedFiles() {
    MainWindow window(settingsPath());
    auto drop = [&](const QList<QUrl>& urls) {
      QMimeData data;
      data.setUrls(urls);
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&window, &enter);
      QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&window, &event);
    };
    const QUrl tomtom = QUrl::fromLocalFile(ToQString(CorpusFile("ov2/tomtom.ov2").u16string()));
    drop({tomtom});
    QCOMPARE(window.table().document().rowCount(), 54);

    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    drop({tomtom, tomtom});
    QCOMPARE(answerer.lastText(), QStringLiteral("Only can open one POI file"));
    answerer.answerNext(QMessageBox::Ok);
    drop({QUrl::fromLocalFile(ToQString(CorpusFile("ov2/Speed_Cameras.bmp").u16string()))});
    QCOMPARE(answerer.lastText(), QStringLiteral("The file extension is unsupported\n\nSpeed_Cameras.bmp"));
  }

  // The timer saves only a document with a path, and never while a dialog is open.
  void automaticSaveWaitsForAPathAndForDialogs() {
    MainWindow untitled(settingsPath());
    QVERIFY(test::ShowActive(untitled));
    SaveAutomatically(untitled, 50);
    test::Press(untitled, Qt::Key_Return);  // Add
    test::Press(untitled, Qt::Key_Return);  // the proposed name
    QVERIFY(untitled.table().document().modified);
    QTest::qWait(300);  // no path: nothing is written and no dialog opens
    QVERIFY(untitled.table().document().modified);
    QVERIFY(!QApplication::activeModalWidget());
    untitled.table().document().modified = false;  // nothing to ask on the way out

    const fs::path path = copyOf("ov2/tomtom.ov2");
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    SaveAutomatically(window, 50);
    test::OpenThroughMenu(window, path);
    test::DoubleClickCell(window, 1, kName);
    test::Type(window, QStringLiteral("Renamed"));
    test::Press(window, Qt::Key_Return);
    test::DialogAnswerer answerer;
    answerer.handleNext([&](QWidget* dialog) {
      QTest::qWait(300);  // the timer fires several times meanwhile
      QVERIFY(window.table().document().modified);
      dialog->close();
    });
    QMessageBox::information(&window, QStringLiteral("t"), QStringLiteral("modal"));
    QCOMPARE(answerer.answered(), 1);
    QTRY_VERIFY(!window.table().document().modified);
    PoiDocument reread;
    SilentUserPort port;
    QCOMPARE(RunFileOperation(reread, FileOperation::Open, FileFormat::Ov2, path, window.settings(), port), 0);
    QVERIFY(std::ranges::count(Names(reread), u"Renamed") == 1);  // an optimised file keeps its own order
  }

  // What cannot be used of the settings is told once the window is up, and a file too large to be read
  // is not written over at exit.
  void unusableSettingsAreToldAndKept() {
    const fs::path large = fs::path(ToU16(folder_.path())) / "large.ini";
    const std::string content = std::string(2 << 20, '\n') + "[Options]\nShow Toolbar=0\n";
    std::ofstream(large, std::ios::binary) << content;
    {
      MainWindow window(large);
      window.show();
      test::DialogAnswerer answerer;
      answerer.answerNext(QMessageBox::Ok);
      window.openStartFile({});
      QCOMPARE(answerer.answered(), 1);
      QVERIFY(answerer.lastText().startsWith(QStringLiteral("The settings file is larger than 1 MB")));
      QVERIFY(window.settings().on(Switch::ShowToolbar));
      QVERIFY(window.close());
    }
    QVERIFY(FileBytes(large) == content);
  }

  void closingAsksAndSettingsSurviveARestart() {
    {
      MainWindow window(settingsPath());
      window.show();
      QVERIFY(test::ShowActive(window));
      window.action(CommandId::ShowStatusBar)->trigger();
      test::Press(window, Qt::Key_Return);  // Add
      test::Press(window, Qt::Key_Return);  // the proposed name
      test::DialogAnswerer answerer;
      answerer.answerNext(QMessageBox::Cancel);
      QVERIFY(!window.close());
      QVERIFY(answerer.lastText().startsWith(QStringLiteral("Save the current file?")));
      answerer.answerNext(QMessageBox::No);
      QVERIFY(window.close());
    }
    ProfileFile profile;
    QCOMPARE(profile.load(settingsPath()), ProfileLoad::Read);
    QCOMPARE(profile.getInt("Options", "Show Status Bar", 1), 0);
    profile.setString("Font", "Name", "DejaVu Sans");
    profile.setString("Font", "Height", "-20");
    QVERIFY(profile.save(settingsPath()));
    MainWindow again(settingsPath());
    again.show();
    QVERIFY(!again.statusBar()->isVisible());
    QCOMPARE(again.view().font().family(), QStringLiteral("DejaVu Sans"));
  }
};

}  // namespace qf

QTEST_MAIN(qf::MainWindowTest)
#include "main_window_test.moc"
