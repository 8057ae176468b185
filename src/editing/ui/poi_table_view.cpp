#include "editing/ui/poi_table_view.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QPointer>

#include <array>
#include <functional>
#include <queue>
#include <span>
#include <vector>

#include "editing/ui/clipboard.h"
#include "editing/ui/distance_delegate.h"
#include "editing/ui/poi_table_model.h"

namespace qf {

namespace {

// Rows dragged inside one table; the rows themselves stay in the engine, the data names the view
// (with the process: another running editor's view may lie at the same address).
constexpr char kInternalDragType[] = "application/x-quillfern-table-drag";

QByteArray DragMark(const QWidget* view) {
  return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
         QByteArray::number(reinterpret_cast<quintptr>(view));
}

// A text's width in narrow characters: CJK and other wide characters count twice.
std::size_t WidthInCharacters(std::u16string_view text) {
  std::size_t width = text.size();
  for (const char16_t unit : text) width += unit >= 0x2E80 && (unit < 0xD800 || unit >= 0xE000);
  return width;
}

// The rows holding the `count` widest texts of each of the columns, in one pass over the rows: a
// row's texts lie together, so fitting every column costs one visit to each row, not one a column.
std::array<std::vector<int>, kColumnCount> LongestTexts(const PoiDocument& document, std::span<const int> columns,
                                                       std::size_t count) {
  using Entry = std::pair<std::size_t, int>;  // width, row
  using Longest = std::priority_queue<Entry, std::vector<Entry>, std::greater<>>;
  std::array<Longest, kColumnCount> longest;
  for (int row = 0; row < document.rowCount(); ++row) {
    for (const int column : columns) {
      Longest& widest = longest[static_cast<std::size_t>(column)];
      const std::size_t length = WidthInCharacters(document.text(row, column));
      if (widest.size() < count) {
        widest.emplace(length, row);
      } else if (length > widest.top().first) {
        widest.pop();
        widest.emplace(length, row);
      }
    }
  }
  std::array<std::vector<int>, kColumnCount> rows;
  for (const int column : columns) {
    Longest& widest = longest[static_cast<std::size_t>(column)];
    for (; !widest.empty(); widest.pop()) rows[static_cast<std::size_t>(column)].push_back(widest.top().second);
  }
  return rows;
}

}  // namespace

PoiTableView::PoiTableView(PoiTableModel& model, QWidget* parent) : QTableView(parent), model_(model) {
  setModel(&model);
  setSelectionBehavior(SelectRows);
  setSelectionMode(ExtendedSelection);
  setEditTriggers(NoEditTriggers);
  setWordWrap(false);
  setShowGrid(false);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDragDropMode(DragDrop);
  setDropIndicatorShown(false);
  // A million rows stay fast only with rows of one height and no per-row sizing.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(false);
  // Qt's stretching would squeeze the last column's texts; fillWidth stretches it without that.
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &PoiTableView::headerClicked);
  connect(horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, this, [this](int column) { refit(column); });
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
    if (column == kMemo && !filling_) memoWidth_ = width;
    fillWidth();
  });
  connect(horizontalHeader(), &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
    emit headerMenuRequested(horizontalHeader()->logicalIndexAt(position), horizontalHeader()->mapToGlobal(position));
  });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &PoiTableView::takeViewSelection);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
    if (!showingEngineSelection_ && current.isValid()) table().focus(current.row());
  });
  connect(&model, &PoiTableModel::selectionReplaced, this, &PoiTableView::showEngineSelection);
  connect(&model, &PoiTableModel::rowVisibilityRequested, this,
          [this](int row) { scrollTo(model_.index(row, kName), PositionAtCenter); });
  connect(&model, &PoiTableModel::columnsRefitRequested, this, [this](int column, bool forced) {
    if (forced || autoColumn_) refit(column);
  });
  setItemDelegateForColumn(kDistance, new DistanceDelegate(model.table(), this));
  applyColumnLayout();
}

PoiTable& PoiTableView::table() const { return model_.table(); }

