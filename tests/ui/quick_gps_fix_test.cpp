// QuickGPSfix against an ephemeris service of the test's own, on drives of the test's own: a mount
// table and block devices written into a folder.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "device/ui/device_link.h"
#include "device/ui/quick_gps_fix_dialog.h"
#include "editing/ui/qt_text.h"
#include "fakes/fake_ephemeris_server.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

constexpr int kFlowTimeout = 10000;

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

QString StatusOf(QDialog& dialog) { return dialog.findChild<QLabel*>(u"status"_s)->text(); }

QPushButton* Button(QDialog& dialog, const QString& name) { return dialog.findChild<QPushButton*>(name); }

}  // namespace

class QuickGpsFixTest : public QObject {
  Q_OBJECT

  QTemporaryDir root_;
  fs::path dir_;
  VolumeSources sources_;
  test::FakeEphemerisServer server_;
  QProgressBar busyBar_;
  const std::string cabinet_ = test::CabinetOf({{"lto.dat", "new global"}, {"ee_meta.txt", "meta"}});
  const std::string sirfCabinet_ = test::CabinetOf({{"packedephemeris.ee", "new sirf"}, {"ee_meta.txt", "meta"}});

  fs::path fixed() const { return dir_ / "fixed"; }
  fs::path device() const { return dir_ / "device"; }

  std::unique_ptr<QuickGpsFixDialog> open() {
    auto dialog = std::make_unique<QuickGpsFixDialog>(server_.url(), sources_, false, &busyBar_, nullptr);
    dialog->show();
    return dialog;
  }

 private slots:
  // A fixed disk and, mounted after it, a removable one.
  void init() {
    dir_ = fs::path(ToU16(root_.path())) / QTest::currentTestFunction();
    const fs::path sys = dir_ / "sys";
    WriteText(sys / "devices/ata/block/sda/removable", "0\n");
    WriteText(sys / "devices/usb/block/sdb/removable", "1\n");
    fs::create_directories(sys / "dev/block");
    fs::create_directory_symlink("../../devices/ata/block/sda", sys / "dev/block/8:0");
    fs::create_directory_symlink("../../devices/usb/block/sdb", sys / "dev/block/8:16");
    fs::create_directories(fixed());
    fs::create_directories(device());
    WriteText(dir_ / "mountinfo", "1 0 8:0 / " + fixed().string() + " rw - ext4 /dev/sda rw\n2 1 8:16 / " +
                                      device().string() + " rw - vfat /dev/sdb rw\n");
    sources_ = {dir_ / "mountinfo", sys};
    server_.answer(cabinet_);
  }

  void theRecognisedDeviceIsUpdatedAndCloseRemovesTheCabinet() {
    WriteText(device() / "ephem/lto.dat", "old");
    WriteText(device() / "ephem/packedephemeris.ee", "old");  // Global Locate's file goes first
    const auto dialog = open();
    QVERIFY(!busyBar_.isHidden());
    QVERIFY(!Button(*dialog, u"cancel"_s)->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(*dialog), u"Updated the ephemeris file"_s, kFlowTimeout);
    QCOMPARE(ReadText(device() / "ephem/lto.dat"), "new global");
    QCOMPARE(ReadText(device() / "ephem/packedephemeris.ee"), "old");
    QCOMPARE(dialog->findChild<QComboBox*>(u"drives"_s)->currentText(), QString::fromStdString(device().string()));
    QVERIFY(dialog->findChild<QRadioButton*>(u"globalLocate"_s)->isChecked());
    QVERIFY(busyBar_.isHidden());
    QPushButton* close = Button(*dialog, u"cancel"_s);
    QCOMPARE(close->text(), u"Close"_s);
    QVERIFY(close->isEnabled());
    const fs::path cabinet = dialog->cabinet();
    QCOMPARE(ReadText(cabinet), cabinet_);
    close->click();
    QVERIFY(!dialog->isVisible());
    QVERIFY(!fs::exists(cabinet));
  }

