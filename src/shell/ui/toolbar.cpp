#include "shell/ui/toolbar.h"

#include <QContextMenuEvent>
#include <QFrame>
#include <QIconEngine>
#include <QLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <vector>

#include "shell/command_table.h"
#include "shell/ui/appearance.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

// The top lines of the first row stand in for the strip above the buttons, plain toolbar colour.
constexpr int kTopStrip = 5;
// A row of buttons is this much taller than the buttons.
constexpr int kRowExtra = 8;

// Draws an icon as it is, and a tenth brighter while the pointer is over its button.
class HotIconEngine : public QIconEngine {
 public:
  explicit HotIconEngine(QIcon icon) : icon_(std::move(icon)) {}

  QIconEngine* clone() const override { return new HotIconEngine(icon_); }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon_.actualSize(size, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    if (mode != QIcon::Active) return icon_.pixmap(size, 1.0, mode, state);
    QImage image = icon_.pixmap(size, 1.0, QIcon::Normal, state).toImage().convertToFormat(QImage::Format_ARGB32);
    const auto hot = [](int channel) { return HotChannel(static_cast<std::uint8_t>(channel)); };
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = line[x];
        line[x] = qRgba(hot(qRed(p)), hot(qGreen(p)), hot(qBlue(p)), qAlpha(p));
      }
    }
    return QPixmap::fromImage(image);
  }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
  }

 private:
  QIcon icon_;
};

// Buttons and separators laid out left to right, starting a new row where the width ends.
// QToolBar itself never wraps, so the wrapping toolbar holds one of these, stretched across it.
class ButtonFlow : public QWidget {
 public:
  ButtonFlow(int spacing, int rowPitch) : spacing_(spacing), rowPitch_(rowPitch) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  }

  void add(QWidget* item) {
    item->setParent(this);
    items_.push_back(item);
  }

  QSize sizeHint() const override { return minimumSizeHint(); }
  QSize minimumSizeHint() const override {
    int widest = 0;
    for (const QWidget* item : items_) widest = std::max(widest, item->sizeHint().width());
    return {widest, place(width(), false)};
  }

 protected:
  void resizeEvent(QResizeEvent*) override {
    // A new width may need another number of rows: the toolbar then asks for a new height.
    if (place(width(), true) != height()) updateGeometry();
  }

 private:
  // Places (or only measures) the items for a width; returns the height they take.
  int place(int width, bool move) const {
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    for (QWidget* item : items_) {
      const QSize size = item->sizeHint();
      if (x > 0 && x + size.width() > width) {
        x = 0;
        y += rowPitch_;
      }
      if (move) item->setGeometry(x, y, size.width(), size.height());
      x += size.width() + spacing_;
      rowHeight = std::max(rowHeight, size.height());
    }
    return y + rowHeight;
  }

  int spacing_;
  int rowPitch_;
  std::vector<QWidget*> items_;
};

int ButtonHeight(QSize iconSize) {
  QToolButton probe;
  probe.setAutoRaise(true);
  probe.setIconSize(iconSize);
  return probe.sizeHint().height();
}

}  // namespace

Toolbar::Toolbar(ActionFor actionFor, AppSettings& settings, QWidget* parent)
    : QToolBar(u"Toolbar"_s, parent), actionFor_(std::move(actionFor)), settings_(settings) {
  setObjectName(u"toolbar"_s);
  setMovable(false);
  setFloatable(false);
  for (const CommandId id : DefaultToolbar()) {
    if (id == kSeparator) continue;
    QAction* action = actionFor_(id);
    action->setIcon(QIcon(new HotIconEngine(action->icon())));
  }
  rebuild();
}

void Toolbar::rebuild() {
  removeEntries();
  const int size = settings_.on(Switch::LargeToolbar) ? 24 : 16;
  setIconSize({size, size});
  layout()->setSpacing(settings_.toolbarSpacing);
  buttonHeight_ = ButtonHeight(iconSize());
  entries_ = ToolbarLayoutFromSettings(settings_.toolbarButtons);
  if (settings_.on(Switch::WrapToolbar)) {
    addWidget(wrappingButtons());
  } else {
    for (const CommandId id : entries_) {
      if (id == kSeparator) {
        addSeparator();
      } else {
        addAction(actionFor_(id));
      }
    }
  }
  update();
}

QWidget* Toolbar::wrappingButtons() {
  auto* flow = new ButtonFlow(settings_.toolbarSpacing, buttonHeight_ + kRowExtra);
  const int separatorWidth = style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent, nullptr, this);
  for (const CommandId id : entries_) {
    if (id == kSeparator) {
      auto* separator = new QFrame;
      separator->setFrameShape(QFrame::VLine);
      separator->setFrameShadow(QFrame::Sunken);
      separator->setFixedSize(separatorWidth, buttonHeight_);
      flow->add(separator);
      continue;
    }
    auto* button = new QToolButton;
    button->setDefaultAction(actionFor_(id));
    button->setAutoRaise(true);
    button->setIconSize(iconSize());
    button->setFocusPolicy(Qt::NoFocus);
    flow->add(button);
  }
  return flow;
}

void Toolbar::removeEntries() {
  // The command actions belong to the window; separators and the wrapping widget to the toolbar.
  for (QAction* action : actions()) {
    removeAction(action);
    if (action->parent() == this) delete action;
  }
}

void Toolbar::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  const int rowHeight = buttonHeight_ + kRowExtra;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const Colour colour = y < kTopStrip ? settings_.toolbarColour
                                        : RowLineColour(settings_.toolbarColour, y % rowHeight, buttonHeight_);
    painter.setPen(ToQColor(colour));
    painter.drawLine(area.left(), y, area.right(), y);
  }
}

void Toolbar::contextMenuEvent(QContextMenuEvent* event) {
  emit contextMenuRequested(event->globalPos());
  event->accept();
}

}  // namespace qf
