// The exchange with the route editor and between two editors: the fake route editor on one side,
// the real window on the other, offscreen.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QLocalServer>
#include <QToolBar>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "core/field_rules.h"
#include "core/profile_file.h"
#include "core/string_table.h"
#include "editing/clipboard_edits.h"
#include "editing/row_exchange.h"
#include "editing/ui/clipboard.h"
#include "editing/ui/poi_table_view.h"
#include "editing/ui/qt_text.h"
#include "fakes/fake_route_editor.h"
#include "formats/file_pipeline.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using test::CorpusFile;
using test::FakeRouteEditor;

namespace {

QByteArray Bytes(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

ExchangeRow Row(std::u16string name, std::u16string lng, std::u16string lat, std::u16string tel = {},
                std::u16string memo = {}) {
  return {{std::move(name), std::move(lng), std::move(lat), std::move(tel), std::move(memo)}};
}

ExchangeRows RowsOf(const PoiDocument& document, int first, int count) {
  ExchangeRows rows;
  for (int row = first; row < first + count; ++row) rows.push_back(MakeExchangeRow(document, row));
  return rows;
}

// The rows the route editor sends in the tests; the second has no valid position.
const ExchangeRows kRouteRows = {Row(u"Harbour", u"4.47917", u"51.92250"), Row(u"Nowhere", u"x", u"95"),
                                 Row(u"Mill", u"-3.18750", u"55.95333")};

// Delivers a drag's data to a table as the desktop does: entry, a move and the drop at a row.
Qt::DropAction DropOnto(PoiTableView& view, const QMimeData& data, int row, Qt::KeyboardModifiers modifiers) {
  const QPoint at(20, row < view.model()->rowCount() ? view.rowViewportPosition(row) + 1
                                                      : view.rowViewportPosition(row - 1) + view.rowHeight(0) - 1);
  const Qt::DropActions offered = Qt::MoveAction | Qt::CopyAction;
  QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(view.viewport(), &enter);
  if (!enter.isAccepted()) return Qt::IgnoreAction;
  QDragMoveEvent move(at, offered, &data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(view.viewport(), &move);
  if (!move.isAccepted()) return Qt::IgnoreAction;
  QDropEvent drop(at, offered, &data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(view.viewport(), &drop);
  return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// Presses on a row's name and moves away with the button held, so that the table starts its drag.
void DragRow(PoiTableView& view, int row) {
  const QPoint start = view.visualRect(view.model()->index(row, kName)).center();
  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
  // The first move readies the drag, the next one, far enough, starts it.
  for (const int distance : {1, 3 * QApplication::startDragDistance()}) {
    const QPoint at = start + QPoint(distance, 0);
    QMouseEvent move(QEvent::MouseMove, at, view.viewport()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
  }
  const QPoint away = start + QPoint(3 * QApplication::startDragDistance(), 0);
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, away);
}

// Leaves a socket file at a path as a program that died leaves it: bound once, nobody listening.
bool LeaveSocketBehind(const QString& path) {
  const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.toStdString().copy(address.sun_path, sizeof address.sun_path - 1);
  const bool bound = ::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(descriptor);
  return bound;
}

}  // namespace

class RouteExchangeTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  QTemporaryDir runtime_;
  fs::path settingsPath() const { return fs::path(ToU16(folder_.filePath(QStringLiteral("quillfern.ini")))); }

  // A window with a file of nine POIs open.
  std::unique_ptr<MainWindow> openWindow(bool checkName = false) {
    ProfileFile profile;
    profile.setInt("Options", "Check Name", checkName ? 1 : 0);
    profile.save(settingsPath());
    auto window = std::make_unique<MainWindow>(settingsPath());
    test::ShowActive(*window);
    test::OpenThroughMenu(*window, CorpusFile("ov2/ov2-geo-out.ov2"));
    return window;
  }

  fs::path camerasFile() {
    PoiDocument cameras;
    cameras.kind = DocumentKind::SafetyCamera;
    const int row = AppendPoi(cameras, u"Safety Camera", false);
    SetCoordinateText(cameras, row, kLng, u"13.4", false);
    SetCoordinateText(cameras, row, kLat, u"52.5", false);
    SetCell(cameras, row, kMemo, u"Fixed");
    const fs::path file = fs::path(ToU16(folder_.path())) / "cameras.ov2";
    SilentUserPort port;
    RunFileOperation(cameras, FileOperation::Save, FileFormat::Ov2, file, AppSettings{}, port);
    return file;
  }

 private slots:
  // Both ends meet in a runtime folder of the test's own, never in the user's.
  void initTestCase() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path())); }