  void aDownloadWithoutBytesCanBeRetried() {
    WriteText(device() / "ephem/lto.dat", "old");
    server_.answer("");
    const auto dialog = open();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(*dialog), u"Can not download the ephemeris file"_s, kFlowTimeout);
    QVERIFY(busyBar_.isHidden());
    for (const QString& name : {u"save"_s, u"retry"_s, u"cancel"_s}) QVERIFY(Button(*dialog, name)->isEnabled());
    QCOMPARE(ReadText(device() / "ephem/lto.dat"), "old");
    server_.answer(cabinet_);
    Button(*dialog, u"retry"_s)->click();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(*dialog), u"Updated the ephemeris file"_s, kFlowTimeout);
    QCOMPARE(ReadText(device() / "ephem/lto.dat"), "new global");
  }

  void escDuringTheDownloadClosesAtOnceWithoutACabinet() {
    WriteText(device() / "ephem/lto.dat", "old");
    server_.answerSlowly();
    const auto dialog = open();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(*dialog), u"Downloading the ephemeris file... 4 bytes"_s, kFlowTimeout);
    const fs::path cabinet = dialog->cabinet();
    const auto pressed = std::chrono::steady_clock::now();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QVERIFY(std::chrono::steady_clock::now() - pressed < std::chrono::seconds(3));
    QVERIFY(!fs::exists(cabinet));
    QCOMPARE(ReadText(device() / "ephem/lto.dat"), "old");
  }

  // No chip anywhere: the user picks SiRF Star and the fixed drive, whose ephem folder is made.
  void saveTakesTheChosenChipAndFolder() {
    server_.answer(sirfCabinet_);
    const auto dialog = open();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(*dialog), u"Can not recognize the chip of GPS device"_s, kFlowTimeout);
    auto* drives = dialog->findChild<QComboBox*>(u"drives"_s);
    QCOMPARE(drives->count(), 2);
    QCOMPARE(dialog->findChild<QLineEdit*>(u"folder"_s)->text(), QString::fromStdString((fixed() / "ephem").string()));
    dialog->findChild<QRadioButton*>(u"sirfStar"_s)->click();
    Button(*dialog, u"save"_s)->click();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(*dialog), u"Updated the ephemeris file"_s, kFlowTimeout);
    QCOMPARE(ReadText(fixed() / "ephem/packedephemeris.ee"), "new sirf");
    QVERIFY(!fs::exists(fixed() / "ephem/lto.dat"));
    QVERIFY(server_.targets().back().find("eeProvider=SiRFStarIII") != std::string::npos);
  }

  // A device plugged in while the dialog waits is recognised without a click.
  void aDriveArrivalRetriesTheRecognition() {
    server_.answer(sirfCabinet_);
    const auto dialog = open();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(*dialog), u"Can not recognize the chip of GPS device"_s, kFlowTimeout);
    const fs::path stick = dir_ / "stick";
    WriteText(stick / "ephem/packedephemeris.ee", "old");
    std::ofstream(dir_ / "mountinfo", std::ios::app) << "3 1 8:16 / " << stick.string() << " rw - vfat /dev/sdb rw\n";
    dialog->drivesChanged();
    QCOMPARE(dialog->findChild<QComboBox*>(u"drives"_s)->count(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(*dialog), u"Updated the ephemeris file"_s, kFlowTimeout);
    QCOMPARE(ReadText(stick / "ephem/packedephemeris.ee"), "new sirf");
  }

  // The command runs the dialog with the status bar's running bar and text; both go with it.
  void theCommandShowsItIsBusyInTheStatusBar() {
    MainWindow window(dir_ / "quillfern.ini");
    window.setDeviceServices(std::make_unique<DeviceLink>(window));
    QVERIFY(test::ShowActive(window));
    QStringList texts;
    bool barShown = false;
    test::DialogAnswerer answerer;
    answerer.handleNext([&](QWidget* dialog) {
      for (const QLabel* label : window.statusBar()->findChildren<QLabel*>()) texts << label->text();
      barShown = window.progressBar().isVisible() && window.progressBar().maximum() == 0;
      QCOMPARE(dialog->windowTitle(), u"QuickGPSfix"_s);
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    test::Press(window, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(texts.contains(u"Updating the ephemeris file, press Esc to stop..."_s));
    QVERIFY(barShown);
    QVERIFY(!window.progressBar().isVisible());
  }
};

}  // namespace qf

QTEST_MAIN(qf::QuickGpsFixTest)
#include "quick_gps_fix_test.moc"
