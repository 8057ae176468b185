#pragma once

#include <QItemSelection>
#include <QTableView>

#include <functional>
#include <vector>

class QMimeData;

#include "editing/poi_table.h"
#include "editing/row_exchange.h"

namespace qf {

class PoiTableModel;

// The working table: the engine's rows in display order (Distance, Name, Lng and Lat in the
// "Lng First" order, Tel, Memo). The engine keeps the selection; this view shows it and hands the
// user's gestures back as requests.
class PoiTableView : public QTableView {
  Q_OBJECT

 public:
  PoiTableView(PoiTableModel& model, QWidget* parent = nullptr);

  // Shows the engine's selection and focus.
  void showEngineSelection();
  // Column order and visibility after the document or a display option changed.
  void applyColumnLayout();
  // Fits a column (-1: every column) to its texts and title.
  void refit(int column);
  // After a cell edit, while "Auto Column" is on: the column, and Distance after a coordinate.
  void refitAfterEdit(int column);
  // "Auto Column": columns follow their contents after changes, not only when asked.
  void setAutoColumn(bool on) { autoColumn_ = on; }
  // The engine's sort arrow.
  void showSortArrow();
  // The row a drop at a viewport position lands before, or -1 where nothing may be dropped.
  int dropRowAt(const QPoint& position) const;
  // What a drag of the selected rows carries: a mark of this view, and in a plain POI document the
  // rows for another program.
  QMimeData* dragData() const;
  // Rows of another program are taken only while this says so (no dialog open, a plain POI document).
  void setReadyForRows(std::function<bool()> ready) { readyForRows_ = std::move(ready); }
  // Runs a drag instead of the desktop and returns the action the target took (tests).
  void setDragRunner(std::function<Qt::DropAction(const QMimeData&)> runner) { dragRunner_ = std::move(runner); }
  bool isDragging() const { return dragging_; }

 signals:
  void addRequested();
  void editRequested(int row, int column);
  void headerClicked(int column);
  void headerMenuRequested(int column, const QPoint& globalPosition);
  void tableMenuRequested(const QPoint& globalPosition);
  void rowsDropped(int dropRow, bool copy);
  // Rows of another program dropped here, told once the drop is over.
  void rowsReceived(int dropRow, const ExchangeRows& rows);
  // Another program took the dragged rows with Shift: they leave this table.
  void rowsMovedAway();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event = nullptr) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void updateGeometries() override;

 private:
  void takeViewSelection(const QItemSelection& selected, const QItemSelection& deselected);
  bool isOwnDrag(const QMimeData* data) const;
  bool takesRowsOf(const QMimeData* data) const;
  PoiTable& table() const;
  // The width of a column's widest text among `rows`, its longest ones, and the rows on screen.
  int fittedWidth(int column, std::vector<int> rows);
  void fillWidth();

  static constexpr std::size_t kMeasuredTexts = 32;

  PoiTableModel& model_;
  bool showingEngineSelection_ = false;
  int dropRow_ = -1;  // where the drop indicator is drawn
  bool autoColumn_ = true;
  int memoWidth_ = 0;  // the last column's own width, fitted or dragged, before it fills the table
  bool filling_ = false;
  bool dragging_ = false;
  std::function<bool()> readyForRows_;
  std::function<Qt::DropAction(const QMimeData&)> dragRunner_;
};

}  // namespace qf
