#include "editing/ui/find_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/field_rules.h"
#include "editing/ui/qt_text.h"

namespace qf {

using namespace Qt::StringLiterals;

FindDialog::FindDialog(Mode mode, FindState& state, const QAction& next, QWidget* parent)
    : QDialog(parent), mode_(mode), state_(state) {
  const bool replacing = mode == Mode::Replace;
  setWindowTitle(replacing ? u"Replace POIs"_s : u"Find POIs"_s);
  const auto lineEdit = [this] {
    auto* edit = new QLineEdit(this);
    edit->setMaxLength(static_cast<int>(kMaxNameLength));
    return edit;
  };
  findEdit_ = lineEdit();
  auto* fields = new QFormLayout;
  fields->addRow(u"Fi&nd what:"_s, findEdit_);
  if (replacing) {
    replaceEdit_ = lineEdit();
    fields->addRow(u"Re&place with:"_s, replaceEdit_);
  }
  matchCase_ = new QCheckBox(u"Match &case"_s, this);
  onlyName_ = new QCheckBox(u"Only &Name column"_s, this);
  selectAll_ = new QCheckBox(replacing ? u"Replace &all match data"_s : u"&Select all match POIs"_s, this);

  auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
  ok_ = buttons->addButton(QDialogButtonBox::Ok);
  ok_->setDefault(true);
  next_ = buttons->addButton(next.text(), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(ok_, &QPushButton::clicked, this, [this] {
    store();
    emit confirmed();
  });
  const auto runNext = [this] {
    if (!next_->isEnabled()) return;
    store();
    emit nextRequested();
  };
  connect(next_, &QPushButton::clicked, this, runNext);
  // The command's keys work here too, as they do over the table.
  auto* nextKey = new QAction(this);
  nextKey->setShortcuts(next.shortcuts());
  connect(nextKey, &QAction::triggered, this, runNext);
  addAction(nextKey);
  connect(findEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    ok_->setEnabled(!text.isEmpty());
    next_->setEnabled(!text.isEmpty());
  });

  auto* boxes = new QVBoxLayout;
  boxes->addLayout(fields);
  for (QCheckBox* box : {matchCase_, onlyName_, selectAll_}) boxes->addWidget(box);
  boxes->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(boxes, 1);
  layout->addWidget(buttons);
  showState();
}

void FindDialog::showState() {
  findEdit_->setText(ToQString(state_.findText));
  if (replaceEdit_) replaceEdit_->setText(ToQString(state_.replaceText));
  matchCase_->setChecked(state_.matchCase);
  onlyName_->setChecked(state_.onlyName);
  selectAll_->setChecked(state_.selectAll);
  const bool empty = state_.findText.empty();
  ok_->setEnabled(!empty);
  next_->setEnabled(!empty);
  findEdit_->selectAll();
  findEdit_->setFocus();
}

void FindDialog::store() {
  state_.findText = ToU16(findEdit_->text());
  if (replaceEdit_) state_.replaceText = ToU16(replaceEdit_->text());
  state_.matchCase = matchCase_->isChecked();
  state_.onlyName = onlyName_->isChecked();
  state_.selectAll = selectAll_->isChecked();
}

}  // namespace qf
