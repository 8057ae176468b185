#pragma once

#include <QObject>

class QComboBox;
class QLineEdit;
class QWidget;

namespace qf {

class PoiTable;
class PoiTableView;

// The edit box or list laid over one cell: opening with the column's limit, list or default name,
// the typing filters, commit through the cell rules and the messages, cancel, Tab and Shift+Tab.
class CellEditor : public QObject {
  Q_OBJECT

 public:
  CellEditor(PoiTableView& view, PoiTable& table, const bool& checkName);

  void open(int row, int column);
  bool isOpen() const { return row_ >= 0; }
  int row() const { return row_; }
  // Enter: true when the value was taken (or nothing was open); a rejected value keeps the editor
  // open with its text selected.
  bool commit();
  // Esc: a row just added and still unnamed goes again.
  void cancel();
  // Keeps the editor over its cell after scrolling or resizing.
  void place();

 signals:
  // The editor closed on a row (the window re-selects it).
  void closed(int row);
  void hintChanged(const QString& hint);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void close();
  void reject(int messageId);
  QWidget* activeEditor() const;

  PoiTableView& view_;
  PoiTable& table_;
  const bool& checkName_;
  QLineEdit* edit_;
  QComboBox* combo_;
  int row_ = -1;
  int column_ = 0;
  bool usingList_ = false;  // the column picks from a fixed list
};

}  // namespace qf
