// The device commands in the real window, offscreen, against a fake device on 127.0.0.1.
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <deque>
#include <fstream>
#include <iterator>

#include "core/field_rules.h"
#include "device/ui/device_link.h"
#include "device/ui/open_device_dialog.h"
#include "device/ui/save_device_dialog.h"
#include "editing/exchange_link.h"
#include "editing/ui/qt_text.h"
#include "fakes/fake_device.h"
#include "formats/file_pipeline.h"
#include "shell/ui/main_window.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

using test::Click;
using test::DialogScript;

QPushButton* Button(QWidget* dialog, const QString& text) {
  for (auto* button : dialog->findChildren<QPushButton*>()) {
    if (button->text().remove(u'&') == text) return button;
  }
  return nullptr;
}

// A KML file of one POI with a position.
bool SaveOnePoiAsKml(const fs::path& kml) {
  PoiDocument made;
  AppendPoi(made, u"Bridge", false);
  SetCoordinateText(made, 0, kLng, u"4.9", false);
  SetCoordinateText(made, 0, kLat, u"52.37", false);
  SilentUserPort port;
  return RunFileOperation(made, FileOperation::Save, FileFormat::Kml, kml, AppSettings{}, port) == 0;
}

// The Name column of the Open GPS Device list, top to bottom.
QStringList ListedNames(QWidget* dialog) {
  const QAbstractItemModel* model = static_cast<OpenDeviceDialog*>(dialog)->list()->model();
  QStringList names;
  for (int row = 0; row < model->rowCount(); ++row) names << model->index(row, 0).data().toString();
  return names;
}

void Choose(QWidget* dialog, const QString& name) {
  QTreeView* list = static_cast<OpenDeviceDialog*>(dialog)->list();
  const int row = static_cast<int>(ListedNames(dialog).indexOf(name));
  QVERIFY(row >= 0);
  list->setCurrentIndex(list->model()->index(row, 0));
}

