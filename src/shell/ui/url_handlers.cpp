#include "shell/ui/url_handlers.h"

#include <QProcess>

namespace qf {

using namespace Qt::StringLiterals;

bool HasUrlHandler(const QString& scheme) {
  QProcess query;
  query.start(u"xdg-mime"_s, {u"query"_s, u"default"_s, u"x-scheme-handler/"_s + scheme});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished();
    return false;
  }
  return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
         !query.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace qf
