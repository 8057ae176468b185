#include "shell/ui/base_point_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

#include "editing/ui/qt_text.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

// The entry's texts in the table's column order.
std::array<int, 5> DisplayOrder(bool lngFirst) {
  if (lngFirst) return {kName, kLng, kLat, kTel, kMemo};
  return {kName, kLat, kLng, kTel, kMemo};
}

}  // namespace

BasePointDialog::BasePointDialog(PoiTable& table, AppSettings& settings, const QColor& textColour, QWidget* parent)
    : Fading<QDialog>(settings.on(Switch::FadeWindow), parent),
      table_(table),
      settings_(settings),
      list_(settings.basePoints, table.document().display) {
  setWindowTitle(u"My Base Point"_s);
  entries_ = new QTreeWidget(this);
  entries_->setRootIsDecorated(false);
  entries_->setUniformRowHeights(true);
  entries_->setAllColumnsShowFocus(true);
  entries_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  QPalette palette = entries_->palette();
  palette.setColor(QPalette::Text, textColour);
  entries_->setPalette(palette);
  QStringList titles;
  for (const int field : DisplayOrder(table.state.lngFirst)) titles.append(UiText(kNameTitle + field));
  entries_->setHeaderLabels(titles);

  const auto button = [this](const QString& text) { return new QPushButton(text, this); };
  set_ = button(u"&Set"_s);
  moveUp_ = button(u"Move &Up"_s);
  moveDown_ = button(u"Move Do&wn"_s);
  add_ = button(u"&Add"_s);
  delete_ = button(u"&Delete"_s);
  deleteAll_ = button(u"Delete A&ll"_s);
  exportAll_ = button(u"&Export All"_s);
  ok_ = button(u"OK"_s);
  QPushButton* cancel = button(u"Cancel"_s);
  set_->setDefault(true);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {set_, moveUp_, moveDown_, add_, delete_, deleteAll_, exportAll_}) buttons->addWidget(b);
  buttons->addSpacing(buttons->spacing() * 3);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(entries_, 1);
  layout->addLayout(buttons);

  connect(set_, &QPushButton::clicked, this, &BasePointDialog::set);
  connect(entries_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (list_.canSet()) set();
  });
  connect(moveUp_, &QPushButton::clicked, this, [this] { change([this] { list_.move(true); }, -3); });
  connect(moveDown_, &QPushButton::clicked, this, [this] { change([this] { list_.move(false); }, 3); });
  connect(add_, &QPushButton::clicked, this, [this] { change([this] { list_.add(table_); }); });
  connect(delete_, &QPushButton::clicked, this, [this] { change([this] { list_.remove(); }); });
  connect(deleteAll_, &QPushButton::clicked, this, [this] { change([this] { list_.removeAll(); }); });
  connect(exportAll_, &QPushButton::clicked, this, [this] { change([this] { list_.exportAll(table_); }); });
  connect(ok_, &QPushButton::clicked, this, &BasePointDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &BasePointDialog::reject);
  connect(entries_, &QTreeWidget::itemSelectionChanged, this, &BasePointDialog::takeSelection);

  showEntries();
  for (int column = 0; column < entries_->columnCount(); ++column) entries_->resizeColumnToContents(column);
  const QSize smallest(kMinBasePointDialogSize, kMinBasePointDialogSize);
  setMinimumSize(smallest);
  const QSize largest = (parent ? parent->screen() : screen())->availableGeometry().size();
  resize(QSize(settings.basePoints.dialogWidth, settings.basePoints.dialogHeight).expandedTo(smallest).boundedTo(largest));
}

void BasePointDialog::showEntries() {
  showing_ = true;
  entries_->clear();
  const std::array<int, 5> order = DisplayOrder(table_.state.lngFirst);
  QList<QTreeWidgetItem*> items;
  for (const BasePoint& entry : list_.entries()) {
    QStringList texts;
    for (const int field : order) texts.append(ToQString(entry[static_cast<std::size_t>(field)]));
    items.append(new QTreeWidgetItem(texts));
  }
  entries_->addTopLevelItems(items);
  QTreeWidgetItem* first = nullptr;
  for (qsizetype i = 0; i < items.size(); ++i) {
    if (!list_.selected[static_cast<std::size_t>(i)]) continue;
    items[i]->setSelected(true);
    if (!first) first = items[i];
  }
  if (first) {
    entries_->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
    entries_->scrollToItem(first);
  }
  showing_ = false;
  refreshButtons();
}

void BasePointDialog::takeSelection() {
  if (showing_) return;
  for (int i = 0; i < entries_->topLevelItemCount(); ++i) {
    list_.selected[static_cast<std::size_t>(i)] = entries_->topLevelItem(i)->isSelected();
  }
  refreshButtons();
}

void BasePointDialog::refreshButtons() {
  set_->setEnabled(list_.canSet());
  moveUp_->setEnabled(list_.canMoveUp());
  moveDown_->setEnabled(list_.canMoveDown());
  add_->setEnabled(list_.canAdd(table_));
  delete_->setEnabled(list_.canDelete());
  deleteAll_->setEnabled(list_.canDeleteAll());
  exportAll_->setEnabled(list_.canExportAll());
  ok_->setEnabled(list_.canOk());
}

template <typename Change>
void BasePointDialog::change(Change&& edit, int reveal) {
  edit();
  showEntries();
  const auto selected = std::ranges::find(list_.selected, true);
  if (reveal == 0 || selected == list_.selected.end()) return;
  const int beyond = static_cast<int>(selected - list_.selected.begin()) + reveal;
  entries_->scrollToItem(entries_->topLevelItem(std::clamp(beyond, 0, entries_->topLevelItemCount() - 1)));
}

void BasePointDialog::set() {
  listKept_ = list_.canOk();
  list_.set(table_, settings_.basePoints);
  done(kSetResult);
}

void BasePointDialog::accept() {
  listKept_ = list_.canOk();
  list_.ok(settings_.basePoints);
  Fading<QDialog>::accept();
}

}  // namespace qf
