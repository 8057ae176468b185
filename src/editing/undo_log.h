#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace qf {

enum class UndoKind : std::uint8_t {
  CellChange,
  RowInsert,
  RowDelete,
  RowMoveUp,
  RowMoveDown,
  Reorder,
  BasePointChange,
  DistanceColumnToggle,
};

// Whether a record's row is the distance base row, and the My Base Point row at the top.
enum class BaseMark : std::uint8_t { None = 0, Base = 1, MyBasePoint = 2 };

// One elementary change and what it takes to reverse it.
struct UndoRecord {
  UndoKind kind = UndoKind::CellChange;
  int row = 0;
  bool modifiedBefore = false;             // the document's modified flag when the record was made
  int newBase = -1;                        // BasePointChange, DistanceColumnToggle: the base after it
  BaseMark baseMark = BaseMark::None;
  int column = 0;                          // CellChange
  std::u16string text;                     // CellChange: the other text of the cell
  std::optional<std::array<std::u16string, 5>> texts;  // RowInsert (once undone), RowDelete
  int baseBefore = -1;                     // RowInsert: the base row before the insertion
  int sortColumn = 0;                      // Reorder: the sort in force after it
  bool sortAscending = true;
  std::vector<int> order;                  // Reorder: entry i = new index of the row that stood at i
};

// The bounded history of editing actions: up to 64 groups, each the records of one user action
// in the order they were made. Groups up to the cursor can be undone, those after it redone.
class UndoLog {
 public:
  static constexpr int kMaxGroups = 64;

  bool canUndo() const { return cursor_ >= 0; }
  bool canRedo() const { return cursor_ + 1 < static_cast<int>(groups_.size()); }
  void clear();

  // Begin action: the next record opens a new group.
  void beginAction() { mode_ = Mode::NewGroup; }
  // The next record is an insertion held back until the action that names the row.
  void holdNextInsert() { mode_ = Mode::HoldInsert; }
  // Changes made from now on are not recorded (outside an action, and while undoing or redoing).
  void stopRecording() { mode_ = Mode::Suspended; }

  // Adds a record to the history as the current mode says. Returns the record to fill in, or
  // nothing when no record is kept (recording suspended, or a held insertion became the group).
  UndoRecord* record(UndoKind kind, int row, bool modified);
  // Whether a cell change is recorded now: a new group, or a group of cell changes being filled.
  bool recordsCellChange() const;

  bool holdsInsert() const { return heldInsert_.has_value(); }
  // Forgets a held insertion (the new row was cancelled before it got a name).
  void dropHeldInsert() { heldInsert_.reset(); }

  // The records of the group being filled, or nothing before an action's first record.
  std::vector<UndoRecord>* openRecords();
  // The group Undo reverses, the cursor moved back past it; the group Redo makes again, the
  // cursor moved onto it. Only when canUndo() or canRedo() says so.
  std::vector<UndoRecord>& stepBack();
  std::vector<UndoRecord>& stepForward();

 private:
  enum class Mode { NewGroup, GroupOpen, HoldInsert, Suspended };

  std::vector<UndoRecord>& openGroup();

  Mode mode_ = Mode::Suspended;
  std::deque<std::vector<UndoRecord>> groups_;
  int cursor_ = -1;
  std::optional<UndoRecord> heldInsert_;
};

}  // namespace qf
