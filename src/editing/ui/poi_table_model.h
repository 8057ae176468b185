#pragma once

#include <QAbstractTableModel>

#include "editing/poi_table.h"

namespace qf {

// The engine's table as Qt's views see it: six columns in the engine's order (Name, Lng, Lat,
// Tel, Memo, Distance); the view arranges them in display order. It holds no copy of the rows.
class PoiTableModel : public QAbstractTableModel, public TableObserver {
  Q_OBJECT

 public:
  explicit PoiTableModel(PoiTable& table, QObject* parent = nullptr);

  PoiTable& table() { return table_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The rows were replaced behind the table's back (a file was opened, New).
  void reset();

 signals:
  // The engine asks the view to scroll a row into the middle of the page.
  void rowVisibilityRequested(int row);
  void columnsRefitRequested(int column, bool forced);
  // After a reset the view's selection is the engine's again.
  void selectionReplaced();

 private:
  void rowsInserted(int first, int count) override;
  void rowsRemoved(int first, int count) override;
  void rowChanged(int row) override;
  void tableReset() override;
  void distancesChanged() override;
  void makeRowVisible(int row) override;
  void refitColumns(int column, bool forced) override;
  void redrawSuspended(bool suspended) override;

  PoiTable& table_;
  bool suspended_ = false;
  bool resetPending_ = false;
};

}  // namespace qf
