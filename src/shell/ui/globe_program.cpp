#include "shell/ui/globe_program.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "editing/ui/qt_text.h"
#include "shell/ui/url_handlers.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

const QString kKmlType = u"application/vnd.google-earth.kml+xml"_s;

// gio picks the program by the file's MIME type from the shared database; xdg-open, away from a
// desktop environment it knows, would take a KML file for plain XML and miss the KML program.
void OpenWithDesktop(const QString& path) {
  const QString gio = QStandardPaths::findExecutable(u"gio"_s);
  if (!gio.isEmpty() && QProcess::startDetached(gio, {u"open"_s, path})) return;
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace

bool GlobeProgram::available() const {
  if (!available_) available_ = !DefaultHandler(kKmlType).isEmpty();
  return *available_;
}

bool GlobeProgram::show(PoiDocument& document, const AppSettings& settings, UserPort& port) {
  if (file_.write(document, settings, port) != 0) return false;
  OpenWithDesktop(ToQString(file_.path().u16string()));
  return true;
}

}  // namespace qf
