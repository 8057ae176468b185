// The About dialog, offscreen.
#include <QTest>

#include "shell/ui/about_dialog.h"
#include "ui/ui_test_support.h"

namespace qf {

using namespace Qt::StringLiterals;

class AboutDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void aboutClosesOnAClickAnywhere() {
    QString title;
    test::DialogAnswerer answerer;
    answerer.handleNext([&title](QWidget* dialog) {
      title = dialog->windowTitle();
      QTest::mouseClick(dialog, Qt::LeftButton, {}, QPoint(dialog->width() / 2, 4));
    });
    ShowAbout(nullptr, false);
    QCOMPARE(answerer.answered(), 1);
    QCOMPARE(title, u"About Quillfern"_s);
  }
};

}  // namespace qf

QTEST_MAIN(qf::AboutDialogTest)
#include "about_dialog_test.moc"