void PoiTableView::showEngineSelection() {
  showingEngineSelection_ = true;
  const std::vector<PoiRecord>& rows = table().document().rows;
  QItemSelection selection;
  int focused = -1;
  for (int row = 0; row < static_cast<int>(rows.size());) {
    if (rows[static_cast<std::size_t>(row)].focused) focused = row;
    if (!rows[static_cast<std::size_t>(row)].selected) {
      ++row;
      continue;
    }
    int end = row;
    while (end + 1 < static_cast<int>(rows.size()) && rows[static_cast<std::size_t>(end) + 1].selected) {
      ++end;
      if (rows[static_cast<std::size_t>(end)].focused) focused = end;
    }
    selection.select(model_.index(row, 0), model_.index(end, kDistance));
    row = end + 1;
  }
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  selectionModel()->setCurrentIndex(focused >= 0 ? model_.index(focused, currentIndex().column() < 0 ? kName : currentIndex().column()) : QModelIndex(),
                                    QItemSelectionModel::NoUpdate);
  showingEngineSelection_ = false;
}

// The user's changes of the selection become the engine's; only the changed rows are touched, so
// a click costs the same in a table of a million rows.
void PoiTableView::takeViewSelection(const QItemSelection& selected, const QItemSelection& deselected) {
  if (showingEngineSelection_) return;
  std::vector<PoiRecord>& rows = table().document().rows;
  const auto mark = [&rows](const QItemSelection& ranges, bool on) {
    for (const QItemSelectionRange& range : ranges) {
      for (int row = range.top(); row <= range.bottom() && row < static_cast<int>(rows.size()); ++row) {
        rows[static_cast<std::size_t>(row)].selected = on;
      }
    }
  };
  mark(deselected, false);
  mark(selected, true);
}

void PoiTableView::applyColumnLayout() {
  const PoiDocument& document = table().document();
  QHeaderView* header = horizontalHeader();
  const int order[] = {kDistance, kName, table().state.lngFirst ? kLng : kLat, table().state.lngFirst ? kLat : kLng,
                       kTel, kMemo};
  for (int visual = 0; visual < 6; ++visual) header->moveSection(header->visualIndex(order[visual]), visual);
  const bool phonebook = document.kind == DocumentKind::Phonebook;
  setColumnHidden(kDistance, !document.display.showDistance);
  setColumnHidden(kLng, phonebook);
  setColumnHidden(kLat, phonebook);
}

void PoiTableView::refit(int column) {
  std::vector<int> shown;
  for (int c = column >= 0 ? column : kName; c <= (column >= 0 ? column : kDistance); ++c) {
    if (!isColumnHidden(c)) shown.push_back(c);
  }
  const auto longest = LongestTexts(table().document(), shown, kMeasuredTexts);
  for (const int c : shown) setColumnWidth(c, fittedWidth(c, longest[static_cast<std::size_t>(c)]));
}

void PoiTableView::refitAfterEdit(int column) {
  if (!autoColumn_) return;
  refit(column);
  if (column == kLng || column == kLat) refit(kDistance);
}

// Measuring every cell of a million rows takes minutes, so only the texts that may be the widest
// are measured: the longest ones of the column, and those on screen (a short text of wide letters
// can outrun a longer one).
int PoiTableView::fittedWidth(int column, std::vector<int> rows) {
  const PoiDocument& document = table().document();
  // One page from the top row: while a change is replayed the view may not know the rows yet.
  const int top = std::max(rowAt(0), 0);
  const int page = viewport()->height() / std::max(verticalHeader()->defaultSectionSize(), 1) + 1;
  for (int row = top; row < std::min(top + page, document.rowCount()); ++row) rows.push_back(row);
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  QAbstractItemDelegate* delegate = itemDelegateForColumn(column) ? itemDelegateForColumn(column) : itemDelegate();
  int width = horizontalHeader()->sectionSizeHint(column);
  for (const int row : rows) width = std::max(width, delegate->sizeHint(option, model_.index(row, column)).width());
  return width;
}

