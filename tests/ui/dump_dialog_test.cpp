// The "Dump GPS Device" dialog's rules, and a dump through it over the window against a fake device.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <Magick++.h>

#include <deque>
#include <fstream>
#include <functional>

#include "core/profile_file.h"
#include "device/dump_settings.h"
#include "device/ui/dump_dialog.h"
#include "device/ui/dump_flow.h"
#include "editing/ui/qt_text.h"
#include "fakes/fake_device.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

using test::Click;
using test::DialogScript;

template <class Widget>
Widget* Child(QWidget* dialog, const char* name) {
  auto* widget = dialog->findChild<Widget*>(QString::fromLatin1(name));
  if (!widget) qFatal("no control %s", name);
  return widget;
}

QPushButton* Button(QWidget* dialog, const QString& text) {
  for (auto* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  qFatal("no button %s", qPrintable(text));
}

std::vector<Screenshot> Shots(int count) {
  std::vector<Screenshot> shots;
  for (int i = 1; i <= count; ++i) shots.push_back({u"shot" + ToU16(QString::number(i)), u"2024-05-01 12:00"});
  return shots;
}

std::string Png(int width, int height) {
  Magick::InitializeMagick(nullptr);
  Magick::Image image(Magick::Geometry(static_cast<unsigned>(width), static_cast<unsigned>(height)),
                      Magick::Color("green"));
  image.magick("PNG");
  Magick::Blob blob;
  image.write(&blob);
  return {static_cast<const char*>(blob.data()), blob.length()};
}

}  // namespace

class DumpDialogTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  fs::path path(const char* name) const { return fs::path(ToU16(folder_.filePath(QString::fromLatin1(name)))); }

 private slots:
  void controlsFollowTheInterfaceAndTheSettings() {
    ProfileFile profile;
    profile.parse("[Dump Device]\nImage Format=9\nRotate Image=7\nAppend Timestamp=1\n");
    DumpDialog png(ScreenshotKind::ScreenDump, Shots(3), {480, 272}, LoadDumpSettings(profile), nullptr);
    QVERIFY(Child<QCheckBox>(&png, "appendTimestamp")->isEnabled());
    QVERIFY(Child<QCheckBox>(&png, "appendTimestamp")->isChecked());
    QVERIFY(!Button(&png, u"Delete All"_s)->isEnabled());
    QVERIFY(Button(&png, u"Select All"_s)->isEnabled());
    QCOMPARE(Child<QComboBox>(&png, "format")->currentText(), u"bmp"_s);
    QCOMPARE(Child<QComboBox>(&png, "rotation")->currentText(), u"270"_s);
    QVERIFY(!Child<QSpinBox>(&png, "width")->isEnabled());
    QCOMPARE(Child<QSpinBox>(&png, "width")->value(), 480);
    QCOMPARE(Child<QLabel>(&png, "target")->text(), u"480 x 272"_s);

    DumpDialog bmp(ScreenshotKind::Dumps, Shots(2), {480, 272}, DumpSettings{}, nullptr);
    QVERIFY(!Child<QCheckBox>(&bmp, "appendTimestamp")->isEnabled());
    QVERIFY(Button(&bmp, u"Delete All"_s)->isEnabled());
    DumpDialog none(ScreenshotKind::Dumps, {}, {480, 272}, DumpSettings{}, nullptr);
    QVERIFY(!Button(&none, u"Delete All"_s)->isEnabled());
    QVERIFY(!Button(&none, u"Select All"_s)->isEnabled());
  }

  void okNeedsADestinationAndASelection() {
    DumpDialog dialog(ScreenshotKind::ScreenDump, Shots(3), {480, 272}, DumpSettings{}, nullptr);
    auto* ok = Button(&dialog, u"OK"_s);
    QTest::qWait(150);
    QVERIFY(!ok->isEnabled());
    Child<QLineEdit>(&dialog, "destination")->setText(u"  /tmp  "_s);
    QTest::qWait(150);
    QVERIFY(!ok->isEnabled());
    Button(&dialog, u"Select All"_s)->click();
    QTRY_VERIFY(ok->isEnabled());
    Child<QTreeWidget>(&dialog, "list")->clearSelection();
    QTRY_VERIFY(!ok->isEnabled());
  }

  void sizesFollowTheUnitAndTheRatio() {
    DumpDialog dialog(ScreenshotKind::ScreenDump, Shots(1), {480, 272}, DumpSettings{}, nullptr);
    auto* width = Child<QSpinBox>(&dialog, "width");
    auto* height = Child<QSpinBox>(&dialog, "height");
    auto* target = Child<QLabel>(&dialog, "target");
    Child<QCheckBox>(&dialog, "specifySize")->setChecked(true);
    QVERIFY(width->isEnabled());
    Child<QCheckBox>(&dialog, "keepRatio")->setChecked(true);
    width->setValue(240);
    QCOMPARE(height->value(), 136);
    height->setValue(100);
    QCOMPARE(width->value(), 176);  // 100 × 480 / 272 = 176.5, to the nearest
    Child<QRadioButton>(&dialog, "percent")->setChecked(true);
    QCOMPARE(width->value(), 37);  // 176 of 480
    QCOMPARE(height->value(), 37);  // follows the width
    QCOMPARE(target->text(), u"178 x 101"_s);
    width->setValue(50);
    QCOMPARE(height->value(), 50);
    Child<QRadioButton>(&dialog, "pixels")->setChecked(true);
    QCOMPARE(width->value(), 240);
    QCOMPARE(height->value(), 136);
    Child<QCheckBox>(&dialog, "specifySize")->setChecked(false);
    QVERIFY(!width->isEnabled());
    QCOMPARE(width->value(), 480);
    QVERIFY(!Child<QCheckBox>(&dialog, "keepRatio")->isChecked());
  }

  // OK refuses sizes out of the unit's range, and a folder that is not there until it is made.
  void okChecksFolderAndSizes() {
    const fs::path missing = path("made/on/request");
    DumpDialog dialog(ScreenshotKind::ScreenDump, Shots(1), {480, 272}, DumpSettings{}, nullptr);
    dialog.show();
    Child<QLineEdit>(&dialog, "destination")->setText(QString::fromStdString(missing.string()));
    Button(&dialog, u"Select All"_s)->click();
    Child<QCheckBox>(&dialog, "specifySize")->setChecked(true);
    Child<QSpinBox>(&dialog, "width")->setValue(15);
    QTRY_VERIFY(Button(&dialog, u"OK"_s)->isEnabled());
    QString created;
    QString pixels;
    QString percent;
    {
      DialogScript script{Click(QMessageBox::Cancel), Click(QMessageBox::Ok, &created), Click(QMessageBox::Ok, &pixels)};
      dialog.accept();
      QVERIFY(!fs::exists(missing));
      dialog.accept();
      QTRY_VERIFY(script.finished());
    }
    QCOMPARE(created, u"Destination folder does not exist\n\nCreate the folder?"_s);
    QVERIFY(fs::is_directory(missing));
    QCOMPARE(pixels, u"Number of pixels is error\n\nRange for pixels: [16, 4096]"_s);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget*>(Child<QSpinBox>(&dialog, "width")));
    Child<QSpinBox>(&dialog, "width")->setValue(16);
    Child<QRadioButton>(&dialog, "percent")->setChecked(true);
    Child<QSpinBox>(&dialog, "height")->setValue(1001);
    Child<QSpinBox>(&dialog, "width")->setValue(1000);
    {
      DialogScript script{Click(QMessageBox::Ok, &percent)};
      dialog.accept();
      QTRY_VERIFY(script.finished());
    }
    QCOMPARE(percent, u"Number of percentage is error\n\nRange for percentage: [10, 1000]"_s);
    Child<QSpinBox>(&dialog, "height")->setValue(10);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const DumpRequest request = dialog.request();
    QCOMPARE(request.target, (std::optional<ImageSize>{ImageSize{4800, 27}}));
  }

  // Dump Device over the window: scaled to half, turned, an existing file replaced with Yes to All,
  // the count at the end, and the choices kept in the settings file.
  void dumpsThroughTheWindow() {
    test::FakeDevice device;
    device.setScreenshots(test::FakeDevice::Screenshots::ScreenDump);
    for (const char* name : {"a.png", "b.png", "c.png"}) device.setScreenshot(name, Png(480, 272));
    const fs::path settings = path("quillfern.ini");
    {
      ProfileFile profile;
      profile.parse("[Services]\nDevice Address=" + device.address() + "\n");
      QVERIFY(profile.save(settings));
    }
    const fs::path destination = path("shots");
    fs::create_directories(destination);
    std::ofstream(destination / "b.jpg") << "older";
    MainWindow window(settings);
    QVERIFY(test::ShowActive(window));
    QString question;
    QString count;
    {
      DialogScript script{
          [&destination](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), u"Dump GPS Device"_s);
            QCOMPARE(Child<QTreeWidget>(dialog, "list")->topLevelItemCount(), 3);
            Child<QLineEdit>(dialog, "destination")->setText(QString::fromStdString(destination.string()));
            Button(dialog, u"Select All"_s)->click();
            Child<QCheckBox>(dialog, "specifySize")->setChecked(true);
            Child<QRadioButton>(dialog, "percent")->setChecked(true);
            Child<QCheckBox>(dialog, "keepRatio")->setChecked(true);
            Child<QSpinBox>(dialog, "width")->setValue(50);
            Child<QComboBox>(dialog, "rotation")->setCurrentIndex(1);
            QTRY_VERIFY(Button(dialog, u"OK"_s)->isEnabled());
            Button(dialog, u"OK"_s)->click();
          },
          Click(QMessageBox::YesToAll, &question), Click(QMessageBox::Ok, &count)};
      RunDumpDevice(window, ScreenshotKind::None);
      QVERIFY(script.finished());
    }
    QVERIFY(question.contains(u"b.jpg"_s));
    QCOMPARE(count, u"Converted 3 files"_s);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
      Magick::Image image;
      image.read((destination / name).string());
      QCOMPARE(int(image.columns()), 136);
      QCOMPARE(int(image.rows()), 240);
    }
    ProfileFile profile;
    profile.load(settings);
    const DumpSettings kept = LoadDumpSettings(profile);
    QCOMPARE(kept.destination, destination);
    QVERIFY(kept.specifySize && !kept.pixels && kept.keepRatio);
    QCOMPARE(kept.width, 50);
    QCOMPARE(kept.quarterTurns, 1);
  }
};

}  // namespace qf

QTEST_MAIN(qf::DumpDialogTest)
#include "dump_dialog_test.moc"
