#include "editing/undo_log.h"

namespace qf {

void UndoLog::clear() {
  groups_.clear();
  cursor_ = -1;
  heldInsert_.reset();
}

std::vector<UndoRecord>& UndoLog::openGroup() {
  ++cursor_;
  // A new action discards what could be redone.
  groups_.resize(static_cast<std::size_t>(cursor_));
  if (cursor_ == kMaxGroups) {
    groups_.pop_front();
    --cursor_;
  }
  return groups_.emplace_back();
}

UndoRecord* UndoLog::record(UndoKind kind, int row, bool modified) {
  UndoRecord made;
  made.kind = kind;
  made.row = row;
  made.modifiedBefore = modified;
  switch (mode_) {
    case Mode::Suspended:
      return nullptr;
    case Mode::HoldInsert:
      heldInsert_ = std::move(made);
      return &*heldInsert_;
    case Mode::NewGroup: {
      std::vector<UndoRecord>& group = openGroup();
      if (heldInsert_) {
        // The row added by Add or Insert and its name become one step.
        group.push_back(std::move(*heldInsert_));
        heldInsert_.reset();
        return nullptr;
      }
      mode_ = Mode::GroupOpen;
      return &group.emplace_back(std::move(made));
    }
    case Mode::GroupOpen:
      return &groups_[static_cast<std::size_t>(cursor_)].emplace_back(std::move(made));
  }
  return nullptr;
}

bool UndoLog::recordsCellChange() const {
  if (mode_ == Mode::NewGroup) return true;
  return mode_ == Mode::GroupOpen && groups_[static_cast<std::size_t>(cursor_)].back().kind == UndoKind::CellChange;
}

std::vector<UndoRecord>* UndoLog::openRecords() {
  return mode_ == Mode::GroupOpen ? &groups_[static_cast<std::size_t>(cursor_)] : nullptr;
}

std::vector<UndoRecord>& UndoLog::stepBack() { return groups_[static_cast<std::size_t>(cursor_--)]; }

std::vector<UndoRecord>& UndoLog::stepForward() { return groups_[static_cast<std::size_t>(++cursor_)]; }

}  // namespace qf
