// The map beside the table, driven as a person would and through the page's own script: its tiles
// come from a fake server on this machine, its geocoder too.
#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <memory>

#include "core/poi_record.h"
#include "editing/ui/cell_editor.h"
#include "editing/ui/qt_text.h"
#include "fakes/fake_geocoder.h"
#include "fakes/fake_tile_server.h"
#include "map/ui/map_pane.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

// The value of a script run in the page, once the page has answered.
QVariant Js(QWebEngineView* web, const QString& script) {
  QVariant result;
  bool answered = false;
  web->page()->runJavaScript(script, [&](const QVariant& value) {
    result = value;
    answered = true;
  });
  QElapsedTimer waited;
  waited.start();
  while (!answered && waited.elapsed() < 20000) QTest::qWait(10);
  return result;
}

// The POIs on the page, as "name|lng|lat".
QStringList Pois(QWebEngineView* web) {
  return Js(web, u"g_names.map((name, i) => name === null ? null : name + '|' + fixed(g_lngs[i]) + '|' + fixed(g_lats[i]))"
                 ".filter(poi => poi !== null)"_s)
      .toStringList();
}

// A row's five texts, one after the other.
QString RowTexts(const PoiDocument& document, int row) {
  QStringList texts;
  for (const int column : {kName, kLng, kLat, kTel, kMemo}) texts << ToQString(document.text(row, column));
  return texts.join(u'|');
}

// A text as a script's string literal.
QString Quoted(const QString& text) {
  const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// The index the page gave the marker of a POI, or 0.
int MarkerIndex(QWebEngineView* web, const QString& name) {
  return Js(web, u"Math.max(g_names.indexOf(%1), 0)"_s.arg(Quoted(name))).toInt();
}

}  // namespace

class MapPaneTest : public QObject {
  Q_OBJECT

  QTemporaryDir root_;
  std::unique_ptr<test::FakeTileServer> tiles_;
  std::unique_ptr<test::FakeGeocoder> geocoder_;
  std::unique_ptr<MainWindow> window_;
  MapPane* map_ = nullptr;

  QWebEngineView* web() const { return map_->webView(); }
  PoiDocument& document() { return window_->table().document(); }

  // The map of every row: an opened file has its first row selected, which alone would be shown.
  void openMap() {
    window_->table().clearSelection();
    window_->afterEdit();
    window_->run(CommandId::GoogleMaps);
    QTRY_VERIFY_WITH_TIMEOUT(map_->pageReady(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(Js(web(), u"g_viewDrawn"_s) == QVariant(true), 30000);
  }

 private slots:
  void initTestCase() {
    QVERIFY(root_.isValid());
    tiles_ = std::make_unique<test::FakeTileServer>();
    geocoder_ = std::make_unique<test::FakeGeocoder>();
  }

  void init() {
    const QString settings = root_.filePath(u"quillfern.ini"_s);
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Services]\r\nMap Tiles=" + QByteArray::fromStdString(tiles_->tileUrl()) +
               "\r\nGeocoder=xml\r\nGeocoder Host=" + QByteArray::fromStdString(geocoder_->url()) + "\r\n");
    file.close();
    window_ = std::make_unique<MainWindow>(fs::path(ToU16(settings)));
    auto map = std::make_unique<MapPane>(*window_);
    map_ = map.get();
    window_->setMapServices(std::move(map));
    QVERIFY(test::ShowActive(*window_));
    QVERIFY(window_->openPath(test::CorpusFile("ov2/tomtom.ov2")));
  }

  void cleanup() {
    document().modified = false;
    window_.reset();
  }

