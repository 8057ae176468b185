#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class QLabel;
class QStatusBar;
class QSystemTrayIcon;

namespace qf {

// The weekly look for a newer version: the version file is asked on a thread of its own, and a newer
// version is told by a balloon from the notification area, or, on a desktop without one, by a notice
// in the status bar. Either, clicked, opens the program's home page.
class VersionNotice : public QObject {
 public:
  struct Check {
    std::string url;       // the version file; empty: no check
    std::string ownVersion;  // the program's version text
    int codePage = 1252;
    int lastNotify = 0;    // "Last Notify"
  };
  // `notified`: write the new "Last Notify"; `openHome`: the home page command.
  VersionNotice(QStatusBar& statusBar, std::function<void(int)> notified, std::function<void()> openHome,
                QObject* parent = nullptr);
  ~VersionNotice() override;

  void start(Check check);
  // The notice now shown, for tests: the balloon's or the status bar's text; empty when none.
  QString shownText() const;
  // The notice clicked: it goes, and the home page opens.
  void click();

 private:
  void show(const std::u16string& text, int now);
  void remove();

  QStatusBar& statusBar_;
  std::function<void(int)> notified_;
  std::function<void()> openHome_;
  QSystemTrayIcon* tray_ = nullptr;
  QLabel* label_ = nullptr;
  std::jthread worker_;
};

}  // namespace qf
