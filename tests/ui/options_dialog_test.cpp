// The Options dialog on its own, offscreen: enabling rules, validation and the edited copy.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "core/string_table.h"
#include "shell/ui/options_dialog.h"
#include "editing/ui/qt_text.h"
#include "ui/ui_test_support.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

QCheckBox* Box(const QDialog& dialog, const char* text) {
  for (auto* box : dialog.findChildren<QCheckBox*>()) {
    if (box->text() == QString::fromUtf8(text)) return box;
  }
  return nullptr;
}

// The file count comes first, the auto-save interval second.
QSpinBox* Number(const QDialog& dialog, int index) { return dialog.findChildren<QSpinBox*>().value(index); }

void Type(QSpinBox* field, const QString& text) {
  field->selectAll();
  QTest::keyClicks(field, text);
}

void ClickOk(QDialog& dialog) { dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click(); }

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void dependentControlsFollowTheirMasterAtOnce() {
    OptionsDialog dialog(AppSettings{}, DocumentKind::Poi, nullptr);
    const struct {
      const char* master;
      QList<QWidget*> dependents;
    } cases[] = {
        {"Show too&lbar", {Box(dialog, "Large tool&bar icons"), Box(dialog, "Auto wra&p toolbar icons")}},
        {"Show &Distance column", {Box(dialog, "Auto &insert My Base Point")}},
        {"&Recent file list", {Number(dialog, 0), Box(dialog, "Auto open pre&vious file")}},
        {"Auto &save file", {Number(dialog, 1)}},
    };
    for (const auto& c : cases) {
      QCheckBox* master = Box(dialog, c.master);
      QVERIFY2(master, c.master);
      for (bool on : {!master->isChecked(), master->isChecked()}) {
        if (master->isChecked() != on) master->click();
        for (QWidget* dependent : c.dependents) {
          QVERIFY(dependent);
          QCOMPARE(dependent->isEnabled(), on);
        }
      }
    }
    QVERIFY(Box(dialog, "Show &Distance column")->isEnabled());
    QVERIFY(!Box(dialog, "S&hade table with colors")->isEnabled());
  }

  void tabOrderFollowsTheControls() {
    OptionsDialog dialog(AppSettings{}, DocumentKind::Poi, nullptr);
    QStringList order;
    QWidget* widget = Box(dialog, "Show &menu bar");
    do {
      if (auto* box = qobject_cast<QAbstractButton*>(widget)) order.append(box->text());
      if (widget == Number(dialog, 0)) order.append(u"count"_s);
      if (widget == Number(dialog, 1)) order.append(u"interval"_s);
      if (qobject_cast<QComboBox*>(widget)) order.append(u"language"_s);
      widget = widget->nextInFocusChain();
    } while (widget != Box(dialog, "Show &menu bar"));
    QCOMPARE(order.size(), 29);
    QCOMPARE(order.mid(9, 4), (QStringList{u"Metric &units for distances"_s, u"&Recent file list"_s, u"count"_s,
                                           u"Fade in/&out windows"_s}));
    QCOMPARE(order.mid(21, 5), (QStringList{u"Auto &save file"_s, u"interval"_s, u"language"_s,
                                            u"Use Cookie settings"_s, u"Update Memo info"_s}));
    QCOMPARE(order.mid(27), (QStringList{u"OK"_s, u"Cancel"_s}));
  }

  void phonebookOffersNoDistanceColumn() {
    OptionsDialog dialog(AppSettings{}, DocumentKind::Phonebook, nullptr);
    QVERIFY(!Box(dialog, "Show &Distance column")->isEnabled());
  }

  void outOfRangeNumbersKeepTheDialogOpen() {
    const struct {
      int field;
      int messageId;
    } cases[] = {{0, kFileCountError}, {1, kBackupIntervalError}};
    for (const auto& c : cases) {
      OptionsDialog dialog(AppSettings{}, DocumentKind::Poi, nullptr);
      dialog.show();
      dialog.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&dialog));
      QSpinBox* field = Number(dialog, c.field);
      Type(field, u"0"_s);
      test::DialogAnswerer answerer;
      answerer.answerNext(QMessageBox::Ok);
      ClickOk(dialog);
      QCOMPARE(answerer.answered(), 1);
      QCOMPARE(answerer.lastText(), ToQString(LoadString(c.messageId)));
      QVERIFY(dialog.isVisible());
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
      QCOMPARE(field->findChild<QLineEdit*>()->selectedText(), u"0"_s);
      QCOMPARE(dialog.focusWidget(), field);
    }
  }

  void numbersAreIgnoredWhileTheirBoxIsOff() {
    AppSettings settings;
    settings.fileCount = 4;
    settings.backupInterval = 12;
    OptionsDialog dialog(settings, DocumentKind::Poi, nullptr);
    dialog.show();
    Type(Number(dialog, 0), u"0"_s);
    Type(Number(dialog, 1), u"0"_s);
    Box(dialog, "&Recent file list")->click();
    Box(dialog, "Auto &save file")->click();
    ClickOk(dialog);  // a message box here would never be answered
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const AppSettings result = dialog.editedSettings();
    QCOMPARE(result.fileCount, 4);
    QCOMPARE(result.backupInterval, 12);
    QVERIFY(!result.on(Switch::RecentFile));
    QVERIFY(!result.on(Switch::BackupFile));
  }

  void resultCarriesTheEdits() {
    AppSettings settings;
    settings.set(Switch::FadeWindow, true);
    settings.set(Switch::ShowMenuBar, false);
    settings.set(Switch::ShadeTable, true);  // disabled, and kept
    settings.fileCount = 3;
    settings.backupInterval = 25;
    settings.googleMapsLang = 6;
    settings.recentFiles = {"/tmp/a.ov2"};
    OptionsDialog dialog(settings, DocumentKind::Poi, nullptr);
    QVERIFY(dialog.editedSettings() == settings);

    Box(dialog, "Show &menu bar")->click();
    Box(dialog, "Flash IQ Routes")->click();
    Type(Number(dialog, 0), u"9"_s);
    Type(Number(dialog, 1), u"99"_s);
    dialog.findChild<QComboBox*>()->setCurrentIndex(8);
    AppSettings expected = settings;
    expected.set(Switch::ShowMenuBar, true);
    expected.set(Switch::GoogleMapsRoute, false);
    expected.fileCount = 9;
    expected.backupInterval = 99;
    expected.googleMapsLang = 8;
    QVERIFY(dialog.editedSettings() == expected);
  }

  void languagesComeFromTheStringTable() {
    OptionsDialog dialog(AppSettings{}, DocumentKind::Poi, nullptr);
    auto* languages = dialog.findChild<QComboBox*>();
    QCOMPARE(languages->count(), 9);
    QCOMPARE(languages->itemText(0), u"USA"_s);
    QCOMPARE(languages->itemText(8), u"Espana"_s);
  }
};

}  // namespace qf

QTEST_MAIN(qf::OptionsDialogTest)
#include "options_dialog_test.moc"