  // Add ITNs writes the selected rows into its shared memory in the route editor's layout, and the
  // route editor reads exactly those bytes; the command is offered only while the route editor runs.
  void addItnsSendsTheSelectedRowsByteForByte() {
    auto window = openWindow();
    test::ClickRow(*window, 1);
    test::ClickRow(*window, 3, Qt::ShiftModifier);
    window->tick();
    QVERIFY(!window->action(CommandId::AddItns)->isEnabled());
    FakeRouteEditor routeEditor;
    QVERIFY(routeEditor.isListening());
    window->tick();
    QVERIFY(window->action(CommandId::AddItns)->isEnabled());

    window->action(CommandId::AddItns)->trigger();
    QCOMPARE(routeEditor.received.size(), 1);
    const QByteArray expected = Bytes(EncodePositionRecords(RowsOf(window->table().document(), 1, 3)));
    QCOMPARE(expected.size(), qsizetype(3 * 608));
    QCOMPARE(routeEditor.received[0], expected);
    QCOMPARE(window->table().document().rowCount(), 9);
  }

  // A route editor that is not there, busy, silent or gone before it read is told as busy; a
  // silent one costs no more than the half second, one that never finishes reading ten seconds.
  void addItnsToARouteEditorThatCannotTakeThem() {
    auto window = openWindow();
    test::ClickRow(*window, 0);
    const struct {
      const char* name;
      bool running;
      std::int32_t readyAnswer;
      FakeRouteEditor::Manner manner;
      bool told;
      int limitMs = 1500;
    } cases[] = {
        {"not running", false, 7, FakeRouteEditor::Manner::Answers, true},
        {"busy", true, 1, FakeRouteEditor::Manner::Answers, true},
        {"camera document", true, 2, FakeRouteEditor::Manner::Answers, true},
        {"never answers", true, 7, FakeRouteEditor::Manner::NeverAnswers, true},
        {"hangs up while reading", true, 7, FakeRouteEditor::Manner::HangsUpOnRead, false},
        {"never finishes reading", true, 7, FakeRouteEditor::Manner::NeverFinishesReading, false, 11000},
    };
    for (const auto& c : cases) {
      std::optional<FakeRouteEditor> routeEditor;
      if (c.running) {
        routeEditor.emplace();
        routeEditor->readyAnswer = c.readyAnswer;
        routeEditor->manner = c.manner;
      }
      test::DialogAnswerer answerer;
      answerer.answerNext(QMessageBox::Ok);
      QElapsedTimer clock;
      clock.start();
      window->run(CommandId::AddItns);
      QVERIFY2(clock.elapsed() < c.limitMs, c.name);
      QTest::qWait(50);
      QVERIFY2(answerer.answered() == (c.told ? 1 : 0), c.name);
      if (c.told) QCOMPARE(answerer.lastText(), UiText(kRouteEditorBusy));
      QCOMPARE(window->table().document().rowCount(), 9);
    }
  }

