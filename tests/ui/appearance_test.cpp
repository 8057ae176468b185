// The table font, the table background and the toolbar colour, and their dialogs, offscreen.
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "core/string_table.h"
#include "shell/ui/appearance.h"
#include "editing/ui/qt_text.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

QPushButton* ApplyButton(QWidget* dialog) {
  for (auto* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == ToQString(LoadString(kApplyButton))) return button;
  }
  return nullptr;
}

QString Family() {
  const QStringList families = QFontDatabase::families();
  return families.contains(u"DejaVu Sans"_s) ? u"DejaVu Sans"_s : families.value(0);
}

FontSettings Font(int height, int weight = 400, bool italic = false) {
  FontSettings font;
  font.name = ToU16(Family());
  font.height = height;
  font.weight = weight;
  font.italic = italic;
  return font;
}

}  // namespace

class AppearanceTest : public QObject {
  Q_OBJECT

 private slots:
  void fontSettingsRoundTrip() {
    for (FontSettings font : {Font(-15, 700, true), Font(-22), Font(-9, 300)}) {
      font.colour = Rgb(1, 2, 3);
      font.background = "/tmp/tile.png";
      FontSettings back = font;
      back.name.clear();
      StoreFont(ToQFont(font), back);
      QVERIFY2(back == font, qPrintable(QString::number(font.height)));
    }
  }

  void positiveHeightIsTheCellHeight() {
    const QFont font = ToQFont(Font(30));
    QVERIFY(std::abs(QFontMetrics(font).height() - 30) <= 1);
  }

  void noFaceNameMeansTheDefaultFont() {
    FontSettings font = Font(-40, 700);
    font.name.clear();
    QCOMPARE(ToQFont(font), QApplication::font());
  }

  void fontAppliedAndThenCancelledStays() {
    FontSettings font = Font(-12);
    font.colour = Rgb(200, 0, 0);
    QFont chosen(Family());
    chosen.setPointSize(18);
    chosen.setBold(true);
    QList<QFont> applied;
    test::DialogAnswerer answerer;
    answerer.handleNext([&](QWidget* widget) {
      auto* dialog = qobject_cast<QFontDialog*>(widget);
      QVERIFY(dialog);
      for (auto* effect : dialog->findChildren<QCheckBox*>()) QVERIFY(!effect->isEnabled());
      dialog->setCurrentFont(chosen);
      QVERIFY(ApplyButton(dialog));
      ApplyButton(dialog)->click();
      dialog->reject();
    });
    const bool confirmed = ChooseTableFont(nullptr, font, false, [&](const QFont& shown, QColor colour) {
      applied.append(shown);
      QCOMPARE(colour, QColor(200, 0, 0));
    });
    QVERIFY(!confirmed);
    QCOMPARE(applied.size(), 1);
    QCOMPARE(font.weight, 700);
    QVERIFY(font.height < -12);
    QCOMPARE(applied.first(), ToQFont(font));
  }

  // The colour is chosen beside the font from the classic 16; a stored colour that is none of them
  // is offered too, so that confirming the dialog keeps it.
  void textColourIsChosenWithTheFont() {
    FontSettings font = Font(-12);
    for (const Colour stored : {Rgb(255, 0, 0), Rgb(1, 2, 3)}) {
      font.colour = stored;
      QList<QColor> applied;
      test::DialogAnswerer answerer;
      answerer.handleNext([&](QWidget* dialog) {
        auto* list = dialog->findChild<QComboBox*>(u"textColour"_s);
        QVERIFY(list && list->isEnabled());
        QCOMPARE(list->count(), stored == Rgb(255, 0, 0) ? 16 : 17);
        QCOMPARE(list->currentText(), stored == Rgb(255, 0, 0) ? u"Red"_s : u"Custom"_s);
        ApplyButton(dialog)->click();
        list->setCurrentIndex(list->findText(u"Navy"_s));
        QLineEdit* sample = nullptr;
        for (auto* edit : dialog->findChildren<QLineEdit*>()) {
          if (edit->parentWidget() != dialog) sample = edit;
        }
        QVERIFY(sample);
        QCOMPARE(sample->palette().color(QPalette::Text), QColor(0, 0, 128));
        static_cast<QDialog*>(dialog)->accept();
      });
      QVERIFY(ChooseTableFont(nullptr, font, false, [&](const QFont&, QColor colour) { applied.append(colour); }));
      QCOMPARE(applied, (QList<QColor>{ToQColor(stored), QColor(0, 0, 128)}));
      QCOMPARE(font.colour, Rgb(0, 0, 128));
    }
  }

