#include "shell/ui/check_results_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unordered_map>

#include "editing/ui/poi_table_view.h"
#include "editing/ui/qt_text.h"
#include "shell/ui/dialog_fading.h"
#include "shell/ui/gui_user_port.h"
#include "shell/window_placement.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

// Painting and looking for Esc after every row would cost more than the check itself; the running
// bar moves in steps of this length.
constexpr int kPollInterval = 20;

}  // namespace

CheckResultsWindow::CheckResultsWindow(PoiTable& table, PoiTableView& view, const CheckSettings& settings,
                                       AppSettings& appSettings, GuiUserPort& port, QWidget* parent)
    : QDialog(parent),
      table_(table),
      view_(view),
      appSettings_(appSettings),
      port_(port),
      run_(table.document(), settings) {
  setModal(false);
  results_ = new QTreeWidget(this);
  results_->setRootIsDecorated(false);
  results_->setUniformRowHeights(true);
  results_->setAllColumnsShowFocus(true);
  results_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // The table's columns, titles and order.
  QStringList titles;
  for (int column = kName; column <= kDistance; ++column) {
    titles.append(view.model()->headerData(column, Qt::Horizontal).toString());
  }
  results_->setHeaderLabels(titles);
  QHeaderView* header = results_->header();
  header->setSectionsClickable(true);
  header->setStretchLastSection(false);
  for (int visual = 0; visual <= kDistance; ++visual) {
    header->moveSection(header->visualIndex(view.horizontalHeader()->logicalIndex(visual)), visual);
  }
  for (int column = kName; column <= kDistance; ++column) results_->setColumnHidden(column, view.isColumnHidden(column));

  goTo_ = new QPushButton(u"&Go To"_s, this);
  delete_ = new QPushButton(u"&Delete"_s, this);
  deleteAll_ = new QPushButton(u"Delete &All"_s, this);
  auto* continueCheck = new QPushButton(u"&Continue"_s, this);
  auto* cancel = new QPushButton(u"Cancel"_s, this);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {goTo_, delete_, deleteAll_, continueCheck, cancel}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(results_, 1);
  layout->addLayout(buttons);

  connect(results_, &QTreeWidget::itemSelectionChanged, this, &CheckResultsWindow::selectionChanged);
  connect(results_, &QTreeWidget::itemDoubleClicked, this, &CheckResultsWindow::goToRequested);
  connect(header, &QHeaderView::sectionClicked, this, &CheckResultsWindow::sortBy);
  connect(goTo_, &QPushButton::clicked, this, &CheckResultsWindow::goToRequested);
  connect(delete_, &QPushButton::clicked, this, [this] { deleteResults(false); });
  connect(deleteAll_, &QPushButton::clicked, this, [this] { deleteResults(true); });
  connect(continueCheck, &QPushButton::clicked, this, [this] { search(true); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  const QRect work = (parent ? parent->screen() : screen())->availableGeometry();
  const ScreenRect placed = PlaceCheckWindow(appSettings.checkWindow, {work.left(), work.top(), work.width(), work.height()});
  setMinimumSize(kMinCheckWindowWidth, kMinCheckWindowHeight);
  setGeometry(placed.left, placed.top, placed.width, placed.height);
  table_.addObserver(this);
}

// Once closed, the window may outlive the table: it lets go of it when it closes.
CheckResultsWindow::~CheckResultsWindow() {
  if (observing_) table_.removeObserver(this);
}

void CheckResultsWindow::start() { search(false); }

void CheckResultsWindow::done(int result) {
  table_.removeObserver(this);
  observing_ = false;
  appSettings_.checkWindow = {x(), y(), width(), height()};
  if (isVisible() && appSettings_.on(Switch::FadeWindow)) FadeOut(*this);
  QDialog::done(result);
  deleteLater();
}

void CheckResultsWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (appSettings_.on(Switch::FadeWindow)) FadeIn(*this);
}

void CheckResultsWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) emit activated();
}

// ------------------------------------------------------------------------------------ running

void CheckResultsWindow::search(bool continuing) {
  hide();
  results_->clear();
  emit running(true);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  sincePoll_.invalidate();
  const CheckPoll poll = [this](CheckStage stage) { return this->poll(stage); };
  const PoiDocument& document = table_.document();
  const CheckOutcome outcome = continuing ? run_.continueCheck(document, poll) : run_.start(document, poll);
  QApplication::restoreOverrideCursor();
  port_.finishProgress();
  emit running(false);
  if (outcome == CheckOutcome::GroupFound) {
    showGroup();
    return;
  }
  if (outcome == CheckOutcome::Finished) {
    QMessageBox::information(parentWidget(), UiText(kProgramTitle), QString::fromUtf8(kCheckFinishedText));
  }
  done(outcome == CheckOutcome::Finished ? Accepted : Rejected);
}

bool CheckResultsWindow::poll(CheckStage stage) {
  if (sincePoll_.isValid() && sincePoll_.elapsed() < kPollInterval) return false;
  sincePoll_.start();
  port_.busy(ToU16(QString::fromUtf8(CheckStatusText(stage))));
  return port_.cancelRequested();
}

void CheckResultsWindow::showGroup() {
  setWindowTitle(QString::fromUtf8(CheckTitle(run_.stage())));
  results_->header()->setSortIndicatorShown(false);
  fill();
  if (results_->topLevelItemCount() > 0) results_->setCurrentItem(results_->topLevelItem(0), firstShownColumn());
  show();
  raise();
  activateWindow();
  results_->setFocus();
}

