// Convert Formats, Translate Names, Query Names, Open Favorites and Add Favorite, driven through
// their dialogs over the real window.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "core/field_rules.h"
#include "core/user_port.h"
#include "editing/ui/qt_text.h"
#include "formats/file_pipeline.h"
#include "formats/name_translation.h"
#include "shell/ui/convert_formats_dialog.h"
#include "shell/ui/favorites_dialog.h"
#include "shell/ui/folder_dialog.h"
#include "shell/ui/main_window.h"
#include "shell/ui/name_preview.h"
#include "shell/ui/translate_names_dialog.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

using test::Click;
using test::DialogScript;

template <class Control>
Control* Named(QWidget* dialog, const QString& text) {
  for (Control* control : dialog->findChildren<Control*>()) {
    if (control->text().remove(u'&') == text) return control;
  }
  return nullptr;
}

QPushButton* Ok(QWidget* dialog) { return Named<QPushButton>(dialog, u"OK"_s); }

QString StatusLineOf(QWidget* dialog) { return dialog->findChildren<QLabel*>().value(0)->text(); }

// Text arriving in an edit as from an input method, whatever the characters.
void TypeInto(QWidget* edit, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
  QApplication::sendEvent(edit, &press);
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A Nav2 "MapSettings.cfg" with entries of these kinds (3 favourite, 4 home, 7 recent), each
// a header of 27 bytes, its name chain and its name.
std::vector<std::uint8_t> MapSettings(std::initializer_list<std::pair<std::uint8_t, std::string>> entries) {
  std::vector<std::uint8_t> bytes = {0x11, 0x22};
  std::int32_t units = 490000;
  for (const auto& [kind, name] : entries) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 29 + name.size(), 0);
    bytes[at] = 4;
    bytes[at + 2] = kind;
    bytes[at + 6] = 8;
    for (int i = 0; i < 4; ++i) {
      bytes[at + 8 + i] = static_cast<std::uint8_t>(units >> 8 * i);
      bytes[at + 12 + i] = static_cast<std::uint8_t>((units + 4700000) >> 8 * i);
    }
    bytes[at + 16] = 8;
    bytes[at + 26] = 27;       // the chain right after the header
    bytes[at + 27] = 27;       // leads to the length byte after it
    bytes[at + 28] = static_cast<std::uint8_t>(name.size() + 27);
    std::copy(name.begin(), name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 29));
    units += 1000;
  }
  bytes.resize(bytes.size() + 8, 0);
  return bytes;
}

}  // namespace

class FolderCommandsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  fs::path settingsPath() const { return fs::path(ToU16(folder_.filePath(u"quillfern.ini"_s))); }

  // A new empty folder in the test's folder.
  fs::path newFolder(const char* name) {
    const fs::path path = fs::path(ToU16(folder_.path())) / name;
    fs::create_directories(path);
    return path;
  }

  static void saveOv2(const fs::path& file, std::initializer_list<const char16_t*> names) {
    PoiDocument document;
    for (const char16_t* name : names) {
      const int row = AppendPoi(document, name, false);
      SetCoordinateText(document, row, kLng, u"4.9", false);
      SetCoordinateText(document, row, kLat, u"52.37", false);
    }
    SilentUserPort port;
    QCOMPARE(RunFileOperation(document, FileOperation::Save, FileFormat::Ov2, file, AppSettings{}, port), 0);
  }

 private slots:
  void init() { fs::remove(settingsPath()); }

  // The Same File Names question for every output that exists, No and then Yes to All; the
  // choice is there again the next time.
  void convertFormatsAsksAboutExistingFiles() {
    const fs::path folder = newFolder("convert");
    saveOv2(folder / "a.ov2", {u"Cafe", u"Park"});
    saveOv2(folder / "b.ov2", {u"Museum"});
    std::ofstream(folder / "a.gpx") << "older";
    std::ofstream(folder / "notes.doc") << "not a POI file";
    const std::string source = Contents(folder / "a.ov2");
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));

    QString question;
    QString count;
    {
      DialogScript script{
          [&folder](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), u"Convert Folder"_s);
            QCOMPARE(StatusLineOf(dialog), u"Position of folder:"_s);
            auto* targets = dialog->findChild<QComboBox*>();
            QVERIFY(!targets->isEnabled());
            QVERIFY(!Ok(dialog)->isEnabled());
            static_cast<ConvertFormatsDialog*>(dialog)->selectFolder(folder);
            QVERIFY(StatusLineOf(dialog).startsWith(u"Position of folder:  "_s));
            QVERIFY(StatusLineOf(dialog).endsWith(u"/convert"_s));
            Named<QRadioButton>(dialog, u"Convert to"_s)->click();
            QVERIFY(targets->isEnabled());
            targets->hidePopup();
            QCOMPARE(targets->count(), 14);
            QCOMPARE(targets->itemText(1), u"gpx"_s);
            targets->setCurrentIndex(1);
            Ok(dialog)->click();
          },
          Click(QMessageBox::No, &question), Click(QMessageBox::Ok, &count)};
      window.action(CommandId::ConvertFormats)->trigger();
      QVERIFY(script.finished());
    }
    QCOMPARE(question, ToQString(u"The file name already exists\n\n" + (folder / "a.gpx").u16string() +
                                 u"\n\nOverwrite it with the new file?"));
    QCOMPARE(count, u"Converted 1 files"_s);
    QCOMPARE(Contents(folder / "a.gpx"), "older");
    QVERIFY(Contents(folder / "b.gpx").find("Museum") != std::string::npos);

    {
      DialogScript script{[](QWidget* dialog) {
                            QVERIFY(StatusLineOf(dialog).endsWith(u"/convert"_s));
                            QCOMPARE(dialog->findChild<QComboBox*>()->currentText(), u"gpx"_s);
                            QVERIFY(Named<QRadioButton>(dialog, u"Convert to"_s)->isChecked());
                            Ok(dialog)->click();
                          },
                          Click(QMessageBox::YesToAll), Click(QMessageBox::Ok, &count)};
      window.action(CommandId::ConvertFormats)->trigger();
      QVERIFY(script.finished());
    }
    QCOMPARE(count, u"Converted 2 files"_s);  // b.gpx replaced without a question
    QVERIFY(Contents(folder / "a.gpx").find("Cafe") != std::string::npos);
    QCOMPARE(Contents(folder / "a.ov2"), source);
    QVERIFY(!fs::exists(folder / "notes.gpx"));
    QCOMPARE(window.table().document().rowCount(), 0);  // the document is not touched
  }

  // A drive plugged in or taken away while a folder dialog is open shows in its tree at once.
  void folderDialogsFollowTheDrives() {
    // A drive of the test's own, taken away again however the test ends.
    struct Drive {
      std::string point = "/media/quillfern-test-" + std::to_string(QCoreApplication::applicationPid());
      bool mount() {
        fs::create_directories(point);
        return std::system(("mount -t tmpfs -o size=1m quillfern-test '" + point + "' 2>/dev/null").c_str()) == 0;
      }
      void unmount() { std::system(("umount '" + point + "' 2>/dev/null").c_str()); }
      ~Drive() {
        unmount();
        std::error_code ignored;
        fs::remove(point, ignored);
      }
    } drive;
    FolderDialog dialog(u"Convert Folder"_s, u"Position of folder:"_s, nullptr);
    auto* tree = dialog.findChild<QTreeWidget*>();
    const QString point = QString::fromStdString(drive.point);
    const auto listed = [tree, &point] {
      for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->text(0).contains(point)) return i;
      }
      return -1;
    };
    QCOMPARE(listed(), -1);
    if (!drive.mount()) QSKIP("mounting a drive needs rights this test does not have");
    QTRY_COMPARE(listed(), 0);  // the drives come first
    drive.unmount();
    QTRY_COMPARE(listed(), -1);
    QCOMPARE(tree->topLevelItem(tree->topLevelItemCount() - 1)->text(0), u"/"_s);
  }

  void translateNamesBothWays() {
    const fs::path folder = newFolder("translate");
    const std::u16string name = u"\u53F0\u5317.ov2";
    const std::u16string coded = QueryWindowsName(name);
    std::ofstream(folder / name) << "x";
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    QString count;
    for (const bool toTomTom : {true, false}) {
      DialogScript script{[&folder, toTomTom](QWidget* dialog) {
                            QCOMPARE(dialog->windowTitle(), u"Translate Folder"_s);
                            static_cast<TranslateNamesDialog*>(dialog)->selectFolder(folder);
                            Named<QRadioButton>(dialog, toTomTom ? u"TomTom char code"_s : u"Windows char code"_s)
                                ->click();
                            Ok(dialog)->click();
                          },
                          Click(QMessageBox::Ok, &count)};
      window.action(CommandId::TranslateNames)->trigger();
      QVERIFY(script.finished());
      QCOMPARE(count, u"Translated 1 files/folders"_s);
      QVERIFY(fs::exists(folder / (toTomTom ? coded : name)));
      QVERIFY(!fs::exists(folder / (toTomTom ? name : coded)));
    }
  }

  void queryNamesTranslatesWhatIsTyped() {
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    const QString tomtom = u"\u53F0\u5317 Caf\u00E9"_s;
    const QString windows = ToQString(QueryWindowsName(ToU16(tomtom)));
    QVERIFY(windows.contains(u'}'));
    DialogScript script{[&](QWidget* dialog) {
      QCOMPARE(dialog->windowTitle(), u"Query Names"_s);
      const QList<QLineEdit*> edits = dialog->findChildren<QLineEdit*>();
      QCOMPARE(edits.size(), 2);
      QCOMPARE(edits[0]->maxLength(), 259);
      TypeInto(edits[0], tomtom);
      QCOMPARE(edits[1]->text(), windows);
      edits[1]->clear();
      TypeInto(edits[1], windows + u"}zz"_s);  // no escape: stays as it is
      QCOMPARE(edits[0]->text(), tomtom + u"}zz"_s);
      Named<QPushButton>(dialog, u"Close"_s)->click();
    }};
    window.action(CommandId::QueryNames)->trigger();
    QVERIFY(script.finished());
  }

  // The file dialogs tell the name the device shows for the file name typed.
  void fileDialogsPreviewTheTomTomName() {
    QFileDialog dialog;
    AddTomTomNamePreview(dialog);
    QCOMPARE(dialog.labelText(QFileDialog::FileName), u"Windows file &name:"_s);
    QVERIFY(Named<QLabel>(&dialog, u"TomTom name:"_s));
    auto* preview = dialog.findChild<QLabel*>(u"tomtomName"_s);
    QVERIFY(preview);
    dialog.findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(ToQString(QueryWindowsName(u"\u53F0\u5317.ov2")));
    QCOMPARE(preview->text(), u"\u53F0\u5317.ov2"_s);
  }

  // The folder must hold MapSettings.cfg; home and recent destinations come with the box ticked,
  // which keeps its state for the next time.
  void openFavoritesWithAndWithoutHome() {
    const fs::path device = newFolder("device");
    const fs::path empty = newFolder("empty");
    {
      const std::vector<std::uint8_t> bytes = MapSettings({{3, "Office"}, {4, "Home sweet"}, {7, "Station"}});
      std::ofstream(device / "MapSettings.cfg", std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    MainWindow window(settingsPath());
    QVERIFY(test::ShowActive(window));
    const PoiDocument& document = window.table().document();
    const auto open = [&window](const DialogScript::Step& step) {
      DialogScript script{step};
      window.action(CommandId::OpenFavorites)->trigger();
      QVERIFY(script.finished());
    };

    open([&](QWidget* dialog) {
      QCOMPARE(dialog->windowTitle(), u"Open Favorites"_s);
      QCOMPARE(StatusLineOf(dialog), u"Position of Favorites:  MapSettings.cfg"_s);
      auto* includeHome = Named<QCheckBox>(dialog, u"Include Home and Recent destinations"_s);
      QVERIFY(!includeHome->isChecked());
      static_cast<FavoritesDialog*>(dialog)->selectFolder(empty);
      QVERIFY(!Ok(dialog)->isEnabled());
      static_cast<FavoritesDialog*>(dialog)->selectFolder(device);
      QVERIFY(Ok(dialog)->isEnabled());
      QVERIFY(StatusLineOf(dialog).endsWith(u"/device/MapSettings.cfg"_s));
      Ok(dialog)->click();
    });
    QCOMPARE(document.rowCount(), 1);
    QCOMPARE(document.text(0, kName), u"Office");
    QCOMPARE(document.title, u"Favorites");
    QVERIFY(document.path.empty());
    window.tick();
    QCOMPARE(window.windowTitle(), u"Favorites - Quillfern for TomTom"_s);
    QVERIFY(window.settings().recentFiles.empty());

    open([](QWidget* dialog) {
      Named<QCheckBox>(dialog, u"Include Home and Recent destinations"_s)->setChecked(true);
      Ok(dialog)->click();
    });
    QCOMPARE(document.rowCount(), 3);
    QCOMPARE(document.text(1, kMemo), u"Home");
    QCOMPARE(document.text(2, kMemo), u"Recent destination");

    open([](QWidget* dialog) {
      QVERIFY(Named<QCheckBox>(dialog, u"Include Home and Recent destinations"_s)->isChecked());
      QVERIFY(Ok(dialog)->isEnabled());  // the folder chosen before
      Named<QCheckBox>(dialog, u"Include Home and Recent destinations"_s)->setChecked(false);
      Named<QPushButton>(dialog, u"Cancel"_s)->click();
    });
    QCOMPARE(document.rowCount(), 3);
    open([](QWidget* dialog) {
      QVERIFY(Named<QCheckBox>(dialog, u"Include Home and Recent destinations"_s)->isChecked());
      Named<QPushButton>(dialog, u"Cancel"_s)->click();
    });
  }

  // Add Favorite needs a program for "tomtomhome:" links and a row with coordinates; it hands the
  // link over and does nothing else.
  void addFavoriteHandsOverItsUrl() {
    const fs::path folder = newFolder("favorite");
    saveOv2(folder / "fish.ov2", {u"Fish & Chips 100%"});
    MainWindow window(settingsPath());
    QList<QUrl> opened;
    window.setUrlOpener([&opened](const QUrl& url) {
      opened.append(url);
      return true;
    });
    window.setTomTomHomeProbe([] { return false; });
    QVERIFY(test::ShowActive(window));
    test::OpenThroughMenu(window, folder / "fish.ov2");
    window.tick();
    QVERIFY(!window.action(CommandId::AddFavorite)->isEnabled());

    window.setTomTomHomeProbe([] { return true; });
    window.tick();
    QVERIFY(window.action(CommandId::AddFavorite)->isEnabled());
    test::Press(window, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.front().toEncoded(),
             QByteArray("tomtomhome:geo:lat=52.37000&long=4.90000&name=Fish%20%20%20Chips%20100%20"));
    QVERIFY(!window.table().document().modified);
  }
};

}  // namespace qf

QTEST_MAIN(qf::FolderCommandsTest)
#include "folder_commands_test.moc"
