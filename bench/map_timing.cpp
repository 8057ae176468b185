// The map as a user meets it: from F5 until the page has drawn its first view of a document, with
// POIs spread over the world, while a timer measures how long the window goes without serving events.
// Usage: map_timing [COUNT…] (default 10000 100000). Tiles come from a server on this machine.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <cstdio>
#include <memory>

#include "editing/ui/qt_text.h"
#include "fakes/fake_tile_server.h"
#include "formats/file_pipeline.h"
#include "map/ui/map_pane.h"
#include "poi_generator.h"
#include "shell/ui/main_window.h"
#include "window_driver.h"

namespace qf::bench {
namespace {

// Runs the event loop until `done` holds; the longest time the loop went without a turn.
qint64 WaitServing(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer total;
  total.start();
  QElapsedTimer sinceTurn;
  sinceTurn.start();
  qint64 longest = 0;
  QTimer beat;
  QObject::connect(&beat, &QTimer::timeout, [&] {
    longest = std::max(longest, sinceTurn.elapsed());
    sinceTurn.restart();
  });
  beat.start(5);
  while (!done()) {
    if (total.elapsed() > timeoutMs) Fail(QStringLiteral("the map did not finish in time"));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return longest;
}

// The resident memory of a process in MiB, from /proc.
double ResidentMib(const QString& pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toDouble() / 1024;
  }
  return 0;
}

// The editor's own resident memory, and that of the web engine's processes it started (its
// renderers are children of a child).
void PrintMemory() {
  QMap<QString, QString> parents;
  for (const QString& pid : QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs)) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 1) parents[pid] = QString::fromLatin1(fields[1]);
  }
  const QString self = QString::number(QCoreApplication::applicationPid());
  double engine = 0;
  for (auto process = parents.cbegin(); process != parents.cend(); ++process) {
    QString ancestor = process.value();
    while (!ancestor.isEmpty() && ancestor != self && ancestor != QStringLiteral("0")) ancestor = parents.value(ancestor);
    if (ancestor == self) engine += ResidentMib(process.key());
  }
  std::printf("          resident memory once drawn: the editor %.0f MiB, the web engine's processes %.0f MiB\n",
              ResidentMib(self), engine);
}

bool ViewDrawn(MapPane& map) {
  if (!map.pageReady()) return false;
  bool drawn = false;
  bool answered = false;
  map.webView()->page()->runJavaScript(QStringLiteral("g_viewDrawn"), [&](const QVariant& value) {
    drawn = value == QVariant(true);
    answered = true;
  });
  while (!answered) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return drawn;
}

void Time(int count, const QString& settings, const QString& folder) {
  const QString file = folder + QStringLiteral("/world-%1.ov2").arg(count);
  PoiDocument generated = GeneratePois(static_cast<std::size_t>(count), Shape::World);
  SilentUserPort port;
  if (RunFileOperation(generated, FileOperation::Save, FileFormat::Ov2, ToU16(file), AppSettings(), port) != 0) {
    Fail(QStringLiteral("cannot write ") + file);
  }
  MainWindow window(ToU16(settings));
  auto pane = std::make_unique<MapPane>(window);
  MapPane& map = *pane;
  window.setMapServices(std::move(pane));
  window.resize(1280, 800);
  window.show();
  if (!window.openPath(ToU16(file))) Fail(QStringLiteral("cannot open ") + file);
  window.table().clearSelection();
  window.afterEdit();

  QElapsedTimer shown;
  shown.start();
  window.run(CommandId::GoogleMaps);
  const qint64 commandMs = shown.elapsed();
  const qint64 longestGap = WaitServing([&map] { return ViewDrawn(map); }, 120000);
  std::printf("%7d POIs: the view drawn after %6.0f ms (the command itself %lld ms); "
              "longest time without serving events %lld ms\n",
              count, static_cast<double>(shown.nsecsElapsed()) / 1e6, static_cast<long long>(commandMs),
              static_cast<long long>(longestGap));
  QElapsedTimer settling;
  settling.start();
  while (settling.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  PrintMemory();
  window.table().document().modified = false;
}

}  // namespace
}  // namespace qf::bench

int main(int argc, char* argv[]) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  QTemporaryDir folder;
  qf::test::FakeTileServer tiles;
  const QString settings = folder.filePath(QStringLiteral("quillfern.ini"));
  QFile file(settings);
  if (!file.open(QIODevice::WriteOnly)) qf::bench::Fail(QStringLiteral("cannot write the settings"));
  file.write("[Services]\r\nMap Tiles=" + QByteArray::fromStdString(tiles.tileUrl()) + "\r\n");
  file.close();
  QList<int> counts;
  for (int i = 1; i < argc; ++i) counts << QString::fromLocal8Bit(argv[i]).toInt();
  if (counts.isEmpty()) counts = {10000, 100000};
  for (const int count : counts) qf::bench::Time(count, settings, folder.path());
  return 0;
}
