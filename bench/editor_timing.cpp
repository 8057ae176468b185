// Times the desktop editor as a person drives it, offscreen. On a large file: start-up until the
// first rows are painted, a header click that sorts every row, its undo, a page down at the end,
// Select All with Del from the middle of the table and its undo, a Replace All through the Replace
// dialog that changes every Name and its undo, and a paste of 100,000 rows from the clipboard into
// the middle of the table and its undo, and the same rows received from a stand-in of the route
// editor and their undo. Then on generated data: the similar-names check of 100,000
// names through the check dialog and its results window, and Convert Formats of a folder of
// 1,000 files.
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <set>

#include "core/poi_record.h"
#include "core/user_port.h"
#include "editing/row_exchange.h"
#include "editing/ui/clipboard.h"
#include "editing/ui/find_dialog.h"
#include "editing/ui/poi_table_view.h"
#include "editing/ui/qt_text.h"
#include "fakes/fake_route_editor.h"
#include "formats/file_format.h"
#include "formats/file_pipeline.h"
#include "poi_generator.h"
#include "shell/command_state.h"
#include "shell/ui/check_results_window.h"
#include "shell/ui/convert_formats_dialog.h"
#include "shell/ui/main_window.h"
#include "startup/huge_pages.h"
#include "window_driver.h"

