// The toolbar and its customise dialog over stand-in actions, offscreen.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLayout>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QWidgetAction>

#include <functional>
#include <map>

#include "shell/command_table.h"
#include "shell/ui/toolbar.h"
#include "shell/ui/toolbar_customize_dialog.h"

namespace qf {

using namespace Qt::StringLiterals;
using enum CommandId;

namespace {

// The command actions as the window would own them, each with a plain grey image.
class Actions {
 public:
  Actions() {
    QPixmap grey(24, 24);
    grey.fill(QColor(100, 100, 100));
    for (const CommandInfo& info : Commands()) {
      auto* action = new QAction(QString::fromUtf8(info.menuText), &owner_);
      if (info.image >= 0) action->setIcon(QIcon(grey));
      actions_[info.id] = action;
    }
  }
  QAction* operator()(CommandId id) const { return actions_.at(id); }

 private:
  QObject owner_;
  std::map<CommandId, QAction*> actions_;
};

// What the toolbar shows, separators as nullptr, whether it wraps or not.
QList<QAction*> Shown(const Toolbar& toolbar) {
  QList<QAction*> shown;
  for (QAction* action : toolbar.actions()) {
    if (auto* widget = qobject_cast<QWidgetAction*>(action)) {
      for (QObject* child : widget->defaultWidget()->children()) {
        if (auto* button = qobject_cast<QToolButton*>(child)) {
          shown.append(button->defaultAction());
        } else if (qobject_cast<QWidget*>(child)) {
          shown.append(nullptr);
        }
      }
    } else {
      shown.append(action->isSeparator() ? nullptr : action);
    }
  }
  return shown;
}

QList<QAction*> Expected(const Actions& actions, std::initializer_list<CommandId> ids) {
  QList<QAction*> expected;
  for (const CommandId id : ids) expected.append(id == kSeparator ? nullptr : actions(id));
  return expected;
}

template <typename T>
T* Child(const QDialog& dialog, const char* name) {
  T* child = dialog.findChild<T*>(QString::fromLatin1(name));
  if (!child) qFatal("no %s in the dialog", name);
  return child;
}

}  // namespace

class ToolbarTest : public QObject {
  Q_OBJECT

 private slots:
  void iconSizeFollowsLargeToolbarAndKeepsTheArrangement() {
    Actions actions;
    AppSettings settings;
    settings.set(Switch::WrapToolbar, false);
    settings.toolbarButtons = u"13 51 14"_s.toStdU16String();
    Toolbar toolbar(std::ref(actions), settings);
    QCOMPARE(toolbar.iconSize(), QSize(24, 24));
    settings.set(Switch::LargeToolbar, false);
    toolbar.rebuild();
    QCOMPARE(toolbar.iconSize(), QSize(16, 16));
    QCOMPARE(Shown(toolbar), Expected(actions, {Undo, kSeparator, Redo}));
  }

  void storedLayoutYieldsExactlyItsButtons_data() {
    QTest::addColumn<bool>("wrap");
    QTest::newRow("one row") << false;
    QTest::newRow("wrapping") << true;
  }
  void storedLayoutYieldsExactlyItsButtons() {
    QFETCH(bool, wrap);
    Actions actions;
    AppSettings settings;
    settings.set(Switch::WrapToolbar, wrap);
    settings.toolbarButtons = u"0 51 51 45 0 77"_s.toStdU16String();
    Toolbar toolbar(std::ref(actions), settings);
    QCOMPARE(Shown(toolbar), Expected(actions, {New, kSeparator, kSeparator, Options}));
    settings.toolbarButtons.reset();
    toolbar.rebuild();
    const QList<QAction*> shown = Shown(toolbar);
    QCOMPARE(shown.size(), 61);
    QCOMPARE(shown.count(nullptr), 10);
    QCOMPARE(shown.front(), actions(New));
    QCOMPARE(shown.back(), actions(About));
  }