// Memo, always the last column, fills what the others leave of the table's width, so that a
// selected row is marked up to the edge; where its own width is more, it keeps that.
void PoiTableView::fillWidth() {
  QHeaderView* header = horizontalHeader();
  const int width = std::max(memoWidth_, viewport()->width() - (header->length() - header->sectionSize(kMemo)));
  if (width == header->sectionSize(kMemo)) return;
  filling_ = true;
  header->resizeSection(kMemo, width);
  filling_ = false;
}

void PoiTableView::updateGeometries() {
  QTableView::updateGeometries();
  fillWidth();
}

void PoiTableView::showSortArrow() {
  const TableState& state = table().state;
  horizontalHeader()->setSortIndicatorShown(state.sortArrowShown);
  horizontalHeader()->setSortIndicator(state.sortColumn,
                                       state.sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void PoiTableView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit addRequested();
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    table().clearSelection();
    showEngineSelection();
    return;
  }
  QTableView::keyPressEvent(event);
}

// Rows are what the table selects, so Home and End go to the first and last row, with or
// without Ctrl, rather than to the first and last cell of the row.
QModelIndex PoiTableView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const int rows = model_.rowCount();
  if ((action == MoveHome || action == MoveEnd) && rows > 0) {
    const int column = currentIndex().isValid() ? currentIndex().column() : kName;
    return model_.index(action == MoveHome ? 0 : rows - 1, column);
  }
  return QTableView::moveCursor(action, modifiers);
}

// Ctrl+Home and Ctrl+End would only move the focus frame; they select the row they reach, as Home
// and End do. Ctrl with the arrows still moves the frame alone, to pick rows with Ctrl+Space.
QItemSelectionModel::SelectionFlags PoiTableView::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const {
  if (event && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    const bool homeOrEnd = key->key() == Qt::Key_Home || key->key() == Qt::Key_End;
    if (homeOrEnd && (key->modifiers() & Qt::ControlModifier) && !(key->modifiers() & Qt::ShiftModifier)) {
      return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    }
  }
  return QTableView::selectionCommand(index, event);
}

void PoiTableView::mousePressEvent(QMouseEvent* event) {
  // The middle button selects as the left one does, unless Shift or Ctrl asks for more.
  if (event->button() == Qt::MiddleButton && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) {
    QMouseEvent left(event->type(), event->position(), event->globalPosition(), Qt::LeftButton, Qt::LeftButton,
                     event->modifiers());
    mousePressEvent(&left);
    return;
  }
  if (!indexAt(event->position().toPoint()).isValid() && event->button() == Qt::LeftButton) {
    table().clearSelection();
    showEngineSelection();
    return;
  }
  QTableView::mousePressEvent(event);
}

void PoiTableView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return;
  const PoiDocument& document = table().document();
  if (index.column() == kDistance || (index.column() == kMemo && document.richPoiFile)) return;
  emit editRequested(index.row(), index.column());
}

void PoiTableView::contextMenuEvent(QContextMenuEvent* event) {
  if (!indexAt(viewport()->mapFromGlobal(event->globalPos())).isValid()) {
    table().clearSelection();
    showEngineSelection();
  }
  emit tableMenuRequested(event->globalPos());
}

void PoiTableView::startDrag(Qt::DropActions) {
  if (table().firstSelected() < 0) return;
  dragging_ = true;
  Qt::DropAction taken = Qt::IgnoreAction;
  bool otherProgram = true;
  QPointer<QMimeData> data = dragData();
  if (dragRunner_) {
    taken = dragRunner_(*data);
    data->deleteLater();  // as a drag's data, it outlives the drag
  } else {
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // Copy unless Shift asks for a move: a program that takes what it is offered must not take the
    // rows away by default. Inside the table, the table chooses the action itself.
    taken = drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::CopyAction);
    otherProgram = !drag->target();
  }
  dragging_ = false;
  // Another program may ask for the rows only now, after the drop: they are the rows dragged, not
  // those selected once the dragged ones have moved away.
  if (otherProgram && taken != Qt::IgnoreAction) KeepDraggedRows(data);
  // Rows moved inside this program were moved by the table itself.
  if (taken == Qt::MoveAction && otherProgram) emit rowsMovedAway();
}