  // Rows from the route editor go in before the selected row, selected, as one undo step; a
  // position that is no coordinate leaves its cells empty.
  void receivesRowsFromTheRouteEditor() {
    auto window = openWindow();
    test::ClickRow(*window, 2);
    FakeRouteEditor routeEditor;
    QCOMPARE(routeEditor.send(Bytes(EncodePositionRecords(kRouteRows))), std::optional<std::int32_t>(7));
    const PoiDocument& document = window->table().document();
    QTRY_COMPARE(document.rowCount(), 12);
    QCOMPARE(document.text(2, kName), std::u16string_view(u"Harbour"));
    QCOMPARE(MakeExchangeRow(document, 2), kRouteRows[0]);
    QCOMPARE(document.text(3, kLng), std::u16string_view());
    QCOMPARE(document.text(3, kLat), std::u16string_view());
    QCOMPARE(MakeExchangeRow(document, 4), kRouteRows[2]);
    QCOMPARE(window->table().firstSelected(), 2);
    QVERIFY(document.modified);
    test::Press(*window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(document.rowCount(), 9);
    QVERIFY(!window->table().canUndo());
  }

  // With "Check Name" on a name already there asks the duplicates question; what it leaves out is
  // counted. With it off every row goes in.
  void receivedDuplicatesAskAndAreCounted() {
    for (const bool checkName : {true, false}) {
      auto window = openWindow(checkName);
      const std::u16string existing(window->table().document().text(4, kName));
      FakeRouteEditor routeEditor;
      const ExchangeRows rows = {Row(existing, u"1", u"2"), Row(u"Fresh", u"3", u"4")};
      test::DialogAnswerer question;
      QStringList told;
      question.handleNext([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        told << box->text();
        for (QAbstractButton* button : box->buttons()) {
          if (button->text() == u"&Eliminate") button->click();
        }
        // Then the count.
        question.answerNext(QMessageBox::Ok);
      });
      QCOMPARE(routeEditor.send(Bytes(EncodePositionRecords(rows))), std::optional<std::int32_t>(7));
      QTRY_COMPARE(window->table().document().rowCount(), checkName ? 10 : 11);
      QTRY_COMPARE(question.answered(), checkName ? 2 : 0);
      if (checkName) {
        QVERIFY(told[0].contains(ToQString(existing)));
        QCOMPARE(question.lastText(), ToQString(FormatMessage(kEliminatedDuplicates, 1)));
      }
    }
  }

  // While a dialog is open the editor answers busy and takes nothing; a safety-camera document
  // answers 2.
  void answersBusyAndForCameraDocuments() {
    auto window = openWindow();
    FakeRouteEditor routeEditor;
    QCOMPARE(routeEditor.askReady(), std::optional<std::int32_t>(7));

    std::optional<std::int32_t> duringDialog;
    std::optional<std::int32_t> sentDuringDialog;
    test::DialogAnswerer answerer;
    answerer.handleNext([&](QWidget* dialog) {
      duringDialog = routeEditor.askReady();
      sentDuringDialog = routeEditor.send(Bytes(EncodePositionRecords(kRouteRows)));
      dialog->close();
    });
    window->action(CommandId::Options)->trigger();
    QCOMPARE(duringDialog, std::optional<std::int32_t>(1));
    QCOMPARE(sentDuringDialog, std::optional<std::int32_t>(1));
    QCOMPARE(window->table().document().rowCount(), 9);

    test::OpenThroughMenu(*window, camerasFile());
    QCOMPARE(window->table().document().kind, DocumentKind::SafetyCamera);
    QCOMPARE(routeEditor.askReady(), std::optional<std::int32_t>(2));
    QCOMPARE(window->table().document().rowCount(), 1);
  }

  // A socket left behind by an editor that died is taken over; one of another user under the same
  // name is neither taken nor opened, and a route editor of another user is never sent to.
  void anotherUsersSocketIsNeverOpened() {
    const QString editorSocket = FakeRouteEditor::socketPath(QStringLiteral("Quillfern"));
    QVERIFY(LeaveSocketBehind(editorSocket));
    {
      auto window = openWindow();
      FakeRouteEditor routeEditor;
      QCOMPARE(routeEditor.askReady(), std::optional<std::int32_t>(7));
    }
    QVERIFY(!QFile::exists(editorSocket));
    if (::getuid() != 0) QSKIP("only root can leave files of another user");

    QVERIFY(LeaveSocketBehind(editorSocket));
    QCOMPARE(::chown(QFile::encodeName(editorSocket).constData(), 65534, 65534), 0);
    QLocalServer strangersRouteEditor;
    QVERIFY(strangersRouteEditor.listen(FakeRouteEditor::socketPath(QStringLiteral("Rookhaven"))));
    QCOMPARE(::chown(QFile::encodeName(strangersRouteEditor.fullServerName()).constData(), 65534, 65534), 0);
    {
      auto window = openWindow();
      FakeRouteEditor probe;  // cannot listen: the stranger's route editor holds the name
      QCOMPARE(probe.askReady(), std::nullopt);
      QVERIFY(QFile::exists(editorSocket));
      test::ClickRow(*window, 0);
      window->tick();
      QVERIFY(!window->action(CommandId::AddItns)->isEnabled());
      test::DialogAnswerer answerer;
      answerer.answerNext(QMessageBox::Ok);
      window->run(CommandId::AddItns);
      QTRY_COMPARE(answerer.answered(), 1);
      QCOMPARE(answerer.lastText(), UiText(kRouteEditorBusy));
      QVERIFY(!strangersRouteEditor.hasPendingConnections());
    }
    QFile::remove(editorSocket);
  }

  // Damaged memory leaves the document as it was or with the whole records before the damage;
  // memory that is not there at all is told.
  void damagedMemoryKeepsWholeRecordsOnly() {
    const QByteArray whole = Bytes(EncodePositionRecords(kRouteRows));
    // Name, Lng and Lat of the first record take this many bytes, the second record its own.
    const qsizetype first = 2 * (7 + 1 + 7 + 1 + 8 + 1);
    const struct {
      const char* name;
      QByteArray bytes;
      int added;
    } cases[] = {
        {"ends inside the second record", whole.left(first + 10), 1},
        {"ends after two records, no end mark", whole.left(first + 2 * (7 + 1 + 1 + 1 + 2 + 1)), 2},
        {"a name without its end", QByteArray("H\0a\0r\0", 6), 0},
        {"an odd byte", QByteArray(1, 'x'), 0},
    };
    for (const auto& c : cases) {
      auto window = openWindow();
      FakeRouteEditor routeEditor;
      routeEditor.send(c.bytes);
      QTRY_VERIFY2(window->table().document().rowCount() == 9 + c.added, c.name);
    }
    auto window = openWindow();
    FakeRouteEditor routeEditor;
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    routeEditor.readNowWithoutMemory();
    QTRY_COMPARE(answerer.answered(), 1);
    QCOMPARE(answerer.lastText(), UiText(kCannotReceiveNoMemory));
    QCOMPARE(window->table().document().rowCount(), 9);
  }

  // Rows dragged from one editor onto another's table go in at the drop row with all five fields;
  // with Shift they leave the first editor. Each side is one undo step.
  void dragsRowsOntoAnotherEditor() {
    for (const bool move : {false, true}) {
      auto source = openWindow();
      auto target = openWindow();
      const PoiDocument& sent = source->table().document();
      const PoiDocument& taken = target->table().document();
      test::ClickRow(*source, 1);
      test::ClickRow(*source, 2, Qt::ShiftModifier);
      const ExchangeRows rows = RowsOf(sent, 1, 2);
      source->view().setDragRunner([&](const QMimeData& data) {
        return DropOnto(target->view(), data, 5, move ? Qt::ShiftModifier : Qt::NoModifier);
      });
      DragRow(source->view(), 1);
      QTRY_COMPARE(taken.rowCount(), 11);
      QCOMPARE(RowsOf(taken, 5, 2), rows);
      QCOMPARE(sent.rowCount(), move ? 7 : 9);

      test::Press(*target, Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(taken.rowCount(), 9);
      if (move) {
        test::Press(*source, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(RowsOf(sent, 1, 2), rows);
      }
    }
  }

  // A target in another program asks for the rows only after the drop, when a move has taken
  // them away: the drag still carries the rows dragged.
  void aTargetAskingAfterTheDropGetsTheDraggedRows() {
    auto source = openWindow();
    test::ClickRow(*source, 2);
    const ExchangeRows rows = RowsOf(source->table().document(), 2, 1);
    QPointer<const QMimeData> late;
    source->view().setDragRunner([&](const QMimeData& data) {
      late = &data;
      return Qt::MoveAction;
    });
    DragRow(source->view(), 2);
    QCOMPARE(source->table().document().rowCount(), 8);
    QVERIFY(late);
    QCOMPARE(DroppedRows(late), rows);
  }

  // What a drag carries: the five fields in the drag layout and the text, only from a plain POI
  // document. A rich POI file's memo stays home.
  void aDragCarriesTheRowsAndTheirText() {
    auto window = openWindow();
    test::ClickRow(*window, 0);
    const std::unique_ptr<QMimeData> data(window->view().dragData());
    const ExchangeRows rows = RowsOf(window->table().document(), 0, 1);
    QCOMPARE(data->data(kPoiRowsType), Bytes(EncodeDragData(rows, false)));
    QCOMPARE(DroppedRows(data.get()), rows);
    QVERIFY(data->text().startsWith(ToQString(rows[0].texts[kName])));

    test::OpenThroughMenu(*window, camerasFile());
    test::ClickRow(*window, 0);
    const std::unique_ptr<QMimeData> cameras(window->view().dragData());
    QVERIFY(!cameras->hasFormat(kPoiRowsType));
    QVERIFY(!cameras->hasText());
  }

  // Rows are taken only over the rows of a plain POI document while no dialog is open; the route
  // editor's drag brings its positions, and damaged data only its whole records.
  void dropsAreTakenOnlyWhereTheyBelong() {
    auto window = openWindow();
    QMimeData rows;
    rows.setData(kPoiRowsType, Bytes(EncodeDragData(kRouteRows, false)));

    // Not over the header or the toolbar.
    QDragEnterEvent overHeader(QPoint(20, 5), Qt::CopyAction, &rows, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->view().horizontalHeader()->viewport(), &overHeader);
    QVERIFY(!overHeader.isAccepted());
    QToolBar* toolbar = window->findChild<QToolBar*>();
    QDragEnterEvent overToolbar(QPoint(20, 5), Qt::CopyAction, &rows, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(toolbar, &overToolbar);
    QVERIFY(!overToolbar.isAccepted());

    // Not while a dialog is open.
    Qt::DropAction duringDialog = Qt::CopyAction;
    test::DialogAnswerer answerer;
    answerer.handleNext([&](QWidget* dialog) {
      duringDialog = DropOnto(window->view(), rows, 0, Qt::NoModifier);
      dialog->close();
    });
    window->action(CommandId::Options)->trigger();
    QCOMPARE(duringDialog, Qt::IgnoreAction);
    QCOMPARE(window->table().document().rowCount(), 9);

    // The route editor's drag, and a damaged one, at the end of the table.
    QMimeData route;
    route.setData(kRouteRowsType, Bytes(EncodeRouteDragRecords(kRouteRows)));
    QCOMPARE(DropOnto(window->view(), route, 9, Qt::NoModifier), Qt::CopyAction);
    QTRY_COMPARE(window->table().document().rowCount(), 12);
    QCOMPARE(MakeExchangeRow(window->table().document(), 11), kRouteRows[2]);
    QMimeData damaged;
    damaged.setData(kPoiRowsType, Bytes(EncodeDragData(kRouteRows, false)).chopped(5));
    QCOMPARE(DropOnto(window->view(), damaged, 0, Qt::NoModifier), Qt::CopyAction);
    QTRY_COMPARE(window->table().document().rowCount(), 14);
    QCOMPARE(window->table().document().text(0, kName), std::u16string_view(u"Harbour"));

    // Not into a safety-camera document.
    auto cameras = openWindow();
    test::OpenThroughMenu(*cameras, camerasFile());
    QCOMPARE(DropOnto(cameras->view(), rows, 0, Qt::NoModifier), Qt::IgnoreAction);
    QCOMPARE(cameras->table().document().rowCount(), 1);
  }
};

}  // namespace qf

QTEST_MAIN(qf::RouteExchangeTest)
#include "route_exchange_test.moc"