  void backgroundTilesAReadableImageOnly() {
    QTemporaryDir dir;
    const QString imagePath = dir.filePath(u"tile.png"_s);
    QImage tile(8, 6, QImage::Format_RGB32);
    tile.fill(Qt::red);
    QVERIFY(tile.save(imagePath));
    const QString textPath = dir.filePath(u"note.png"_s);
    QFile text(textPath);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not an image");
    text.close();

    QTableView view;
    const QBrush plain = view.palette().brush(QPalette::Base);
    QVERIFY(!ApplyTableBackground(&view, fs::path(ToU16(textPath))));
    QCOMPARE(view.palette().brush(QPalette::Base), plain);
    QVERIFY(!ApplyTableBackground(&view, fs::path(ToU16(dir.filePath(u"missing.png"_s)))));

    QVERIFY(ApplyTableBackground(&view, fs::path(ToU16(imagePath))));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
      const QBrush brush = view.palette().brush(group, QPalette::Base);
      QCOMPARE(brush.style(), Qt::TexturePattern);
      QCOMPARE(brush.textureImage().size(), QSize(8, 6));
    }
    QCOMPARE(view.viewport()->palette().brush(QPalette::Base).style(), Qt::TexturePattern);

    RemoveTableBackground(&view);
    QCOMPARE(view.palette().brush(QPalette::Base), plain);
  }

  void toolbarColourAppliedAndConfirmedIsWritten() {
    AppSettings settings;
    settings.customColours[3] = Rgb(9, 8, 7);
    QList<QColor> applied;
    test::DialogAnswerer answerer;
    answerer.handleNext([](QWidget* widget) {
      auto* dialog = qobject_cast<QColorDialog*>(widget);
      QVERIFY(dialog);
      QCOMPARE(QColorDialog::customColor(3), QColor(9, 8, 7));
      // Alt+A is the Apply button's alone.
      for (auto* button : dialog->findChildren<QPushButton*>()) {
        if (button != ApplyButton(dialog)) {
          QVERIFY2(QKeySequence::mnemonic(button->text()) != QKeySequence(Qt::ALT | Qt::Key_A),
                   qPrintable(button->text()));
        }
      }
      dialog->setCurrentColor(QColor(10, 20, 30));
      ApplyButton(dialog)->click();
      QColorDialog::setCustomColor(5, QColor(1, 1, 1));
      dialog->accept();
    });
    const ToolbarColourChoice choice =
        ChooseToolbarColour(nullptr, settings, [&](QColor colour) { applied.append(colour); });
    QCOMPARE(applied, QList<QColor>{QColor(10, 20, 30)});
    QVERIFY(choice.confirmed);
    QVERIFY(choice.colourChanged);
    QCOMPARE(settings.toolbarColour, Rgb(10, 20, 30));
    QCOMPARE(settings.customColours[5], Rgb(1, 1, 1));
    QCOMPARE(settings.customColours[3], Rgb(9, 8, 7));
  }

  void toolbarColourAppliedAndCancelledStaysUnwritten() {
    AppSettings settings;
    const AppSettings before = settings;
    QList<QColor> applied;
    test::DialogAnswerer answerer;
    answerer.handleNext([](QWidget* widget) {
      auto* dialog = qobject_cast<QColorDialog*>(widget);
      QVERIFY(dialog);
      dialog->setCurrentColor(QColor(10, 20, 30));
      ApplyButton(dialog)->click();
      QColorDialog::setCustomColor(5, QColor(1, 1, 1));
      dialog->reject();
    });
    const ToolbarColourChoice choice =
        ChooseToolbarColour(nullptr, settings, [&](QColor colour) { applied.append(colour); });
    QCOMPARE(applied.size(), 1);
    QVERIFY(!choice.confirmed);
    QVERIFY(!choice.colourChanged);
    QCOMPARE(settings.toolbarColour, Rgb(10, 20, 30));  // in effect for this run
    QVERIFY(settings.customColours == before.customColours);
  }

  void toolbarColourChosenWithoutApplyIsShownOnOk() {
    AppSettings settings;
    QList<QColor> applied;
    test::DialogAnswerer answerer;
    answerer.handleNext([](QWidget* widget) {
      auto* dialog = qobject_cast<QColorDialog*>(widget);
      QVERIFY(dialog);
      dialog->setCurrentColor(QColor(40, 50, 60));
      dialog->accept();
    });
    const ToolbarColourChoice choice =
        ChooseToolbarColour(nullptr, settings, [&](QColor colour) { applied.append(colour); });
    QCOMPARE(applied, QList<QColor>{QColor(40, 50, 60)});
    QVERIFY(choice.colourChanged);
  }
};

}  // namespace qf

QTEST_MAIN(qf::AppearanceTest)
#include "appearance_test.moc"
