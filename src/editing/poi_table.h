#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/poi_document.h"
#include "editing/undo_log.h"

namespace qf {

// What the table tells the views over it (the window's table, the map pane, the check results).
// Every notification has an empty default, so a view overrides what it shows.
class TableObserver {
 public:
  virtual ~TableObserver() = default;
  virtual void rowsInserted(int /*first*/, int /*count*/) {}
  virtual void rowsRemoved(int /*first*/, int /*count*/) {}
  virtual void rowChanged(int /*row*/) {}
  // One cell took another text (told after rowChanged).
  virtual void cellChanged(int /*row*/, int /*column*/) {}
  // A row is about to leave the table: deleted, or its insertion undone.
  virtual void rowAboutToBeRemoved(int /*row*/) {}
  // Moving a row up or down swapped the texts of two rows.
  virtual void rowsSwapped(int /*rowA*/, int /*rowB*/) {}
  // A row's texts are about to change (the map pane lets go of it).
  virtual void rowAboutToChange(int /*row*/) {}
  // Many rows changed, moved or were replaced: show everything again.
  virtual void tableReset() {}
  // The base was established again: every Distance cell may show another text.
  virtual void distancesChanged() {}
  // Scroll so that the row is visible, near the middle of the page.
  virtual void makeRowVisible(int /*row*/) {}
  // column -1 refits all; unforced refits happen only while "Auto Column" is on.
  virtual void refitColumns(int /*column*/, bool /*forced*/) {}
  // Painting is held back while a group of insertions or deletions is replayed.
  virtual void redrawSuspended(bool /*suspended*/) {}
};

// The working table's state beside the rows.
struct TableState {
  int currentColumn = kName;  // last sorted, clicked in the header or edited
  int sortColumn = kName;     // last sorted: the header's arrow is there
  bool sortAscending = true;
  bool sortArrowShown = false;
  bool lngFirst = true;
};

// The document's rows as the editor works on them: every change goes through here, is recorded in
// the undo log as one step per user action, marks the document modified (a change to a My Base Point
// row does not), keeps the base row and distances right, and is told to the observers.
class PoiTable {
 public:
  explicit PoiTable(PoiDocument& document) : document_(document) {}

  PoiDocument& document() { return document_; }
  const PoiDocument& document() const { return document_; }
  TableState state;

  // What the views are told when an action ends, beyond the changes told on the way.
  enum class Show { Changes, FittedColumns, WholeTable };

  // One user action, for as long as the object lives: the changes made through the table meanwhile
  // are one undo step. Its end brings the distances up to date, as the changed positions and rows
  // need, and tells the views. Actions do not nest.
  class Action {
   public:
    explicit Action(PoiTable& table, Show show = Show::Changes);
    ~Action();
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;
    // Scrolls to the row once the action ends.
    void reveal(int row) { revealed_ = row; }

   private:
    PoiTable& table_;
    Show show_;
    int revealed_ = -1;
  };

  // A new or opened document starts without history.
  void clearHistory() { undo_.clear(); }

  void addObserver(TableObserver* observer) { observers_.push_back(observer); }
  void removeObserver(TableObserver* observer) { std::erase(observers_, observer); }
  void clearSelection();
  void selectAndFocus(int row);
  // Moves the focus mark to a row, as the keyboard's current row moves.
  void focus(int row);
  // The first selected row, or -1.
  int firstSelected() const;
  // What changes beside the rows (the selection, the display) is told to the views this way.
  void notifyReset() {
    notify([](TableObserver& o) { o.tableReset(); });
  }
  void makeVisible(int row) {
    notify([&](TableObserver& o) { o.makeRowVisible(row); });
  }
  // All columns follow their contents, while "Auto Column" is on.
  void refitColumns() {
    notify([](TableObserver& o) { o.refitColumns(-1, false); });
  }
  // Makes a row the distance base (none: -1), recorded as a base change.
  void changeBase(int row);
  // Row 0 becomes the My Base Point row with the texts from Name to lastColumn, and the base: a new
  // row, or the cells of the one there that differ.
  void placeMyBasePoint(const std::array<std::u16string, 5>& texts, int lastColumn);
  // The My Base Point row, if there is one, is deleted.
  void removeMyBasePoint();

  // Elementary changes, recorded when an action is open.
  int insertRow(int index, std::u16string_view name, bool selectAndFocus);
  void deleteRow(int row);
  void setCell(int row, int column, std::u16string_view text);
  // A cell's new text, recorded only when it differs, so that a row that keeps its texts is no change.
  void changeCell(int row, int column, std::u16string_view text);
  // A coordinate cell from any text the coordinate rules read; one they cannot read empties the cell.
  void changeCoordinate(int row, int column, std::u16string_view text);

