// The map page's own script, driven as the editor drives it: a page put together from the page
// files around a hand-written middle, loaded offscreen. Tiles point at a closed port here, so
// nothing leaves the machine.
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <memory>

namespace qf {

using namespace Qt::StringLiterals;

namespace {

const QString kReady = u"Quillfern for TomTom"_s;
const QString kLeaflet = u"file:///usr/share/javascript/leaflet"_s;
const QString kHostileName = u"</b><img src=x onerror=alert(1)>"_s;

// The markers most tests use: index 1 hostile, 2 with quotes and a backslash, 3 on the zero meridian.
const QString kMarkers = uR"(	AddMarker('</b><img src=x onerror=alert(1)>', 25.03300, 121.56500, '02 2882', 'Room 101');
	AddMarker('Joe\'s <\/script> \\ place', 25.04000, 121.51000, '', 'memo \'quoted\'');
	AddMarker('Observatory', 51.47700, -0.00000, '+44 20', '');
	AddMarker('Harbour', -33.85700, 151.21500, '', 'Line');
)"_s;

QString ReadResource(const QString& relative) {
  QFile file(QStringLiteral(QUILLFERN_RESOURCES "/map/") + relative);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

// The page as the editor writes it, with the generated parts written out by hand.
QString AssemblePage(const QString& leafletFolder, const QString& markerLines) {
  QString page = ReadResource(u"head.html"_s);
  page += u"<link rel=\"stylesheet\" href=\"%1/leaflet.css\">\r\n"_s.arg(leafletFolder);
  page += u"<script type=\"text/javascript\" src=\"%1/leaflet.js\"></script>\r\n"_s.arg(leafletFolder);
  page += u"<style type=\"text/css\">\r\nhtml, body, #Map { width: 100%; height: 100%; margin: 0; "
          "overflow: hidden; font: 12px Arial; }\r\n#InfoWnd, #IqrDirInfo\r\n{\r\n\tfont:  normal 400 13px Arial;\r\n"
          "\tcolor: #000000;\r\n}\r\n"_s;
  page += ReadResource(u"page.css"_s) + u"</style>\r\n<script type=\"text/javascript\">\r\n"_s;
  page += ReadResource(u"page.js"_s);
  page += u"var e_szMarkerImgUrl = \"file://%1/map/MarkerImage/\";\r\n"_s.arg(QStringLiteral(QUILLFERN_RESOURCES));
  page += u"var e_bLngFirst = true;\r\nvar e_bDmsFormat = false;\r\nvar e_bCompassDir = false;\r\n"
          "var e_bMetricUnit = true;\r\nvar e_bSafetyCamera = false;\r\nvar e_bRichPoiFile = false;\r\n"
          "var e_bUseCookie = false;\r\nvar e_bUpdateMemo = false;\r\nvar e_bFlashRoute = false;\r\n"
          "var e_szTileUrl = \"http://127.0.0.1:9/{z}/{x}/{y}.png\";\r\n"
          "var e_szTileAttribution = \"&copy; test tiles\";\r\n"
          "var e_szGeocoderUrl = \"http://127.0.0.1:9\";\r\nvar e_szMapLang = \"en\";\r\n"
          "function LoadMarker(jYahooTileLayer)\r\n{\r\n"_s;
  page += markerLines;
  page += ReadResource(u"closing.html"_s).replace(u"{{LANG}}"_s, u"en"_s);
  return page;
}

// Keeps the page's alerts and answers its prompts instead of opening dialogs.
class RecordingPage : public QWebEnginePage {
 public:
  QStringList alerts;
  QString promptAnswer;

 protected:
  void javaScriptAlert(const QUrl&, const QString& message) override { alerts << message; }
  bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString* result) override {
    *result = promptAnswer;
    return true;
  }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                const QString&) override {
    if (level == ErrorMessageLevel) qWarning("page line %d: %s", line, qPrintable(message));
  }
};

class MapPage {
 public:
  MapPage() {
    view_.setPage(&page_);
    view_.resize(900, 700);
    view_.show();
  }