  void wrappingFlowsOntoMoreRows() {
    Actions actions;
    AppSettings settings;
    QMainWindow window;
    auto* toolbar = new Toolbar(std::ref(actions), settings);
    window.addToolBar(toolbar);
    window.resize(300, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(toolbar->height() > 5 * 24);
    const int narrowHeight = toolbar->height();
    for (QToolButton* button : toolbar->findChildren<QToolButton*>()) {
      if (button->objectName() == u"qt_toolbar_ext_button"_s) continue;
      QVERIFY(button->isVisible());
      QVERIFY(toolbar->rect().contains(QRect(button->mapTo(toolbar, QPoint()), button->size())));
    }
    window.resize(1600, 400);
    QTRY_VERIFY(toolbar->height() < narrowHeight);

    // Without wrapping the toolbar keeps one row and offers the rest in its extension menu.
    settings.set(Switch::WrapToolbar, false);
    toolbar->rebuild();
    window.resize(300, 400);
    QTRY_VERIFY(toolbar->height() < 2 * (24 + 8));
    auto* extension = toolbar->findChild<QToolButton*>(u"qt_toolbar_ext_button"_s);
    QVERIFY(extension);
    QTRY_VERIFY(extension->isVisible());
  }

  void spacingWidensTheGapBetweenButtons() {
    Actions actions;
    AppSettings settings;
    settings.set(Switch::WrapToolbar, false);
    settings.toolbarButtons = u"0 1"_s.toStdU16String();
    Toolbar toolbar(std::ref(actions), settings);
    toolbar.resize(400, 40);
    auto gap = [&] {
      toolbar.layout()->activate();
      return toolbar.widgetForAction(actions(Open))->x() - toolbar.widgetForAction(actions(New))->geometry().right();
    };
    const int narrow = gap();
    settings.toolbarSpacing = 7;
    toolbar.rebuild();
    QCOMPARE(gap(), narrow + 7);
  }

  void paintsShadedRowsAndBrightensHoveredImages() {
    Actions actions;
    AppSettings settings;
    settings.toolbarButtons = u"0"_s.toStdU16String();
    Toolbar toolbar(std::ref(actions), settings);
    toolbar.resize(400, 100);
    const QImage image = toolbar.grab().toImage();
    const auto colour = [&](int y) { return image.pixelColor(390, y); };
    QCOMPARE(colour(2), QColor(224, 248, 255));
    // The second row starts with a grey and a white line; its lower half darkens.
    int rowStart = 6;
    while (rowStart < image.height() && colour(rowStart) != QColor(160, 160, 160)) ++rowStart;
    QVERIFY(rowStart < image.height());
    QCOMPARE(colour(rowStart + 1), QColor(255, 255, 255));
    QCOMPARE(colour(rowStart + 2), QColor(224, 248, 255));
    const int buttonRow = rowStart - 8;
    QCOMPARE(colour(rowStart + buttonRow / 2 + 4), QColor(200, 240, 239));

    const QImage hot = actions(New)->icon().pixmap(QSize(24, 24), QIcon::Active).toImage();
    QCOMPARE(hot.pixelColor(5, 5), QColor(110, 110, 110));
    QCOMPARE(actions(New)->icon().pixmap(QSize(24, 24)).toImage().pixelColor(5, 5), QColor(100, 100, 100));
  }

  void rightClickAsksForThePopupAtThePointer() {
    Actions actions;
    AppSettings settings;
    Toolbar toolbar(std::ref(actions), settings);
    QSignalSpy spy(&toolbar, &Toolbar::contextMenuRequested);
    QToolButton* button = toolbar.findChildren<QToolButton*>().front();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3), QPoint(203, 103));
    QApplication::sendEvent(button, &event);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.front().front().toPoint(), QPoint(203, 103));
  }

  void customizingStoresTheArrangementAtOnce() {
    Actions actions;
    AppSettings settings;
    settings.set(Switch::WrapToolbar, false);
    Toolbar toolbar(std::ref(actions), settings);
    ToolbarCustomizeDialog dialog(toolbar, settings);
    QSignalSpy changed(&dialog, &ToolbarCustomizeDialog::buttonsChanged);
    auto* current = Child<QListWidget>(dialog, "current");
    auto* available = Child<QListWidget>(dialog, "available");
    auto* remove = Child<QPushButton>(dialog, "remove");
    auto* reset = Child<QPushButton>(dialog, "reset");
    auto* close = Child<QPushButton>(dialog, "close");
    QCOMPARE(current->count(), 61);
    QCOMPARE(available->count(), 1);  // only the separator
    QCOMPARE(available->item(0)->text(), u"Separator"_s);
    QVERIFY(!reset->isEnabled());
    QVERIFY(close->isEnabled());

    // Undo's disabled state belongs to its action and survives the round trip off the toolbar.
    actions(Undo)->setEnabled(false);
    current->setCurrentRow(16);  // after three groups of buttons and their separators
    QCOMPARE(current->currentItem()->text(), u"Undo (Ctrl+Z)"_s);
    remove->click();
    QCOMPARE(changed.count(), 1);
    QVERIFY(settings.toolbarButtons);
    QVERIFY(settings.toolbarButtons->starts_with(u"0 1 2 3 4 51 5 6 7 8 9 51 10 11 12 51 14 15"));
    QVERIFY(!Shown(toolbar).contains(actions(Undo)));
    QVERIFY(!actions(Undo)->isEnabled());
    QVERIFY(reset->isEnabled());
    QCOMPARE(available->count(), 2);
    QCOMPARE(available->item(1)->text(), u"Undo (Ctrl+Z)"_s);

    // Put it back first, then move it one place down.
    current->setCurrentRow(0);
    available->setCurrentRow(1);
    Child<QPushButton>(dialog, "add")->click();
    QCOMPARE(Shown(toolbar).front(), actions(Undo));
    QVERIFY(!toolbar.widgetForAction(actions(Undo))->isEnabled());
    Child<QPushButton>(dialog, "moveDown")->click();
    QVERIFY(settings.toolbarButtons->starts_with(u"0 13 1 2"));
    QVERIFY(Child<QPushButton>(dialog, "moveDown")->isEnabled());

    // The spacing applies while it is typed and needs no stored arrangement.
    Child<QSpinBox>(dialog, "spacing")->setValue(4);
    QCOMPARE(settings.toolbarSpacing, 4);
    QCOMPARE(toolbar.layout()->spacing(), 4);

    reset->click();
    QVERIFY(!settings.toolbarButtons);
    QCOMPARE(changed.count(), 4);
    QCOMPARE(toolbar.entries().size(), 61u);
    QCOMPARE(current->count(), 61);
    QVERIFY(!reset->isEnabled());
  }

  void closeNeedsOneButtonThatIsNoSeparator() {
    Actions actions;
    AppSettings settings;
    settings.toolbarButtons = u"51 45"_s.toStdU16String();
    Toolbar toolbar(std::ref(actions), settings);
    ToolbarCustomizeDialog dialog(toolbar, settings);
    auto* current = Child<QListWidget>(dialog, "current");
    auto* close = Child<QPushButton>(dialog, "close");
    QVERIFY(Child<QPushButton>(dialog, "reset")->isEnabled());
    current->setCurrentRow(1);
    Child<QPushButton>(dialog, "remove")->click();
    QCOMPARE(*settings.toolbarButtons, u"51");
    QVERIFY(!close->isEnabled());
    dialog.show();
    dialog.reject();
    QVERIFY(dialog.isVisible());
    Child<QPushButton>(dialog, "reset")->click();
    QVERIFY(close->isEnabled());
  }
};

}  // namespace qf

QTEST_MAIN(qf::ToolbarTest)
#include "toolbar_test.moc"
