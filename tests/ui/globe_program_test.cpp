// The hand-off to the desktop's program for KML files, with a stand-in program registered in a
// desktop of the test's own: it copies the file it is given to where the test looks.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <vector>

#include "core/poi_record.h"
#include "editing/ui/qt_text.h"
#include "formats/file_pipeline.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

void WriteText(const QString& path, const QByteArray& text) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
}

std::vector<std::u16string> NamesIn(const QString& path) {
  PoiDocument read;
  SilentUserPort port;
  if (RunFileOperation(read, FileOperation::Open, FileFormat::Kml, ToU16(path), AppSettings(), port) != 0) return {};
  std::vector<std::u16string> names;
  for (const PoiRecord& row : read.rows) names.emplace_back(row.text(kName));
  return names;
}

bool IsPrivate(const QString& path, fs::perms expected) {
  return (fs::status(fs::path(ToU16(path))).permissions() & fs::perms::all) == expected;
}

// The files the editor left in the runtime folder.
QStringList RunFiles(const QString& runtime) {
  QStringList files;
  for (const QFileInfo& folder : QDir(runtime).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    for (const QFileInfo& file : QDir(folder.filePath()).entryInfoList(QDir::Files)) files << file.filePath();
  }
  return files;
}

}  // namespace

class GlobeProgramTest : public QObject {
  Q_OBJECT

  QTemporaryDir root_;
  QString path(const QString& name) const { return root_.filePath(name); }
  fs::path settingsPath() const { return ToU16(path(u"quillfern.ini"_s)); }
  QString received() const { return path(u"received.kml"_s); }
  QString runtime() const { return path(u"runtime"_s); }
  QString document() const { return path(u"cafes.kml"_s); }

  // The desktop sees a program for KML files whose work is to copy the file it opens.
  void registerProgram() {
    WriteText(path(u"data/applications/stand-in-globe.desktop"_s),
              "[Desktop Entry]\nType=Application\nName=Stand-in Globe\nExec=cp %f " + received().toUtf8() +
                  "\nMimeType=application/vnd.google-earth.kml+xml;\n");
    WriteText(path(u"data/applications/mimeapps.list"_s),
              "[Default Applications]\napplication/vnd.google-earth.kml+xml=stand-in-globe.desktop\n");
  }

 private slots:
  // No program or setting of the machine's desktop counts, only the MIME database, which tells
  // a KML file by its name.
  void initTestCase() {
    QVERIFY(root_.isValid());
    for (const char* folder : {"data/applications", "config", "system-config", "system-data", "runtime"}) {
      QVERIFY(QDir(root_.path()).mkpath(QString::fromLatin1(folder)));
    }
    QVERIFY(QFile::link(u"/usr/share/mime"_s, path(u"system-data/mime"_s)));
    QVERIFY(QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_DATA_HOME", QFile::encodeName(path(u"data"_s)));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(path(u"system-data"_s)));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(u"config"_s)));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(path(u"system-config"_s)));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime()));
    WriteText(document(),
              "<kml><Document>"
              "<Placemark><name>Dam &amp; Co</name><Point><coordinates>4.89,52.37</coordinates></Point></Placemark>"
              "<Placemark><name>Zoo</name><Point><coordinates>4.91,52.36</coordinates></Point></Placemark>"
              "<Placemark><name>Pier</name><Point><coordinates>4.90,52.38</coordinates></Point></Placemark>"
              "</Document></kml>");
  }

  void withoutAProgramTheCommandIsDisabled() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    QVERIFY(window.openPath(ToU16(document())));
    window.tick();
    QVERIFY(!window.action(CommandId::GoogleEarth)->isEnabled());
    test::Press(window, Qt::Key_F6);
    QVERIFY(RunFiles(runtime()).isEmpty());
  }

  void theProgramGetsThePlacemarksOfEachUseInAPrivateFileThatGoesWithTheWindow() {
    registerProgram();
    {
      MainWindow window(settingsPath());
      QVERIFY(test::ShowActive(window));
      QVERIFY(window.openPath(ToU16(document())));
      window.tick();
      QVERIFY(window.action(CommandId::GoogleEarth)->isEnabled());

      test::ClickRow(window, 1);
      test::Press(window, Qt::Key_F6);
      QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(received()), 10000);
      QTRY_COMPARE(NamesIn(received()), std::vector<std::u16string>{u"Zoo"});

      // The second use replaces the file: nothing selected hands over every row.
      QVERIFY(QFile::remove(received()));
      test::ClickRow(window, 1, Qt::ControlModifier);
      window.run(CommandId::GoogleEarth);
      QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(received()), 10000);
      QTRY_COMPARE(NamesIn(received()), (std::vector<std::u16string>{u"Dam & Co", u"Zoo", u"Pier"}));

      const QStringList files = RunFiles(runtime());
      QCOMPARE(files.size(), 1);
      QCOMPARE(QFileInfo(files[0]).fileName(), u"Qfntmp.kml"_s);
      QVERIFY(IsPrivate(files[0], fs::perms::owner_read | fs::perms::owner_write));
      QVERIFY(IsPrivate(QFileInfo(files[0]).path(), fs::perms::owner_all));
    }
    QVERIFY(RunFiles(runtime()).isEmpty());
    QVERIFY(QDir(runtime()).isEmpty());
  }
};

}  // namespace qf

QTEST_MAIN(qf::GlobeProgramTest)
#include "globe_program_test.moc"