  // Loads the page and returns the first message it queues (the ready or the terminate message).
  QString load(const QString& html) {
    const QString path = folder_.filePath(u"page.htm"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(html.toUtf8());
    file.close();
    QSignalSpy loaded(&page_, &QWebEnginePage::loadFinished);
    page_.load(QUrl::fromLocalFile(path));
    if (!loaded.wait(20000)) return {};
    return nextMessage();
  }

  QVariant run(const QString& script, int timeoutMs = 10000) {
    auto result = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
    page_.runJavaScript(script, [result](const QVariant& value) { *result = {true, value}; });
    QDeadlineTimer deadline(timeoutMs);
    while (!result->first && !deadline.hasExpired()) QTest::qWait(5);
    return result->second;
  }

  QVariant call(const QString& function, const QVariantList& arguments) {
    const QByteArray list = QJsonDocument(QJsonArray::fromVariantList(arguments)).toJson(QJsonDocument::Compact);
    return run(function + u".apply(null, "_s + QString::fromUtf8(list) + u")"_s);
  }

  // The oldest queued message, waiting a while for one to come.
  QString nextMessage(int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    do {
      const QString message = run(u"GetGoogleMaps()"_s).toString();
      if (!message.isEmpty()) return message;
      QTest::qWait(20);
    } while (!deadline.hasExpired());
    return {};
  }

  // The POIs the page knows, removed ones not counted.
  int pois() { return run(u"g_names.filter(function (name) { return name !== null; }).length"_s).toInt(); }

  // The POIs the view shows: its markers, and the counts on its cluster icons, once the view is drawn.
  int shownPois() {
    QTest::qWait(20);
    return run(uR"(Array.from(document.querySelectorAll('.Cluster span'), function (span) {
                     return Number(span.textContent); }).reduce(function (a, b) { return a + b; }, g_markers.size))"_s)
        .toInt();
  }

  bool hasMarker(int index) { return run(u"markerOf(%1) !== null && g_map.hasLayer(markerOf(%1))"_s.arg(index)).toBool(); }

  QString infoWindowText() { return run(u"(document.getElementById('InfoWnd') || {}).innerText || ''"_s).toString(); }

  RecordingPage& page() { return page_; }

 private:
  QTemporaryDir folder_;
  RecordingPage page_;
  QWebEngineView view_;
};

// A reverse geocoder on 127.0.0.1 that names every place the same; it keeps the requests it got.
class FakeGeocoder : public QObject {
 public:
  QStringList requests;

  FakeGeocoder() {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      QTcpSocket* socket = server_.nextPendingConnection();
      connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        if (!socket->peek(65536).contains("\r\n\r\n")) return;
        requests << QString::fromUtf8(socket->readLine().split(' ').value(1));
        const QByteArray body = R"({"display_name":"1 Harbour Road,\tTaipei"})";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n"
                      "Connection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
      });
    });
  }
  QString url() const { return u"http://127.0.0.1:%1"_s.arg(server_.serverPort()); }

 private:
  QTcpServer server_;
};

// A drag as the map library reports one, of a marker brought into view first.
QString Drag(int index, double lat, double lng) {
  return u"(function () { revealPoi(%1); var m = markerOf(%1); m.setLatLng([%2, %3]); m.fire('dragend'); })()"_s
      .arg(index).arg(lat, 0, 'f', 6).arg(lng, 0, 'f', 6);
}

QString ChooseFromMapMenu(const QString& item) {
  return uR"((function () {
    g_map.fire('contextmenu', { latlng: L.latLng(25.05, 121.55), containerPoint: L.point(100, 100) });
    var items = document.querySelectorAll('#MapMenu .MenuItem');
    for (var i = 0; i < items.length; i++) if (items[i].textContent === '%1') items[i].click();
  })())"_s.arg(item);
}

}  // namespace

class MapPageScriptTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(!ReadResource(u"page.js"_s).isEmpty(), "the page files are not where the test looks");
  }

  // Markers placed, the editor's POIs shown with their texts as plain text, in every display form.
  void showsPoisAsText() {
    MapPage map;
    QCOMPARE(map.load(AssemblePage(kLeaflet, kMarkers)), kReady);
    QCOMPARE(map.pois(), 4);

    map.call(u"PutGoogleMaps"_s, {0, kHostileName, u"121.56500"_s, u"25.03300"_s, u"02 2882"_s, u"Room 101"_s});
    QCOMPARE(map.run(u"document.querySelector('#InfoWnd .PoiName').textContent"_s).toString(), kHostileName);
    QCOMPARE(map.run(u"document.querySelectorAll('#InfoWnd img, #Map img[src=\"x\"]').length"_s).toInt(), 0);
    const QStringList links = map.run(uR"(Array.from(document.querySelectorAll('#InfoWnd a'),
                                             function (a) { return a.getAttribute('href'); }))"_s).toStringList();
    QCOMPARE(links, QStringList({u"javascript:OnAdd(1)"_s, u"javascript:OnInsert(1)"_s, u"javascript:OnRemove(1)"_s,
                                 u"javascript:OnDelete(1)"_s, u"javascript:OnSearch(1)"_s, u"javascript:OnClose(1)"_s}));

    // Quotes, a backslash and a closing script tag survive as written; "-0.00000" names the zero meridian.
    map.call(u"PutGoogleMaps"_s, {0, u"Joe's </script> \\ place"_s, u"121.51000"_s, u"25.04000"_s, u""_s,
                                  u"memo 'quoted'"_s});
    QVERIFY(map.infoWindowText().contains(u"Joe's </script> \\ place"_s));
    map.call(u"PutGoogleMaps"_s, {0, u"Observatory"_s, u"-0.00000"_s, u"51.47700"_s, u"+44 20"_s, u""_s});
    QVERIFY(map.infoWindowText().startsWith(u"Observatory"_s));
    QCOMPARE(map.pois(), 4);

    // A POI the map lacks gets a marker; an empty coordinate only closes the window.
    map.call(u"PutGoogleMaps"_s, {0, u"New"_s, u"121.60000"_s, u"25.10000"_s, u""_s, u""_s});
    QCOMPARE(map.pois(), 5);
    QVERIFY(map.hasMarker(5));
    QVERIFY(map.infoWindowText().startsWith(u"New"_s));
    map.call(u"PutGoogleMaps"_s, {0, u"New"_s, u""_s, u"25.10000"_s, u""_s, u""_s});
    QCOMPARE(map.run(u"g_map.hasLayer(g_popup)"_s).toBool(), false);

    struct {
      QList<int> commands;
      QString coordinates;  // the window's coordinate rows for the Harbour marker
    } const forms[] = {
        {{3, 6, 8}, u"Lng\t151.21500\nLat\t-33.85700"_s},
        {{4}, u"Lat\t-33.85700\nLng\t151.21500"_s},
        {{3, 7}, u"Lng\tE 151.21500\nLat\tS 33.85700"_s},
        {{5, 8}, u"Lng\t151\u00B0 12' 54.00\"\nLat\t-33\u00B0 51' 25.20\""_s},
        {{4, 5, 7}, u"Lat\tS 33\u00B0 51' 25.20\"\nLng\tE 151\u00B0 12' 54.00\""_s},
    };
    for (const auto& form : forms) {
      for (int command : form.commands) map.call(u"PutGoogleMaps"_s, {command});
      map.call(u"PutGoogleMaps"_s, {0, u"Harbour"_s, u"151.21500"_s, u"-33.85700"_s, u""_s, u"Line"_s});
      const QString rows = map.run(uR"(Array.from(document.querySelectorAll('#InfoWnd tr'), function (r) {
                                         return r.innerText; }).slice(0, 2).join('\n'))"_s).toString();
      QCOMPARE(rows, form.coordinates);
    }
    QVERIFY2(map.page().alerts.isEmpty(), qPrintable(map.page().alerts.join(u", "_s)));
  }

  // A dragged marker is flagged, sends its update once, and the editor's update loop walks the rest.
  void movedMarkersUpdate() {
    MapPage map;
    QCOMPARE(map.load(AssemblePage(kLeaflet, kMarkers)), kReady);
    QCOMPARE(map.pois(), 4);

    map.run(Drag(2, 25.05, 121.52));
    QVERIFY(map.run(u"markerOf(2).options.icon.options.iconUrl"_s).toString().endsWith(u"Yellow.svg"_s));
    QVERIFY(map.run(u"document.querySelector('#InfoWnd a[href=\"javascript:OnUpdate(2)\"]') !== null"_s).toBool());
    map.run(u"OnUpdate(2)"_s);
    QCOMPARE(map.nextMessage(), u"<\t2\tJoe's </script> \\ place\t121.51000\t25.04000\t\tmemo 'quoted'"
                                u"\t121.52000\t25.05000\tmemo 'quoted'"_s);
    QCOMPARE(map.call(u"PutGoogleMaps"_s, {17}).toInt(), 0);  // sent already

    // The loop from the start: the moved markers 1 and 3 in turn, then none.
    map.run(Drag(1, 25.0, 121.0));
    map.run(Drag(3, 51.5, 0.1));
    QCOMPARE(map.call(u"PutGoogleMaps"_s, {17}).toInt(), 1);
    QCOMPARE(map.nextMessage(), u"<\t2\t</b><img src=x onerror=alert(1)>\t121.56500\t25.03300\t02 2882\tRoom 101"
                                u"\t121.00000\t25.00000\tRoom 101"_s);
    QCOMPARE(map.call(u"PutGoogleMaps"_s, {18}).toInt(), 3);
    QCOMPARE(map.nextMessage(), u"<\t2\tObservatory\t0.00000\t51.47700\t+44 20\t\t0.10000\t51.50000\t"_s);
    QCOMPARE(map.call(u"PutGoogleMaps"_s, {20}).toInt(), 0);
    // The updated marker is now known by its new texts.
    map.call(u"PutGoogleMaps"_s, {1, u"Observatory"_s, u"0.10000"_s, u"51.50000"_s, u"+44 20"_s, u""_s});
    QCOMPARE(map.pois(), 3);

    // Undo, one marker and all of them, puts markers back where their POIs are.
    map.run(Drag(4, -33.0, 151.0));
    map.run(u"OnUndo(4)"_s);
    QCOMPARE(map.run(u"markerOf(4).getLatLng().lat"_s).toDouble(), -33.857);
    map.run(Drag(4, -33.0, 151.0));
    map.run(ChooseFromMapMenu(u"Update all moved markers"_s));
    QCOMPARE(map.nextMessage(), u"<\t2"_s);
    map.run(ChooseFromMapMenu(u"Undo all marker moves"_s));
    QCOMPARE(map.nextMessage(), u"<\t3"_s);
    QCOMPARE(map.run(u"markerOf(4).getLatLng().lng"_s).toDouble(), 151.215);
    QCOMPARE(map.call(u"PutGoogleMaps"_s, {17}).toInt(), 0);
  }

  // With memo updating on, a moved marker offers its new place's address as the memo; a geocoder
  // that does not answer leaves the memo as it was.
  void movedMarkerOffersItsAddress() {
    FakeGeocoder geocoder;
    MapPage map;
    map.page().settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    QCOMPARE(map.load(AssemblePage(kLeaflet, kMarkers)), kReady);
    map.call(u"PutGoogleMaps"_s, {13});
    map.run(u"e_szGeocoderUrl = '%1'"_s.arg(geocoder.url()));
    map.run(Drag(4, -33.86, 151.2));
    QTRY_VERIFY(map.infoWindowText().contains(u"1 Harbour Road, Taipei"_s));
    QCOMPARE(geocoder.requests, QStringList(u"/reverse?format=jsonv2&lat=-33.860000&lon=151.200000&accept-language=en"_s));
    map.run(u"OnUpdate(4)"_s);
    QCOMPARE(map.nextMessage(), u"<\t2\tHarbour\t151.21500\t-33.85700\t\tLine\t151.20000\t-33.86000\t1 Harbour Road, Taipei"_s);

    map.run(u"e_szGeocoderUrl = 'http://127.0.0.1:9'"_s);
    map.run(Drag(3, 51.5, 0.1));
    QTest::qWait(500);
    map.run(u"OnUpdate(3)"_s);
    QCOMPARE(map.nextMessage(), u"<\t2\tObservatory\t0.00000\t51.47700\t+44 20\t\t0.10000\t51.50000\t"_s);
  }

  // What the user does to a marker reaches the editor as the matching message.
  void markerActionsQueueMessages() {
    MapPage map;
    QCOMPARE(map.load(AssemblePage(kLeaflet, kMarkers)), kReady);
    QCOMPARE(map.pois(), 4);
    const QString observatory = u"Observatory\t0.00000\t51.47700\t+44 20\t"_s;

    map.run(u"revealPoi(3); markerOf(3).fire('click'), 0"_s);
    QCOMPARE(map.nextMessage(), u"<\t3\t"_s + observatory);
    map.run(uR"(document.querySelectorAll('#InfoWnd tr')[3].dispatchEvent(new MouseEvent('dblclick')))"_s);
    QCOMPARE(map.nextMessage(), u"<\t5\t"_s + observatory + u"\t4"_s);
    map.run(u"OnAdd(3); OnInsert(3)"_s);
    QCOMPARE(map.nextMessage(), u"<\t0\t"_s + observatory);
    QCOMPARE(map.nextMessage(), u"<\t1\t"_s + observatory);
    map.run(u"OnDelete(3)"_s);
    QCOMPARE(map.nextMessage(), u"<\t4\t"_s + observatory);
    QCOMPARE(map.pois(), 3);
    QVERIFY(!map.hasMarker(3));

    map.call(u"PutGoogleMaps"_s, {1, u"Harbour"_s, u"151.21500"_s, u"-33.85700"_s, u""_s, u"Line"_s});
    QCOMPARE(map.pois(), 2);
    map.run(u"OnRemove(1)"_s);
    QCOMPARE(map.pois(), 1);

    map.page().promptAnswer = u"New\tplace"_s;
    map.run(ChooseFromMapMenu(u"Add a POI here"_s));
    QCOMPARE(map.nextMessage(), u"<\t0\tNew place\t121.55000\t25.05000\t\t"_s);
    // A POI without a name is a POI all the same.
    map.call(u"PutGoogleMaps"_s, {0, u""_s, u"121.52000"_s, u"25.05000"_s, u""_s, u""_s});
    map.run(u"OnAdd(g_names.length - 1)"_s);
    QCOMPARE(map.nextMessage(), u"<\t0\t\t121.52000\t25.05000\t\t"_s);

    // Search nearby lists the markers within a kilometre: the corner 375 m away, not the one 5 km off.
    map.call(u"PutGoogleMaps"_s, {0, u"Corner"_s, u"121.51300"_s, u"25.04200"_s, u""_s, u""_s});
    map.call(u"PutGoogleMaps"_s, {0, u"Far"_s, u"121.56000"_s, u"25.04000"_s, u""_s, u""_s});
    map.run(u"OnSearch(2)"_s);
    QCOMPARE(map.run(uR"(Array.from(document.querySelectorAll('#InfoWnd .Nearby li'), function (li) {
                           return li.textContent; }).join('|'))"_s).toString(), u"Corner375 m"_s);
    QCOMPARE(map.run(u"GetGoogleMaps()"_s).toString(), QString());
  }

  // A page whose map library is missing says so and asks to be closed.
  void missingLibraryTerminates() {
    MapPage map;
    QCOMPARE(map.load(AssemblePage(u"file:///nonexistent/leaflet"_s, kMarkers)), u"Terminate Google Maps"_s);
    QCOMPARE(map.page().alerts.size(), 1);
  }

  // Close POIs show as one cluster; a click on it zooms in until each has its own marker, and a POI
  // out of view gets none.
  void aClusterSplitsAsYouZoomIn() {
    QString lines = u"\tAddMarker('Far', -33.85700, 151.21500, '', '');\r\n"_s;
    for (int i = 0; i < 20; ++i)
      lines += u"\tAddMarker('Near %1', %2, %3, '', '');\r\n"_s.arg(i).arg(25.0 + (i % 5) * 0.001, 0, 'f', 5)
                   .arg(121.5 + (i / 5) * 0.001, 0, 'f', 5);
    MapPage map;
    QCOMPARE(map.load(AssemblePage(kLeaflet, lines)), kReady);
    QCOMPARE(map.shownPois(), 21);
    QCOMPARE(map.run(u"Array.from(document.querySelectorAll('.Cluster'), function (c) { return c.textContent; })"_s)
                 .toStringList(),
             QStringList(u"20"_s));
    QVERIFY(map.hasMarker(1));

    map.run(u"document.querySelector('.Cluster').click()"_s);
    QTRY_COMPARE(map.run(u"document.querySelectorAll('.Cluster').length"_s).toInt(), 0);
    for (int index = 2; index <= 21; ++index) QVERIFY2(map.hasMarker(index), qPrintable(QString::number(index)));
    QVERIFY(!map.hasMarker(1));

    // Back out, a POI whose info window is open keeps its marker and counts in no cluster.
    map.run(u"markerOf(2).fire('click'); g_map.fitBounds(boundsOfPois(), { animate: false })"_s);
    QCOMPARE(map.shownPois(), 21);
    QVERIFY(map.hasMarker(2));
  }

  // POIs at the very same place spread out at the highest zoom, each where a click reaches it alone.
  void poisAtOnePlaceCanEachBeReached() {
    QString lines = u"\tAddMarker('Far', -33.85700, 151.21500, '', '');\r\n"_s;
    for (int i = 2; i <= 6; ++i) lines += u"\tAddMarker('Same %1', 25.03300, 121.56500, '', '');\r\n"_s.arg(i);
    MapPage map;
    QCOMPARE(map.load(AssemblePage(kLeaflet, lines)), kReady);
    map.run(u"document.querySelector('.Cluster').click()"_s);
    QTRY_COMPARE(map.run(u"g_map.getZoom()"_s).toInt(), map.run(u"g_map.getMaxZoom()"_s).toInt());
    QCOMPARE(map.run(u"document.querySelectorAll('.Cluster').length"_s).toInt(), 0);
    for (int index = 2; index <= 6; ++index) {
      // What lies at the head of the pin, where a person clicks, once the last info window has faded.
      const QString atPinHead = uR"((function () {
                                     var p = g_map.latLngToContainerPoint(markerOf(%1).getLatLng());
                                     return document.elementFromPoint(p.x, p.y - 30); })())"_s.arg(index);
      QTRY_VERIFY(map.run(atPinHead + u" === markerOf(%1).getElement()"_s.arg(index)).toBool());
      map.run(atPinHead + u".click()"_s);
      QCOMPARE(map.nextMessage(), u"<\t3\tSame %1\t121.56500\t25.03300\t\t"_s.arg(index));
      map.run(u"closeInfoWindow()"_s);
    }
  }

  // A POI removed while out of view is gone for good: no marker and no cluster's count brings it back.
  void aPoiRemovedOutOfViewStaysGone() {
    MapPage map;
    QCOMPARE(map.load(AssemblePage(kLeaflet, kMarkers)), kReady);
    QCOMPARE(map.shownPois(), 4);
    map.call(u"PutGoogleMaps"_s, {0, u"Harbour"_s, u"151.21500"_s, u"-33.85700"_s, u""_s, u"Line"_s});
    map.call(u"PutGoogleMaps"_s, {1, kHostileName, u"121.56500"_s, u"25.03300"_s, u"02 2882"_s, u"Room 101"_s});
    map.run(u"g_map.setView([25.035, 121.54], 13, { animate: false })"_s);
    QVERIFY(map.hasMarker(2));
    QVERIFY(!map.hasMarker(1));
    map.run(u"g_map.setView([20, 0], 1, { animate: false })"_s);
    QCOMPARE(map.shownPois(), 3);
  }

  // Ten thousand POIs over the world load in a few seconds, and even the lowest zoom shows them all
  // with a bounded number of elements.
  void manyPoisMakeFewElements() {
    QString lines;
    for (int i = 0; i < 10000; ++i)
      lines += u"\tAddMarker('POI %1', %2, %3, '', '');\r\n"_s.arg(i).arg(-60.0 + (i % 100) * 1.2, 0, 'f', 5)
                   .arg(-180.0 + (i / 100) * 3.6, 0, 'f', 5);
    MapPage map;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(map.load(AssemblePage(kLeaflet, lines)), kReady);
    QVERIFY2(clock.elapsed() < 8000, qPrintable(u"%1 ms"_s.arg(clock.elapsed())));
    QCOMPARE(map.pois(), 10000);
    map.run(u"g_map.setZoom(g_map.getMinZoom(), { animate: false })"_s);
    QCOMPARE(map.shownPois(), 10000);
    const int elements = map.run(u"document.querySelectorAll('#Map .leaflet-marker-icon').length"_s).toInt();
    QVERIFY2(elements < 300, qPrintable(QString::number(elements)));
  }
};

}  // namespace qf

QTEST_MAIN(qf::MapPageScriptTest)
#include "map_page_script_test.moc"
