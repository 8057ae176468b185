#pragma once

#include <QStyledItemDelegate>

namespace qf {

class PoiTable;

// Paints the Distance cells: the unit words of both forms ("385  m", "6.9  km") start at the same
// x, and the base row shows a marker instead of a distance.
class DistanceDelegate : public QStyledItemDelegate {
 public:
  DistanceDelegate(const PoiTable& table, QObject* parent);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  const PoiTable& table_;
};

}  // namespace qf
