#include "shell/ui/url_handlers.h"

#include <QProcess>

namespace qf {

using namespace Qt::StringLiterals;

QString DefaultHandler(const QString& mimeType) {
  QProcess query;
  query.start(u"xdg-mime"_s, {u"query"_s, u"default"_s, mimeType});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished();
    return {};
  }
  if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return {};
  return QString::fromUtf8(query.readAllStandardOutput().trimmed());
}

bool HasUrlHandler(const QString& scheme) { return !DefaultHandler(u"x-scheme-handler/"_s + scheme).isEmpty(); }

}  // namespace qf