// ------------------------------------------------------------------------------------ the list

// The leftmost column shown: a current result in any other column would scroll the list away
// from its left edge when the names are wider than the window.
int CheckResultsWindow::firstShownColumn() const {
  const QHeaderView* header = results_->header();
  for (int visual = 0; visual < header->count(); ++visual) {
    const int column = header->logicalIndex(visual);
    if (!header->isSectionHidden(column)) return column;
  }
  return kName;
}

void CheckResultsWindow::resultsChanged() {
  if (fillPending_) return;
  fillPending_ = true;
  // Once the table's change is through: a deletion of many rows is one refill.
  QTimer::singleShot(0, this, &CheckResultsWindow::fillIfPending);
}

void CheckResultsWindow::fillIfPending() {
  if (fillPending_) fill();
}

// Item i shows result i; the selection stays with the rows it was on.
void CheckResultsWindow::fill() {
  filling_ = true;
  fillPending_ = false;
  std::vector<RowId> selected;
  for (const QTreeWidgetItem* item : results_->selectedItems()) selected.push_back(item->data(0, Qt::UserRole).toUInt());
  results_->clear();
  const bool metric = table_.document().display.metric;
  QList<QTreeWidgetItem*> items;
  for (const CheckResult& result : run_.results()) {
    auto* item = new QTreeWidgetItem;
    for (int column = kName; column <= kMemo; ++column) item->setText(column, ToQString(result.texts[column]));
    item->setText(kDistance, ToQString(run_.distanceText(result, metric)));
    item->setTextAlignment(kDistance, Qt::AlignRight | Qt::AlignVCenter);
    item->setData(0, Qt::UserRole, result.id);
    items.append(item);
  }
  results_->addTopLevelItems(items);
  for (QTreeWidgetItem* item : items) {
    item->setSelected(std::ranges::find(selected, item->data(0, Qt::UserRole).toUInt()) != selected.end());
  }
  for (int column = kName; column <= kDistance; ++column) results_->resizeColumnToContents(column);
  filling_ = false;
  const int count = static_cast<int>(results_->selectedItems().size());
  goTo_->setEnabled(count == 1);
  delete_->setEnabled(count > 0);
  deleteAll_->setEnabled(results_->topLevelItemCount() > 0);
}

// By the rows' ids: the list may still wait for its refill after a change of the results.
std::vector<int> CheckResultsWindow::selectedResults() const {
  const std::vector<CheckResult>& results = run_.results();
  std::unordered_map<RowId, int> indexOf;
  for (std::size_t i = 0; i < results.size(); ++i) indexOf.emplace(results[i].id, static_cast<int>(i));
  std::vector<int> indices;
  for (const QTreeWidgetItem* item : results_->selectedItems()) {
    const auto found = indexOf.find(item->data(0, Qt::UserRole).toUInt());
    if (found != indexOf.end()) indices.push_back(found->second);
  }
  return indices;
}

void CheckResultsWindow::selectionChanged() {
  if (filling_) return;
  const std::vector<int> chosen = selectedResults();
  goTo_->setEnabled(chosen.size() == 1);
  delete_->setEnabled(!chosen.empty());
  if (chosen.size() != 1) return;
  const std::vector<int> rows = run_.rowsOfResults(table_.document(), chosen);
  if (rows.empty()) return;
  table_.clearSelection();
  table_.selectAndFocus(rows.front());
  view_.showEngineSelection();
  table_.makeVisible(rows.front());
}

void CheckResultsWindow::deleteResults(bool all) {
  if (all) results_->selectAll();
  const std::vector<int> rows = run_.rowsOfResults(table_.document(), selectedResults());
  if (rows.empty()) return;
  // The table's Delete: one undo step, and a My Base Point row only loses its pin.
  table_.clearSelection();
  for (const int row : rows) table_.selectAndFocus(row);
  table_.deleteSelected();
  fill();
}

void CheckResultsWindow::sortBy(int column) {
  run_.sortByColumn(table_.document(), column);
  QHeaderView* header = results_->header();
  header->setSortIndicatorShown(true);
  header->setSortIndicator(column, run_.sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
  fill();
}

void CheckResultsWindow::displayOptionsChanged() {
  run_.displayOptionsChanged(table_.document());
  fill();
}

// ------------------------------------------------------------------------------------ following the table

void CheckResultsWindow::cellChanged(int row, int column) {
  run_.rowChanged(table_.document(), row, column);
  resultsChanged();
}

void CheckResultsWindow::rowAboutToBeRemoved(int row) {
  const std::size_t before = run_.results().size();
  run_.rowDeleted(table_.document(), table_.document().rows[static_cast<std::size_t>(row)].id());
  if (run_.results().size() != before) resultsChanged();
}

// The results go with the texts to the other row's id, and so do the items showing them.
void CheckResultsWindow::rowsSwapped(int rowA, int rowB) {
  const RowId idA = table_.document().rows[static_cast<std::size_t>(rowA)].id();
  const RowId idB = table_.document().rows[static_cast<std::size_t>(rowB)].id();
  for (int i = 0; i < results_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = results_->topLevelItem(i);
    const RowId id = item->data(0, Qt::UserRole).toUInt();
    if (id == idA || id == idB) item->setData(0, Qt::UserRole, id == idA ? idB : idA);
  }
  run_.rowsSwapped(table_.document(), rowA, rowB);
  resultsChanged();
}

}  // namespace qf