bool PoiTableView::isOwnDrag(const QMimeData* data) const {
  return data && data->data(kInternalDragType) == DragMark(this);
}

bool PoiTableView::takesRowsOf(const QMimeData* data) const {
  return !isOwnDrag(data) && HasDroppedRows(data) && readyForRows_ && readyForRows_();
}

QMimeData* PoiTableView::dragData() const {
  QMimeData* data = table().document().kind == DocumentKind::Poi ? NewDraggedRows(table()) : new QMimeData;
  data->setData(kInternalDragType, DragMark(this));
  return data;
}

int PoiTableView::dropRowAt(const QPoint& position) const {
  const int hit = rowAt(position.y() + verticalHeader()->defaultSectionSize() / 2);
  return table().dropRowFor(hit < 0 ? table().document().rowCount() : hit);
}

void PoiTableView::dragEnterEvent(QDragEnterEvent* event) {
  if (isOwnDrag(event->mimeData()) || takesRowsOf(event->mimeData())) {
    event->acceptProposedAction();
    return;
  }
  event->ignore();
}

void PoiTableView::dragMoveEvent(QDragMoveEvent* event) {
  const int dropRow = dropRowAt(event->position().toPoint());
  if (takesRowsOf(event->mimeData())) {
    // Rows of another program are copied here; with Shift they leave the other program.
    dropRow_ = dropRow;
    viewport()->update();
    event->setDropAction(event->modifiers() & Qt::ShiftModifier ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    return;
  }
  if (!isOwnDrag(event->mimeData())) {
    event->ignore();
    return;
  }
  const bool copy = event->modifiers() & Qt::ControlModifier;
  const PoiTable::DropEffect effect = table().dropEffect(dropRow, copy);
  dropRow_ = effect == PoiTable::DropEffect::None ? -1 : dropRow;
  viewport()->update();
  if (effect == PoiTable::DropEffect::None) {
    event->ignore();
    return;
  }
  event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
  event->accept();
}

void PoiTableView::dragLeaveEvent(QDragLeaveEvent* event) {
  dropRow_ = -1;
  viewport()->update();
  QTableView::dragLeaveEvent(event);
}

void PoiTableView::dropEvent(QDropEvent* event) {
  dropRow_ = -1;
  viewport()->update();
  const int dropRow = dropRowAt(event->position().toPoint());
  if (takesRowsOf(event->mimeData())) {
    event->setDropAction(event->modifiers() & Qt::ShiftModifier ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    // The rows go in after the drop has ended, so that a question about them does not hold the
    // other program's drag.
    QMetaObject::invokeMethod(
        this, [this, dropRow, rows = DroppedRows(event->mimeData())] { emit rowsReceived(dropRow, rows); },
        Qt::QueuedConnection);
    return;
  }
  if (!isOwnDrag(event->mimeData())) return;
  const bool copy = event->modifiers() & Qt::ControlModifier;
  if (table().dropEffect(dropRow, copy) == PoiTable::DropEffect::None) return;
  event->setDropAction(Qt::IgnoreAction);  // the engine has moved the rows; Qt must not remove any
  event->accept();
  emit rowsDropped(dropRow, copy);
}

// The drop indicator: a line at the top of the drop row with ticks at both ends.
void PoiTableView::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  if (dropRow_ < 0) return;
  const int rows = table().document().rowCount();
  const int height = verticalHeader()->defaultSectionSize();
  const int y = dropRow_ < rows ? rowViewportPosition(dropRow_) : rowViewportPosition(rows - 1) + height;
  const int width = horizontalHeader()->length() - horizontalHeader()->offset();
  QPainter painter(viewport());
  painter.fillRect(0, y - 1, width, 2, palette().text());
  painter.fillRect(0, y - height / 2, 2, height, palette().text());
  painter.fillRect(width - 2, y - height / 2, 2, height, palette().text());
}

}  // namespace qf