namespace qf::bench {

namespace {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

constexpr int kPastedRows = 100'000;
constexpr int kSimilarNamesRows = 100'000;
constexpr int kConvertedFiles = 1'000;
constexpr int kPoisPerFile = 100;

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void Repaint(MainWindow& window) { window.view().viewport()->repaint(); }

void Activate(QWidget& window) {
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) Fail(u"the window did not become active"_s);
}

void Save(PoiDocument& document, fs::path path) {
  AppSettings settings;
  SilentUserPort port;
  const FileFormat format = WriteFormatForPath(path, TextEncoding::Utf8);
  if (RunFileOperation(document, FileOperation::Save, format, path, settings, port) != 0) {
    Fail(u"cannot write "_s + ToQString(path.u16string()));
  }
}

void TimeTheLargeTable(MainWindow& window) {
  QHeaderView* header = window.view().horizontalHeader();
  const QPoint name(header->sectionViewportPosition(kName) + 5, header->height() / 2);
  QElapsedTimer timer;
  timer.start();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
  Repaint(window);
  Report("header click sorting by Name, repainted", timer);

  timer.restart();
  window.run(CommandId::Undo);
  Repaint(window);
  Report("undo of the sort, repainted", timer);

  window.view().scrollToBottom();
  Repaint(window);
  QScrollBar* bar = window.view().verticalScrollBar();
  bar->setValue(bar->maximum() - 3 * bar->pageStep());
  Repaint(window);
  timer.restart();
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  Repaint(window);
  Report("page down near the end, repainted", timer);

  // Select All and Del with the table scrolled to the middle, as a person does it, and its undo.
  Activate(window);
  window.view().setFocus();
  bar->setValue(bar->maximum() / 2);
  Repaint(window);
  timer.restart();
  QTest::keyClick(&window.view(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&window.view(), Qt::Key_Delete);
  Repaint(window);
  Report("select all and delete from the middle", timer);
  timer.restart();
  QTest::keyClick(&window.view(), Qt::Key_Z, Qt::ControlModifier);
  Repaint(window);
  Report("undo of the deletion, repainted", timer);
  std::printf("%-52s %8d\n", "rows after the undo", window.view().model()->rowCount());
}

void TimeReplaceAll(MainWindow& window) {
  // Every generated name ends in x: replacing it changes the Name of every row.
  window.run(CommandId::Replace);
  auto* dialog = window.findChild<FindDialog*>();
  const QList<QLineEdit*> edits = dialog->findChildren<QLineEdit*>();
  edits[0]->setText(u"x"_s);
  edits[1]->setText(u"y"_s);
  for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
    const QString text = box->text().remove(u'&');
    box->setChecked(text == u"Only Name column"_s || text == u"Replace all match data"_s);
  }
  QElapsedTimer timer;
  timer.start();
  Named<QPushButton>(dialog, u"OK"_s)->click();
  Repaint(window);
  Report("replace all in every Name (dialog), repainted", timer, 1500);
  timer.restart();
  window.run(CommandId::Undo);
  Repaint(window);
  Report("undo of the replace all, repainted", timer, 1000);
  dialog->close();
}

// A fresh history, and a click on a row in the middle of the table, scrolled there as a person does.
void ClickTheMiddleRow(MainWindow& window) {
  window.table().clearHistory();
  Activate(window);
  QScrollBar* bar = window.view().verticalScrollBar();
  bar->setValue(bar->maximum() / 2);
  Repaint(window);
  QTest::mouseClick(window.view().viewport(), Qt::LeftButton, {}, {20, window.view().viewport()->height() / 2});
}

// Ctrl+Z until repainted; the run fails unless it brought the table back to `rows` in one step.
void TimeUndo(MainWindow& window, Timings& undo, int rows, const QString& failure) {
  QElapsedTimer timer;
  timer.start();
  QTest::keyClick(&window.view(), Qt::Key_Z, Qt::ControlModifier);
  Repaint(window);
  undo.add(timer);
  if (window.view().model()->rowCount() != rows || window.table().canUndo()) Fail(failure);
}

// Rows copied in another window are pasted with Ctrl+V onto a row in the middle of the table,
// and taken back with Ctrl+Z: one undo step each time.
void TimePaste(MainWindow& window) {
  PoiDocument copied = GeneratePois(kPastedRows, Shape::World, 7);
  for (PoiRecord& row : copied.rows) row.selected = true;
  CopyRows(copied, true);
  window.tick();  // the enabling follows the clipboard
  const int rows = window.view().model()->rowCount();
  Timings paste("paste 100,000 rows in the middle, repainted", 1000);
  Timings undo("undo of the paste, repainted", 500);
  for (int run = 0; run < 5; ++run) {
    ClickTheMiddleRow(window);
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(&window.view(), Qt::Key_V, Qt::ControlModifier);
    Repaint(window);
    paste.add(timer);
    if (window.view().model()->rowCount() != rows + kPastedRows) Fail(u"the paste did not insert every row"_s);
    TimeUndo(window, undo, rows, u"the paste was not one undo step"_s);
  }
  paste.print();
  undo.print();
}

// The same rows sent by a stand-in of the route editor, received before a row in the middle of the
// table until repainted, and taken back with Ctrl+Z: one undo step each time.
void TimeReceive(MainWindow& window) {
  const PoiDocument sent = GeneratePois(kPastedRows, Shape::World, 7);
  ExchangeRows rows;
  for (int row = 0; row < sent.rowCount(); ++row) rows.push_back(MakeExchangeRow(sent, row));
  const std::vector<std::uint8_t> records = EncodePositionRecords(rows);
  const QByteArray block(reinterpret_cast<const char*>(records.data()), static_cast<qsizetype>(records.size()));
  test::FakeRouteEditor routeEditor;
  const int before = window.view().model()->rowCount();
  Timings receive("receive 100,000 rows in the middle, repainted", 1000);
  Timings undo("undo of the received rows, repainted", 500);
  for (int run = 0; run < 5; ++run) {
    ClickTheMiddleRow(window);
    QElapsedTimer timer;
    timer.start();
    if (routeEditor.send(block) != 7) Fail(u"the editor was not ready to receive"_s);
    // The rows go in once the sender has been answered.
    while (window.view().model()->rowCount() != before + kPastedRows && timer.elapsed() < 10'000) {
      QCoreApplication::processEvents();
    }
    Repaint(window);
    receive.add(timer);
    if (window.view().model()->rowCount() != before + kPastedRows) Fail(u"not every row was received"_s);
    TimeUndo(window, undo, before, u"the received rows were not one undo step"_s);
  }
  receive.print();
  undo.print();
}

// The check dialog set to similar names only, and its OK clicked with the timer started.
ModalAnswers::Answer CheckSimilarNames(QElapsedTimer& timer) {
  return [&timer](QWidget* dialog) {
    Named<QCheckBox>(dialog, u"Similar names"_s)->setChecked(true);
    Named<QCheckBox>(dialog, u"Near distances"_s)->setChecked(false);
    Named<QCheckBox>(dialog, u"Empty coordinates"_s)->setChecked(false);
    timer.start();
    Named<QPushButton>(dialog, u"OK"_s)->click();
  };
}

// Three checks to their first group; then groups one after the other with Continue, and in each a
// listed row deleted in the table, which the results window follows.
void TimeSimilarNames(MainWindow& window, const fs::path& folder) {
  PoiDocument names = GeneratePois(kSimilarNamesRows, Shape::Similar);
  const fs::path file = folder / "similar.ov2";
  Save(names, file);
  ModalAnswers answers;
  if (window.table().document().modified) {
    answers.add([](QWidget* box) { static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click(); });
  }
  if (!window.openPath(file)) Fail(u"cannot open the generated file"_s);
  Timings first("similar names of 100,000: first group after OK", 1500);
  Timings next("similar names: next group on Continue", 300);
  Timings deletion("results window following a deleted row", 20);
  CheckResultsWindow* results = nullptr;
  for (int run = 0; run < 3; ++run) {
    QElapsedTimer timer;
    answers.add(CheckSimilarNames(timer));
    window.action(CommandId::Check)->trigger();
    results = window.findChild<CheckResultsWindow*>();
    if (!results || !results->isVisible()) Fail(u"no group of similar names"_s);
    results->repaint();
    first.add(timer);
    if (run == 2) break;
    Named<QPushButton>(results, u"Cancel"_s)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  auto* list = results->findChild<QTreeWidget*>();
  for (int group = 0; group < 20; ++group) {
    QElapsedTimer timer;
    timer.start();
    Named<QPushButton>(results, u"Continue"_s)->click();
    results->repaint();
    next.add(timer);
    if (!results->isVisible() || list->topLevelItemCount() < 2) Fail(u"the check ended early"_s);
    // The second result visited from the window, and its row clicked and deleted in the table.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(1)).center());
    Named<QPushButton>(results, u"Go To"_s)->click();
    Activate(window);
    const int listed = list->topLevelItemCount();
    const QModelIndex row = window.view().model()->index(window.table().firstSelected(), kName);
    QTest::mouseClick(window.view().viewport(), Qt::LeftButton, {}, window.view().visualRect(row).center());
    QCoreApplication::processEvents();  // a key comes a moment after the click: the activation is through
    timer.restart();
    QTest::keyClick(&window.view(), Qt::Key_Delete);
    QCoreApplication::processEvents();
    results->repaint();
    deletion.add(timer);
    if (list->topLevelItemCount() != listed - 1) Fail(u"the results did not follow the deletion"_s);
  }
  first.print();
  next.print();
  deletion.print();
  Named<QPushButton>(results, u"Cancel"_s)->click();
}

// Files of the formats Convert Formats turns into OV2, in turn.
void WriteFolderToConvert(const fs::path& folder) {
  fs::create_directory(folder);
  static constexpr const char* kExtensions[] = {".gpx", ".kml", ".csv"};
  for (int i = 0; i < kConvertedFiles; ++i) {
    PoiDocument pois = GeneratePois(kPoisPerFile, Shape::World, static_cast<std::uint32_t>(i + 1));
    Save(pois, folder / ("pois" + std::to_string(i) + kExtensions[i % 3]));
  }
}

// The folder converted to OV2 from the Convert Folder dialog, until the count is shown; the
// status line's progress is sampled meanwhile.
void TimeConvertFormats(MainWindow& window, const fs::path& folder) {
  WriteFolderToConvert(folder);
  Timings converting("convert formats of 1,000 files (window)", 3000);
  QString count;
  std::set<QString> progress;
  QTimer sampler;
  sampler.setInterval(50);
  QObject::connect(&sampler, &QTimer::timeout, [&window, &progress] {
    for (const QLabel* label : window.statusBar()->findChildren<QLabel*>()) {
      if (label->text().contains(u"press Esc to stop"_s)) progress.insert(label->text());
    }
  });
  for (int run = 0; run < 3; ++run) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() == ".ov2") fs::remove(entry.path());
    }
    QElapsedTimer timer;
    ModalAnswers answers;
    answers.add([&folder, &timer](QWidget* dialog) {
      static_cast<ConvertFormatsDialog*>(dialog)->selectFolder(folder);
      Named<QRadioButton>(dialog, u"Convert to ov2"_s)->click();
      timer.start();
      Named<QPushButton>(dialog, u"OK"_s)->click();
    });
    answers.add([&timer, &converting, &count](QWidget* dialog) {
      converting.add(timer);
      auto* box = static_cast<QMessageBox*>(dialog);
      count = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    sampler.start();
    window.action(CommandId::ConvertFormats)->trigger();
    sampler.stop();
    if (!answers.allGiven()) Fail(u"the conversion did not end with its count"_s);
  }
  converting.print();
  std::printf("%-52s %s, %zu progress texts seen\n", "  its message", qPrintable(count), progress.size());
  if (progress.empty()) Fail(u"no progress was shown"_s);
}

}  // namespace

}  // namespace qf::bench

