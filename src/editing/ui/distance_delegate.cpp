#include "editing/ui/distance_delegate.h"

#include <QApplication>
#include <QPainter>

#include "editing/poi_table.h"

namespace qf {

namespace {

constexpr int kRightMargin = 8;
constexpr int kMinimumLeft = 6;

}  // namespace

DistanceDelegate::DistanceDelegate(const PoiTable& table, QObject* parent)
    : QStyledItemDelegate(parent), table_(table) {}

QSize DistanceDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  return QStyledItemDelegate::sizeHint(option, index) + QSize(kRightMargin + kMinimumLeft, 0);
}

void DistanceDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem background = option;
  initStyleOption(&background, index);
  const QString text = background.text;
  background.text.clear();
  QStyle* style = option.widget ? option.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

  const PoiDocument& document = table_.document();
  const bool metric = document.display.metric;
  const QFontMetrics metrics(option.font);
  const QString longUnit = metric ? QStringLiteral("km") : QStringLiteral("mi");
  const QString shortUnit = metric ? QStringLiteral("m") : QStringLiteral("ft");
  const QRect cell = option.rect;
  painter->save();
  painter->setPen(option.state & QStyle::State_Selected ? option.palette.highlightedText().color()
                                                         : background.palette.text().color());
  if (index.row() == document.baseRow && document.display.showDistance) {
    // The base row: a marker where the unit words of the other rows start.
    QFont font = option.font;
    if (document.basePointPinned) font.setPointSizeF(font.pointSizeF() * 1.2);
    painter->setFont(font);
    const QString marker = document.basePointPinned ? QStringLiteral("\u272A") : QStringLiteral("\u2295");
    const int x = std::max(cell.left() + kMinimumLeft, cell.right() - kRightMargin - metrics.horizontalAdvance(longUnit));
    painter->drawText(QRect(x, cell.top(), cell.right() - x, cell.height()), Qt::AlignLeft | Qt::AlignVCenter, marker);
  } else if (!text.isEmpty()) {
    // Metres and feet have no decimal point: their blanks shrink to two, and they move left by the
    // difference of the unit words, so that "m" starts where "km" does.
    QString shown = text;
    int shift = 0;
    if (!text.contains(u'.')) {
      shown = text.section(u' ', 0, 0) + QStringLiteral("  ") + text.section(u' ', -1);
      shift = metrics.horizontalAdvance(longUnit) - metrics.horizontalAdvance(shortUnit);
    }
    const QRect area = cell.adjusted(2, 0, -kRightMargin - shift, 0);
    painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, metrics.elidedText(shown, Qt::ElideRight, area.width()));
  }
  painter->restore();
}

}  // namespace qf
