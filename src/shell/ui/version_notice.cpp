#include "shell/ui/version_notice.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>

#include "core/http_client.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "editing/ui/qt_text.h"
#include "shell/version_check.h"

namespace qf {

namespace {

constexpr int kBalloonMilliseconds = 10'000;

HttpClient::Options VersionFileClient() {
  // One byte beyond the longest answer taken, so that a longer one is seen to be too long. Short
  // timeouts: the program waits for this thread when it ends.
  return {.userAgent = Utf16ToUtf8(LoadString(kProgramTitle)),
          .connectTimeout = std::chrono::milliseconds(3'000),
          .timeout = std::chrono::milliseconds(5'000),
          .bodyLimit = 256};
}

}  // namespace

VersionNotice::VersionNotice(QStatusBar& statusBar, std::function<void(int)> notified,
                             std::function<void()> openHome, QObject* parent)
    : QObject(parent), statusBar_(statusBar), notified_(std::move(notified)), openHome_(std::move(openHome)) {}

VersionNotice::~VersionNotice() = default;

void VersionNotice::start(Check check) {
  const int now = NotifyClock(std::chrono::system_clock::now());
  if (check.url.empty() || !VersionCheckDue(now, check.lastNotify)) return;
  worker_ = std::jthread([this, check = std::move(check), now] {
    HttpClient http(VersionFileClient());
    const std::optional<std::u16string> text = AskForNewerVersion(http, check.url, check.ownVersion, check.codePage);
    // The window outlives the thread (it waits for it), so the answer may always be posted to it.
    if (text) QMetaObject::invokeMethod(this, [this, text = *text, now] { show(text, now); }, Qt::QueuedConnection);
  });
}

void VersionNotice::show(const std::u16string& text, int now) {
  const QString message = ToQString(text) + ToQString(LoadString(kNewVersionClick));
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_ = new QSystemTrayIcon(QApplication::windowIcon(), this);
    connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] { click(); });
    tray_->setToolTip(message);
    tray_->show();
    tray_->showMessage(ToQString(LoadString(kNewVersionTitle)), message, QSystemTrayIcon::Information,
                       kBalloonMilliseconds);
    // The balloon's time-out takes the icon away with it.
    QTimer::singleShot(kBalloonMilliseconds, this, [this] { remove(); });
  } else {
    label_ = new QLabel(QStringLiteral("<a href=\"home\">%1</a>").arg(ToQString(LoadString(kNewVersionTitle))));
    label_->setToolTip(message);
    label_->setWhatsThis(message);
    connect(label_, &QLabel::linkActivated, this, [this] { click(); });
    statusBar_.addPermanentWidget(label_);
  }
  notified_(now);
}

QString VersionNotice::shownText() const {
  if (label_ != nullptr) return label_->toolTip();
  return tray_ != nullptr ? tray_->toolTip() : QString();
}

void VersionNotice::click() {
  if (tray_ == nullptr && label_ == nullptr) return;
  remove();
  openHome_();
}

void VersionNotice::remove() {
  delete tray_;
  tray_ = nullptr;
  if (label_ != nullptr) label_->deleteLater();
  label_ = nullptr;
}

}  // namespace qf