int main(int argc, char* argv[]) {
  using namespace qf::bench;
  qf::UseHugePagesForHeap(argv);  // as the editor itself does
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc != 3) {
    std::fprintf(stderr, "usage: editor_timing FILE SETTINGS\n");
    return 2;
  }
  // The exchange's sockets go to a folder of this run's own.
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  QElapsedTimer timer;
  timer.start();
  QApplication application(argc, argv);
  qf::MainWindow window(argv[2]);
  window.resize(1200, 800);
  window.show();
  window.openStartFile(argv[1]);
  Repaint(window);
  Report("start with the file until the table is painted", timer);
  std::printf("%-52s %8ld MB\n", "peak memory after start", PeakMegabytes());
  std::printf("%-52s %8d\n", "rows", window.view().model()->rowCount());
  TimeTheLargeTable(window);
  TimeReplaceAll(window);
  TimePaste(window);
  TimeReceive(window);
  std::printf("%-52s %8ld MB\n", "peak memory", PeakMegabytes());

  QTemporaryDir folder;
  const std::filesystem::path path = folder.path().toStdString();
  TimeSimilarNames(window, path);
  TimeConvertFormats(window, path / "convert");
  folder.remove();
  // The window must not write settings or ask anything on the way out.
  std::fflush(stdout);
  std::_Exit(0);
}