std::string Ov2Bytes(int count) {
  PoiDocument document;
  for (int row = 0; row < count; ++row) {
    AppendPoi(document, u"Place " + std::u16string(1, static_cast<char16_t>(u'A' + row % 26)), false);
    SetCoordinateText(document, row, kLng, u"4.9", false);
    SetCoordinateText(document, row, kLat, u"52.37", false);
  }
  QTemporaryDir folder;
  const fs::path file = fs::path(ToU16(folder.filePath(u"made.ov2"_s)));
  SilentUserPort port;
  RunFileOperation(document, FileOperation::Save, FileFormat::Ov2, file, AppSettings{}, port);
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

class DeviceWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  std::unique_ptr<test::FakeDevice> device_;
  std::unique_ptr<MainWindow> window_;
  DeviceLink* link_ = nullptr;

  fs::path path(const char* name) const { return fs::path(ToU16(folder_.filePath(QString::fromUtf8(name)))); }

  // A window whose device is the fake, once it has found it.
  void start() {
    window_ = std::make_unique<MainWindow>(path("quillfern.ini"));
    window_->settings().services.deviceAddress = device_->address();
    auto link = std::make_unique<DeviceLink>(*window_);
    link_ = link.get();
    QSignalSpy found(link_, &DeviceLink::changed);
    window_->setDeviceServices(std::move(link));
    QVERIFY(test::ShowActive(*window_));
    QTRY_COMPARE(found.count(), 1);
    QVERIFY(link_->devicePresent());
    window_->tick();
  }

  PoiDocument& document() { return window_->table().document(); }

 private slots:
  void init() {
    device_ = std::make_unique<test::FakeDevice>();
    device_->setFile("Favorites.ov2", Ov2Bytes(2));
    device_->setFile("Home.ov2", Ov2Bytes(3));
    device_->setFile("Home.bmp", "not a picture");
    device_->setFile("Home.ogg", "sound");
    device_->setGeneratedFile("Big.ov2", 1572864);    // "1.5 MB"
    device_->setGeneratedFile("Small.ov2", 921600);  // "900 KB"
    start();
  }
  void cleanup() {
    window_.reset();
    device_.reset();
  }

  // The list in every order keeps the favourites first; sizes go by value; Delete asks, then the
  // list comes again without the file; Refresh reads it again; OK opens the file as an untitled-path
  // document titled by its name.
  void openListsSortsDeletesAndOpens() {
    QVERIFY(window_->action(CommandId::OpenDevice)->isEnabled());
    QStringList byName, bySize, bySizeDown, afterDelete, refreshed;
    QString question;
    {
      DialogScript script{
          [&](QWidget* dialog) {
            byName = ListedNames(dialog);
            QVERIFY(!Button(dialog, u"Delete"_s)->isEnabled());  // the favourites row is chosen first
            QHeaderView* header = static_cast<OpenDeviceDialog*>(dialog)->list()->header();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
            bySize = ListedNames(dialog);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
            bySizeDown = ListedNames(dialog);
            Choose(dialog, u"Home"_s);
            QVERIFY(Button(dialog, u"Delete"_s)->isEnabled());
            // Later: the question it asks must find the script free.
            QTimer::singleShot(0, Button(dialog, u"Delete"_s), &QPushButton::click);
          },
          Click(QMessageBox::Ok, &question),
          [&](QWidget* dialog) {
            afterDelete = ListedNames(dialog);
            Button(dialog, u"Refresh"_s)->click();
          },
          [&](QWidget* dialog) {
            refreshed = ListedNames(dialog);
            Choose(dialog, u"Favorites"_s);
            QTreeView* list = static_cast<OpenDeviceDialog*>(dialog)->list();
            emit list->doubleClicked(list->currentIndex());
          }};
      window_->action(CommandId::OpenDevice)->trigger();
      QVERIFY(script.finished());
    }
    QCOMPARE(byName, (QStringList{u"Favorites"_s, u"Big"_s, u"Home"_s, u"Small"_s}));
    QCOMPARE(bySize, (QStringList{u"Favorites"_s, u"Home"_s, u"Small"_s, u"Big"_s}));
    QCOMPARE(bySizeDown, (QStringList{u"Favorites"_s, u"Big"_s, u"Small"_s, u"Home"_s}));
    // The bmp does not load, so it has no mark; the ogg has.
    QCOMPARE(question, u"Delete following POI files?\n\nov2 | ogg"_s);
    QCOMPARE(afterDelete, (QStringList{u"Favorites"_s, u"Big"_s, u"Small"_s}));
    QCOMPARE(refreshed, afterDelete);
    QVERIFY(!device_->files().contains("Home.ov2"));
    QVERIFY(!device_->files().contains("Home.ogg"));
    QCOMPARE(document().title, u"Favorites");
    QVERIFY(document().path.empty());
    QCOMPARE(document().rowCount(), 2);
    QVERIFY(window_->settings().recentFiles.empty());
  }

  // The device going away while its dialog is open closes the dialog as a cancel; another editor's
  // announcement says so as a detection would.
  void deviceGoneClosesTheDialog() {
    bool shown = false;
    {
      DialogScript script{[&](QWidget*) {
        shown = true;
        QLocalSocket socket;
        socket.connectToServer(QFile::decodeName(QByteArray::fromStdString(link_->channel().path().string())));
        QVERIFY(socket.waitForConnected(1000));
        const auto bytes = EncodeMessage({0x8002, 0, 0});
        socket.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        QVERIFY(socket.waitForBytesWritten(1000));
      }};
      window_->action(CommandId::OpenDevice)->trigger();
    }
    QVERIFY(shown);
    QVERIFY(!link_->devicePresent());
    QCOMPARE(document().title, u"Untitled");
    window_->tick();
    QVERIFY(!window_->action(CommandId::OpenDevice)->isEnabled());
  }

  // Two editors: one announces the device absent around its long operation, the other hears it.
  void editorsHearEachOther() {
    MainWindow other(path("other.ini"));
    other.settings().services.deviceAddress = device_->address();
    auto otherLink = std::make_unique<DeviceLink>(other);
    DeviceLink& second = *otherLink;
    other.setDeviceServices(std::move(otherLink));
    QTRY_VERIFY(second.devicePresent());
    link_->announce(false);
    QTRY_VERIFY(!second.devicePresent());
    link_->announce(true);
    QTRY_VERIFY(second.devicePresent());
  }

  // More than 96 favourites ask first (Cancel ends the command); 96 do not.
  void saveAsksAboutTooManyFavorites() {
    for (const int rows : {97, 96}) {
      ResetToNew(document());
      document().title = u"Favorites";
      for (int row = 0; row < rows; ++row) {
        AppendPoi(document(), u"Fav", false);
        SetCoordinateText(document(), row, kLng, u"4.9", false);
        SetCoordinateText(document(), row, kLat, u"52.37", false);
      }
      window_->table().notifyReset();
      window_->afterEdit();
      QVERIFY(window_->action(CommandId::SaveDevice)->isEnabled());
      QString question;
      DialogScript script{Click(QMessageBox::Cancel, &question), Click(QMessageBox::Ok)};
      window_->action(CommandId::SaveDevice)->trigger();
      if (rows == 97) {
        QCOMPARE(question, u"Only 96 POIs of Favorites can be accessible by GPS device\n"
                           u"Continue to save the file anyway?"_s);
        QCOMPARE(device_->uploads().size(), 0u);
      } else {
        // The one question is the overwrite of the device's Favorites.
        QCOMPARE(question, u"Overwrite with new files?\n\nov2"_s);
        QCOMPARE(device_->uploads().size(), 0u);
      }
    }
  }

  // A KML document goes to the device as an ov2 file saved beside it, which the document is
  // afterwards; the companion chosen goes in the same request.
  void saveKmlLeavesAnOv2BesideIt() {
    const fs::path kml = path("Trip.kml");
    QVERIFY(SaveOnePoiAsKml(kml));
    std::ofstream(path("Trip.bmp"), std::ios::binary) << "BMicon";
    QVERIFY(window_->openPath(kml));
    {
      DialogScript script{[](QWidget* dialog) {
        auto* save = static_cast<SaveDeviceDialog*>(dialog);
        QVERIFY(save->box(DeviceFileKind::Ov2)->isChecked());
        QVERIFY(!save->box(DeviceFileKind::Ogg)->isEnabled());
        QVERIFY(save->box(DeviceFileKind::Bmp)->isEnabled());
        QVERIFY(!save->box(DeviceFileKind::Bmp)->isChecked());
        save->box(DeviceFileKind::Bmp)->setChecked(true);
        save->okButton()->click();
      }};
      window_->action(CommandId::SaveDevice)->trigger();
      QVERIFY(script.finished());
    }
    QCOMPARE(document().path, path("Trip.ov2"));
    QCOMPARE(document().format, FileFormat::Ov2);
    QVERIFY(fs::exists(path("Trip.ov2")));
    QVERIFY(fs::exists(kml));
    const auto uploads = device_->uploads();
    QCOMPARE(uploads.size(), 1u);
    QCOMPARE(uploads[0].parts.size(), 2u);
    QCOMPARE(uploads[0].parts[0].fileName, "Trip.ov2");
    QCOMPARE(uploads[0].parts[1].fileName, "Trip.bmp");
    QCOMPARE(uploads[0].parts[1].bytes, "BMicon");
    QCOMPARE(device_->files().at("Trip.ov2").size(), fs::file_size(path("Trip.ov2")));
  }

  // When the ov2 file beside it cannot be written, nothing is sent and the document stays the KML file.
  void aFailedOv2SaveLeavesTheDocumentAsItWas() {
    const fs::path kml = path("Walk.kml");
    QVERIFY(SaveOnePoiAsKml(kml));
    fs::create_directory(path("Walk.ov2"));  // in the way of the file
    QVERIFY(window_->openPath(kml));
    {
      DialogScript script{[](QWidget* dialog) { static_cast<SaveDeviceDialog*>(dialog)->okButton()->click(); },
                          Click(QMessageBox::Ok)};
      window_->action(CommandId::SaveDevice)->trigger();
      QVERIFY(script.finished());
    }
    QCOMPARE(document().path, kml);
    QCOMPARE(document().format, FileFormat::Kml);
    QVERIFY(!document().modified);
    QCOMPARE(device_->uploads().size(), 0u);
  }
};

}  // namespace qf

QTEST_MAIN(qf::DeviceWindowTest)
#include "device_window_test.moc"