  // Add and Insert: a new row whose insertion is held until its name is committed. Returns the row.
  int addRow();
  int insertRowAtSelection();
  // The new row's name is committed, an action of its own: the held insertion becomes one undo step.
  void commitNewRowName(int row, std::u16string_view name);
  // The editor of a row was cancelled: a new row that has no name yet goes, unrecorded.
  void cancelNewRow(int row);

  void deleteSelected();
  // Rows inserted before `at`, one after the other, in one pass however many: `append` inserts and
  // fills them at the end, as it would at their place, and they are then moved there, their undo
  // records with them.
  void insertBlock(int at, const std::function<void()>& append);
  // Rows appended from `first` on behind the table's back (an import) become one undo step, made
  // while the document's modified flag was `modifiedBefore`.
  void recordAppended(int first, bool modifiedBefore);
  // Sorts every row (but a My Base Point row) by a column, as one undo step.
  void sort(int column, bool ascending);
  // Whether the rows can be sorted by a column: not with fewer than two rows to sort, nor by
  // Distance without a base.
  bool canSort(int column) const;
  // A click on a column header: the column shown sorted sorts again the other way round, another
  // column the same way. Refused (false) where the rows cannot be sorted by it.
  bool headerClick(int column);
  // A new or opened document starts unsorted, with Name current and ascending order.
  void resetSortState();
  // Moves the first selected row one place up or down, as one undo step.
  void moveSelected(bool up);
  // Dragging the selected rows inside the table: where they may be dropped and what it does.
  enum class DropEffect { None, Move, Copy };
  // The row a drop lands before for the row under the pointer (the row count appends); a My Base
  // Point row stays first.
  int dropRowFor(int hitRow) const;
  DropEffect dropEffect(int dropRow, bool copy) const;
  // Copies or moves the selected rows before the drop row, as one undo step; the base row goes along.
  void dropRows(int dropRow, bool copy);

  // "Show Distance": hides the Distance column (a My Base Point row goes with it) or shows it with
  // row 0 as the base; one undo step.
  void toggleDistanceColumn();

  void selectAll();
  void toggleSelection();

  bool canUndo() const { return undo_.canUndo(); }
  bool canRedo() const { return undo_.canRedo(); }
  void undo();
  void redo();

 private:
  template <typename Notify>
  void notify(Notify notify) {
    for (TableObserver* observer : observers_) notify(*observer);
  }
  PoiRecord& rowAt(int row) { return document_.rows[static_cast<std::size_t>(row)]; }
  void unfocus();
  bool isMyBasePointRow(int row) const { return row == 0 && document_.basePointPinned; }
  void markModified(int row) {
    if (!isMyBasePointRow(row)) document_.modified = true;
  }
  // The distances an action's changes leave out of date, from the least to the most.
  enum class StaleDistances { None, OneRow, Positions, Rows };
  void positionChanged(int row);
  void rowsChanged() { stale_ = StaleDistances::Rows; }
  void endAction(Show show, int revealed);
  int placeRow(int index, std::u16string_view name, bool selectAndFocus);
  BaseMark baseMarkOf(int row) const;
  std::array<std::u16string, 5> textsOf(int row) const;
  PoiRecord rowWithTexts(const std::array<std::u16string, 5>& texts);
  int insertWithTexts(int row, const std::array<std::u16string, 5>& texts);
  void removeRow(int row);
  void swapCellText(UndoRecord& record);
  void establishBase(int row);
  // The rows put in a new order: entry i of `from` is the index of the row that goes to place i.
  void reorder(const std::vector<int>& from);
  void findBaseByMark();
  // Shows or hides the Distance column; shown, the row is the base.
  void flipDistanceColumn(int base);
  void moveRow(int from, int to);

  int insertHeld(int row);
  void undoRecord(UndoRecord& record);
  void undoDeletions(std::vector<UndoRecord>& group, std::size_t start, std::size_t end);
  void redoDeletions(std::vector<UndoRecord>& group, std::size_t start, std::size_t end);
  void insertedAgain(const UndoRecord& record);
  void undoInsertions(std::vector<UndoRecord>& group, std::size_t start, std::size_t end);
  void redoInsertions(std::vector<UndoRecord>& group, std::size_t start, std::size_t end);
  void redoRecord(UndoRecord& record);
  void finishUndo(const UndoRecord& oldest);
  void finishRedo(const std::vector<UndoRecord>& group);

  PoiDocument& document_;
  UndoLog undo_;
  std::vector<TableObserver*> observers_;
  int focusHint_ = -1;
  StaleDistances stale_ = StaleDistances::None;
  int staleRow_ = -1;  // with OneRow
};

}  // namespace qf