  // F5 shows the chosen rows; the tiles come from the test's own server.
  void theChosenRowsGetMarkers() {
    const int rows = document().rowCount();
    QVERIFY(rows > 3);
    test::ClickRow(*window_, 1);
    test::ClickRow(*window_, 2, Qt::ControlModifier);
    test::ClickRow(*window_, 3, Qt::ControlModifier);
    test::Press(*window_, Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(map_->pageReady(), 30000);
    QVERIFY(map_->pane()->isVisible());
    QTRY_COMPARE(Pois(web()).size(), 3);
    QVERIFY(MarkerIndex(web(), ToQString(document().text(2, kName))) > 0);

    openMap();
    QTRY_COMPARE(Pois(web()).size(), rows);
    QTRY_VERIFY_WITH_TIMEOUT(!tiles_->requests().empty(), 10000);
    // The tile server's usage policy asks to know the program.
    QVERIFY(QString::fromStdString(tiles_->requests().front().userAgent).contains(u"Quillfern/"_s));
  }

  // A marker dragged and updated changes exactly its row, as one undo step.
  void aDraggedMarkerUpdatesItsRow() {
    openMap();
    QStringList before;
    for (int row = 0; row < document().rowCount(); ++row) before << RowTexts(document(), row);
    const int index = MarkerIndex(web(), ToQString(document().text(1, kName)));
    QVERIFY(index > 0);
    const double lat = ToQString(document().text(1, kLat)).toDouble() + 0.5;
    Js(web(), u"revealPoi(%1); var m = markerOf(%1); m.setLatLng([g_lats[%1] + 0.5, g_lngs[%1] + 0.25]);"
              "m.fire('dragend'); OnUpdate(%1); 0"_s.arg(index));
    QTRY_COMPARE(ToQString(document().text(1, kLat)), QString::number(lat, 'f', 5));
    for (int row = 0; row < document().rowCount(); ++row) {
      if (row != 1) QCOMPARE(RowTexts(document(), row), before[row]);
    }
    // The undo takes the moved marker off; the row it selects brings the marker back to its place.
    window_->run(CommandId::Undo);
    QCOMPARE(RowTexts(document(), 1), before[1]);
    QVERIFY(map_->mapShown());
    QTRY_VERIFY(Pois(web()).contains(before[1].section(u'|', 0, 2)));
  }

  // "Update all moved markers": the host asks the page for each moved marker's update in turn.
  void allMovedMarkersAreAppliedOneUndoStepEach() {
    openMap();
    QStringList before;
    for (int row = 0; row < document().rowCount(); ++row) before << RowTexts(document(), row);
    for (const int row : {3, 5}) {
      const int index = MarkerIndex(web(), ToQString(document().text(row, kName)));
      QVERIFY(index > 0);
      Js(web(), u"revealPoi(%1); var m = markerOf(%1); m.setLatLng([g_lats[%1] - 1, g_lngs[%1] + 1]);"
                "m.fire('dragend'); 0"_s.arg(index));
    }
    Js(web(), u"queueMessage('<\\t2'); 0"_s);
    QTRY_VERIFY(RowTexts(document(), 3) != before[3] && RowTexts(document(), 5) != before[5]);
    QCOMPARE(ToQString(document().text(5, kLat)),
             QString::number(before[5].section(u'|', 2, 2).toDouble() - 1, 'f', 5));
    for (int row = 0; row < document().rowCount(); ++row) {
      if (row != 3 && row != 5) QCOMPARE(RowTexts(document(), row), before[row]);
    }
    window_->run(CommandId::Undo);
    QCOMPARE(RowTexts(document(), 5), before[5]);
    QVERIFY(RowTexts(document(), 3) != before[3]);
    window_->run(CommandId::Undo);
    QCOMPARE(RowTexts(document(), 3), before[3]);
  }

  void clickingAMarkerSelectsItsRowAndTheMapAddsAndDeletes() {
    openMap();
    const int rows = document().rowCount();
    const QString name = ToQString(document().text(2, kName));
    Js(web(), u"revealPoi(%1); markerOf(%1).fire('click'); 0"_s.arg(MarkerIndex(web(), name)));
    QTRY_COMPARE(window_->table().firstSelected(), 2);

    Js(web(), u"OnAdd(%1); 0"_s.arg(MarkerIndex(web(), name)));
    QTRY_COMPARE(document().rowCount(), rows + 1);
    QCOMPARE(ToQString(document().text(rows, kName)), name);

    Js(web(), u"OnDelete(%1); 0"_s.arg(MarkerIndex(web(), name)));
    QTRY_COMPARE(document().rowCount(), rows);
    QCOMPARE(Pois(web()).size(), rows - 1);
  }

  // A row changed in the table loses its stale marker; selected, it shows at its new place.
  void aPoiEditedInTheTableMovesItsMarker() {
    openMap();
    const QString name = ToQString(document().text(0, kName));
    window_->table().setCell(0, kLat, u"10.00000");
    QTRY_COMPARE(MarkerIndex(web(), name), 0);
    test::ClickRow(*window_, 0);
    QTRY_VERIFY(Pois(web()).filter(name + u'|').join(u' ').endsWith(u"|10.00000"_s));
  }

  // A document larger than one function of marker lines reaches the page whole.
  void everyRowOfALargeDocumentGetsAMarker() {
    const QString path = root_.filePath(u"many.csv"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    constexpr int kRows = 10050;
    for (int row = 0; row < kRows; ++row) {
      file.write(QByteArray::number(-170 + row % 340) + ".5," + QByteArray::number(-80 + row % 160) + ".25,Row " +
                 QByteArray::number(row) + "\n");
    }
    file.close();
    QVERIFY(window_->openPath(ToU16(path)));
    QCOMPARE(document().rowCount(), kRows);
    openMap();
    QTRY_COMPARE(Pois(web()).size(), kRows);
    QVERIFY(Pois(web()).contains(u"Row 10049|19.50000|49.25000"_s));
  }

  // A POI's texts are only ever text on the page.
  void aHostileNameStaysText() {
    const QString hostile = u"</script><img src=x onerror=\"document.title='owned'\">'\\"_s;
    window_->table().setCell(0, kName, ToU16(hostile));
    openMap();
    QVERIFY(MarkerIndex(web(), hostile) > 0);
    QCOMPARE(Js(web(), u"document.querySelectorAll('img[src=\"x\"]').length"_s).toInt(), 0);
    QCOMPARE(Js(web(), u"document.title"_s).toString(), u"Quillfern for TomTom"_s);
  }

  // Keys that edit text stay with the page; F5 reloads it and the splitter closes it.
  void theKeyboardAndTheSplitter() {
    openMap();
    const int rows = document().rowCount();
    web()->setFocus();
    QTRY_VERIFY(map_->pane()->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    QCOMPARE(document().rowCount(), rows);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(map_->pageReady(), 30000);

    auto* splitter = qobject_cast<QSplitter*>(window_->centralWidget());
    QVERIFY(splitter);
    splitter->setSizes({splitter->width() - 300, 300});
    const int width = map_->pane()->width();
    QTest::mouseDClick(splitter->handle(1), Qt::LeftButton);
    QVERIFY(!map_->mapShown());
    window_->run(CommandId::GoogleMaps);
    QTRY_VERIFY(map_->mapShown());
    QCOMPARE(map_->pane()->width(), width);

    // Closing the editor with the map shown blanks and hides it first, and keeps its width.
    QVERIFY(window_->close());
    QVERIFY(!map_->mapShown());
    QFile settings(root_.filePath(u"quillfern.ini"_s));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(settings.readAll().contains("IE Pane=" + QByteArray::number(width)));
  }

  void aHoveredLinkSaysWhatItDoes() {
    openMap();
    auto* status = window_->statusBar()->findChild<QLabel*>();
    emit web()->page()->linkHovered(u"javascript:OnUpdate(3)"_s);
    window_->tick();
    QCOMPARE(status->text(), u"Updates the POI data identified by the marker info"_s);
    emit web()->page()->linkHovered(u"javascript:void(0)"_s);
    window_->tick();
    QCOMPARE(status->text(), QString());
    emit web()->page()->linkHovered(web()->url().toString() + u"#"_s);
    window_->tick();
    QCOMPARE(status->text(), QString());
    emit web()->page()->linkHovered(QString());
    window_->tick();
    QCOMPARE(status->text(), u"Ready"_s);
  }

  // Query Coordinates asks the fake service for the memo's address, one undo step for the run.
  void queryCoordinatesFromTheWindow() {
    const int row = window_->table().addRow();
    window_->cellEditor().cancel();
    window_->table().setCell(row, kMemo, u"Dam 1, Amsterdam");
    window_->table().selectAndFocus(row);
    geocoder_->script({{.status = 200,
                        .body = "<GeocodeResponse><status>OK</status><result><formatted_address>Dam 1, Amsterdam</formatted_address>"
                                "<geometry><location><lat>52.37310</lat><lng>4.89300</lng></location></geometry></result>"
                                "</GeocodeResponse>",
                        .dropped = false}});
    window_->afterEdit();
    QVERIFY(window_->action(CommandId::QueryCoordinates)->isEnabled());
    test::Press(*window_, Qt::Key_Q, Qt::AltModifier);
    QTRY_COMPARE(ToQString(document().text(row, kLat)), u"52.37310"_s);
    QCOMPARE(ToQString(document().text(row, kLng)), u"4.89300"_s);
    window_->run(CommandId::Undo);
    QCOMPARE(ToQString(document().text(row, kLat)), QString());
  }
};

}  // namespace qf

QTEST_MAIN(qf::MapPaneTest)
#include "map_pane_test.moc"
