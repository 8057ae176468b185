#include "shell/ui/toolbar_customize_dialog.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

#include "shell/command_table.h"
#include "core/string_table.h"
#include "editing/ui/qt_text.h"
#include "shell/ui/toolbar.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

QPushButton* Button(const QString& text, const QString& name) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QListWidget* List(const QString& name) {
  auto* list = new QListWidget;
  list->setObjectName(name);
  list->setIconSize({24, 24});
  list->setMinimumWidth(220);
  return list;
}

QLabel* Label(const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text);
  label->setBuddy(buddy);
  return label;
}

CommandId EntryAt(const QListWidget& list, int row) {
  return static_cast<CommandId>(list.item(row)->data(Qt::UserRole).toInt());
}

}  // namespace

ToolbarCustomizeDialog::ToolbarCustomizeDialog(Toolbar& toolbar, AppSettings& settings, QWidget* parent)
    : QDialog(parent),
      toolbar_(toolbar),
      settings_(settings),
      available_(List(u"available"_s)),
      current_(List(u"current"_s)),
      add_(Button(u"&Add ->"_s, u"add"_s)),
      remove_(Button(u"<- &Remove"_s, u"remove"_s)),
      moveUp_(Button(u"Move &Up"_s, u"moveUp"_s)),
      moveDown_(Button(u"Move &Down"_s, u"moveDown"_s)),
      reset_(Button(u"R&eset"_s, u"reset"_s)),
      close_(Button(u"&Close"_s, u"close"_s)),
      spacing_(new QSpinBox) {
  setWindowTitle(u"Customize Toolbar"_s);
  spacing_->setObjectName(u"spacing"_s);
  spacing_->setRange(0, 9);
  spacing_->setValue(settings_.toolbarSpacing);

  auto* left = new QVBoxLayout;
  left->addWidget(Label(u"A&vailable toolbar buttons:"_s, available_));
  left->addWidget(available_);
  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(add_);
  middle->addWidget(remove_);
  middle->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(Label(u"&Toolbar buttons:"_s, current_));
  right->addWidget(current_);
  auto* commands = new QVBoxLayout;
  commands->addSpacing(QLabel().sizeHint().height());
  commands->addWidget(close_);
  commands->addWidget(reset_);
  commands->addStretch();
  commands->addWidget(moveUp_);
  commands->addWidget(moveDown_);
  auto* spacing = new QHBoxLayout;
  spacing->addWidget(Label(u"&Spacing:"_s, spacing_));
  spacing->addWidget(spacing_);
  spacing->addStretch();
  commands->addLayout(spacing);
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left);
  columns->addLayout(middle);
  columns->addLayout(right);
  columns->addLayout(commands);

  connect(available_, &QListWidget::currentRowChanged, this, &ToolbarCustomizeDialog::updateButtons);
  connect(current_, &QListWidget::currentRowChanged, this, &ToolbarCustomizeDialog::updateButtons);
  connect(available_, &QListWidget::itemDoubleClicked, this, &ToolbarCustomizeDialog::addButton);
  connect(current_, &QListWidget::itemDoubleClicked, this, &ToolbarCustomizeDialog::removeButton);
  connect(add_, &QPushButton::clicked, this, &ToolbarCustomizeDialog::addButton);
  connect(remove_, &QPushButton::clicked, this, &ToolbarCustomizeDialog::removeButton);
  connect(moveUp_, &QPushButton::clicked, this, [this] { moveButton(-1); });
  connect(moveDown_, &QPushButton::clicked, this, [this] { moveButton(1); });
  connect(reset_, &QPushButton::clicked, this, &ToolbarCustomizeDialog::reset);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  // The spacing is written to the settings file at exit, like the other look settings.
  connect(spacing_, &QSpinBox::valueChanged, this, [this](int value) {
    settings_.toolbarSpacing = value;
    toolbar_.rebuild();
  });
  fillLists(0);
}

void ToolbarCustomizeDialog::reject() {
  if (close_->isEnabled()) QDialog::reject();
}

void ToolbarCustomizeDialog::fillLists(int currentRow) {
  const ToolbarLayout& entries = toolbar_.entries();
  auto addItem = [this](QListWidget* list, CommandId id) {
    auto* item = new QListWidgetItem(list);
    if (id == kSeparator) {
      item->setText(u"Separator"_s);
    } else {
      item->setIcon(toolbar_.actionFor(id)->icon());
      item->setText(ToQString(CommandTooltip(id)));
    }
    item->setData(Qt::UserRole, static_cast<int>(id));
  };
  const int availableRow = std::max(available_->currentRow(), 0);
  available_->clear();
  addItem(available_, kSeparator);
  for (int image = 0; image < kToolbarImageCount; ++image) {
    const CommandId id = *ToolbarCommandForImage(image);
    if (std::find(entries.begin(), entries.end(), id) == entries.end()) addItem(available_, id);
  }
  available_->setCurrentRow(std::min(availableRow, available_->count() - 1));
  current_->clear();
  for (const CommandId id : entries) addItem(current_, id);
  current_->setCurrentRow(std::min(currentRow, current_->count() - 1));
  updateButtons();
}

void ToolbarCustomizeDialog::updateButtons() {
  const int row = current_->currentRow();
  add_->setEnabled(available_->currentRow() >= 0);
  remove_->setEnabled(row >= 0);
  moveUp_->setEnabled(row > 0);
  moveDown_->setEnabled(row >= 0 && row + 1 < current_->count());
  reset_->setEnabled(settings_.toolbarButtons.has_value());
  const ToolbarLayout& entries = toolbar_.entries();
  close_->setEnabled(std::any_of(entries.begin(), entries.end(), [](CommandId id) { return id != kSeparator; }));
}

void ToolbarCustomizeDialog::store(const ToolbarLayout& layout, int currentRow) {
  settings_.toolbarButtons = FormatToolbarButtons(layout);
  toolbar_.rebuild();
  emit buttonsChanged();
  fillLists(currentRow);
}

void ToolbarCustomizeDialog::addButton() {
  const int from = available_->currentRow();
  if (from < 0) return;
  ToolbarLayout layout = toolbar_.entries();
  // A new entry goes before the selected one, or at the end when none is selected.
  int at = current_->currentRow();
  if (at < 0) at = static_cast<int>(layout.size());
  layout.insert(layout.begin() + at, EntryAt(*available_, from));
  store(layout, at);
}

void ToolbarCustomizeDialog::removeButton() {
  const int row = current_->currentRow();
  if (row < 0) return;
  ToolbarLayout layout = toolbar_.entries();
  layout.erase(layout.begin() + row);
  store(layout, row);
}

void ToolbarCustomizeDialog::moveButton(int by) {
  const int row = current_->currentRow();
  const int to = row + by;
  if (row < 0 || to < 0 || to >= current_->count()) return;
  ToolbarLayout layout = toolbar_.entries();
  std::swap(layout[static_cast<std::size_t>(row)], layout[static_cast<std::size_t>(to)]);
  store(layout, to);
}

void ToolbarCustomizeDialog::reset() {
  settings_.toolbarButtons.reset();
  toolbar_.rebuild();
  emit buttonsChanged();
  fillLists(0);
}

}  // namespace qf
