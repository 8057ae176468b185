#include "editing/ui/cell_editor.h"

#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>

#include "editing/cell_editing.h"
#include "editing/poi_table.h"
#include "editing/ui/poi_table_view.h"
#include "core/string_table.h"
#include "editing/ui/qt_text.h"

namespace qf {

namespace {

LocalTime Now() {
  const QDateTime now = QDateTime::currentDateTime();
  return {now.date().month(), now.date().day(), now.time().hour(), now.time().minute(), now.time().second()};
}

}  // namespace

CellEditor::CellEditor(PoiTableView& view, PoiTable& table, const bool& checkName)
    : QObject(&view),
      view_(view),
      table_(table),
      checkName_(checkName),
      edit_(new QLineEdit(view.viewport())),
      combo_(new QComboBox(view.viewport())) {
  edit_->hide();
  combo_->hide();
  edit_->installEventFilter(this);
  combo_->installEventFilter(this);
  edit_->setFrame(false);
  // A press elsewhere in the table or on its header commits first; a rejected value swallows it.
  view.viewport()->installEventFilter(this);
  view.horizontalHeader()->viewport()->installEventFilter(this);
  // The editor stays over its cell while the table scrolls.
  connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, &CellEditor::place);
  connect(view.horizontalScrollBar(), &QScrollBar::valueChanged, this, &CellEditor::place);
  connect(view.horizontalHeader(), &QHeaderView::sectionResized, this, &CellEditor::place);
}

QWidget* CellEditor::activeEditor() const { return usingList_ ? static_cast<QWidget*>(combo_) : edit_; }

void CellEditor::open(int row, int column) {
  PoiDocument& document = table_.document();
  if (row < 0 || row >= document.rowCount()) return;
  table_.clearSelection();
  view_.showEngineSelection();
  if (column == kDistance) column = kName;
  row_ = row;
  column_ = column;
  table_.state.currentColumn = column;
  view_.scrollTo(view_.model()->index(row, column));
  const QString text = ToQString(document.text(row, column));
  const FixedValues values = FixedValuesFor(document.kind, column);
  usingList_ = !values.items.empty();
  if (usingList_) {
    edit_->hide();
    combo_->clear();
    for (const std::u16string_view item : values.items) combo_->addItem(ToQString(item));
    combo_->setCurrentIndex(InitialItem(values, document.text(row, column)));
    emit hintChanged(UiText(values.hintId));
  } else {
    combo_->hide();
    edit_->setMaxLength(static_cast<int>(EditLimit(column)));
    edit_->setText(column == kName && text.isEmpty() ? ToQString(DefaultName(document.kind, Now())) : text);
    edit_->selectAll();
    emit hintChanged(ToQString(EditHint(column)));
  }
  place();
  activeEditor()->show();
  activeEditor()->setFocus();
  if (usingList_) combo_->showPopup();
}

void CellEditor::place() {
  if (!isOpen()) return;
  const QRect cell = view_.visualRect(view_.model()->index(row_, column_));
  QWidget* editor = activeEditor();
  const int width = usingList_ ? std::max(cell.width(), combo_->sizeHint().width()) : cell.width();
  editor->setGeometry(cell.left(), cell.top(), std::min(width, view_.viewport()->width() - cell.left()),
                      cell.height());
}

void CellEditor::reject(int messageId) {
  QMessageBox::information(&view_, UiText(kProgramTitle), UiText(messageId));
  edit_->selectAll();
  activeEditor()->setFocus();
}

bool CellEditor::commit() {
  if (!isOpen()) return true;
  const std::u16string text = ToU16(usingList_ ? combo_->currentText() : edit_->text());
  const CommitCheck check = CheckCommit(table_.document(), row_, column_, text, checkName_);
  if (check.askDuplicate) {
    const auto answer =
        QMessageBox::question(&view_, UiText(kProgramTitle), UiText(kDuplicateName),
                              QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) {
      edit_->selectAll();
      activeEditor()->setFocus();
      return false;
    }
  } else if (check.messageId != 0) {
    reject(check.messageId);
    return false;
  }
  CommitCell(table_, row_, column_, check.value);
  view_.refitAfterEdit(column_);
  close();
  return true;
}

void CellEditor::cancel() {
  if (!isOpen()) return;
  table_.cancelNewRow(row_);
  close();
}

// The window selects the row again before the editor goes: hiding the focused editor hands the
// focus to the table, which would otherwise take its first row as the current one and scroll there.
void CellEditor::close() {
  const int row = row_;
  row_ = -1;
  emit closed(row);
  edit_->hide();
  combo_->hide();
  combo_->clear();
  view_.setFocus();
}

bool CellEditor::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && isOpen() && watched != edit_ && watched != combo_) {
    return !commit();
  }
  if (event->type() != QEvent::KeyPress || !isOpen()) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      commit();
      return true;
    case Qt::Key_Escape:
      cancel();
      return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
      const int row = row_;
      const int next = NextEditColumn(table_.document(), column_, key->key() == Qt::Key_Tab, table_.state.lngFirst);
      if (commit() && row < table_.document().rowCount()) open(row, next);
      return true;
    }
    default:
      break;
  }
  const bool control = key->modifiers() & Qt::ControlModifier;
  const QString typed = key->text();
  if (watched == edit_ && !control && typed.size() == 1 && typed[0].isPrint() &&
      !PassesTypingFilter(column_, typed[0].unicode(), false)) {
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace qf
