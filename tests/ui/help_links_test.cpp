// The Help menu's links and the notice of a newer version, over the real window.
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <chrono>
#include <fstream>
#include <string>

#include "core/app_settings.h"
#include "core/profile_file.h"
#include "shell/ui/main_window.h"
#include "shell/version_check.h"
#include "fakes/fake_version_file.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

int Now() { return NotifyClock(std::chrono::system_clock::now()); }

int StoredLastNotify(const fs::path& settings) {
  ProfileFile profile;
  profile.load(settings);
  return ReadLastNotify(profile);
}

}  // namespace

class HelpLinksTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  test::FakeVersionFile versionFile_;

  fs::path settingsWith(const std::string& services, int lastNotify) {
    const fs::path path = fs::path(folder_.path().toStdString()) / "quillfern.ini";
    std::ofstream(path) << "[Profile]\nLast Notify=" << lastNotify << "\n[Services]\n" << services;
    return path;
  }

  fs::path checkingSettings(int lastNotify) {
    return settingsWith("Version File=" + versionFile_.url() + "\nHome Link=http://127.0.0.1:1/home\n", lastNotify);
  }

 private slots:
  void linksOpenTheirTargets() {
    MainWindow window(settingsWith("Forum Link=http://127.0.0.1:1/forum\n", 0));
    QList<QUrl> opened;
    window.setUrlOpener([&opened](const QUrl& url) {
      opened.append(url);
      return true;
    });
    window.run(CommandId::TomTomHome);
    window.run(CommandId::UserForum);
    QCOMPARE(opened, (QList<QUrl>{QUrl(QStringLiteral("https://www.tomtom.com/")),
                                  QUrl(QStringLiteral("http://127.0.0.1:1/forum"))}));
  }

  void mailWithoutAMailProgramSaysSo() {
    MainWindow window(settingsWith("Mail Link=mailto:someone@example.org\n", 0));
    window.setUrlOpener([](const QUrl&) { return false; });
    test::DialogAnswerer answerer;
    answerer.answerNext(QMessageBox::Ok);
    window.run(CommandId::MailtoProgramer);
    QCOMPARE(answerer.lastText(), QStringLiteral("Can not execute the default email application"));
  }

  void aNewerVersionIsToldOnceAWeek() {
    versionFile_.answer("v9.0.0.0 Much faster");
    const int before = versionFile_.requests();
    const fs::path settings = checkingSettings(0);
    MainWindow window(settings);
    QList<QUrl> opened;
    window.setUrlOpener([&opened](const QUrl& url) {
      opened.append(url);
      return true;
    });
    QTRY_VERIFY(!window.versionNotice().shownText().isEmpty());
    QCOMPARE(window.versionNotice().shownText(),
             QStringLiteral("v9.0.0.0 Much faster\nClick me to browse the download webpage"));
    QCOMPARE(versionFile_.requests(), before + 1);
    QVERIFY(std::abs(StoredLastNotify(settings) - Now()) < 60);

    window.versionNotice().click();
    QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:1/home"))});
    QVERIFY(window.versionNotice().shownText().isEmpty());

    // The notice was just given: the next start asks nothing.
    MainWindow again(settings);
    QTest::qWait(300);
    QCOMPARE(versionFile_.requests(), before + 1);
  }

  void noNoticeForAnErrorPageOrAnOlderVersion() {
    const int eightDaysAgo = Now() - 8 * 86'400;
    for (const char* answer : {"<html><body>Not found</body></html>", "v0.0.1.0 Old"}) {
      versionFile_.answer(answer);
      const int before = versionFile_.requests();
      const fs::path settings = checkingSettings(eightDaysAgo);
      {
        MainWindow window(settings);
        QTRY_COMPARE(versionFile_.requests(), before + 1);
        QTest::qWait(100);
        QVERIFY(window.versionNotice().shownText().isEmpty());
      }
      QCOMPARE(StoredLastNotify(settings), eightDaysAgo);
    }
    // Six days after a notice nothing is asked.
    const int before = versionFile_.requests();
    MainWindow window(checkingSettings(Now() - 6 * 86'400));
    QTest::qWait(300);
    QCOMPARE(versionFile_.requests(), before);
  }
};

}  // namespace qf

QTEST_MAIN(qf::HelpLinksTest)
#include "help_links_test.moc"
