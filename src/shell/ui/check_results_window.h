#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include "core/app_settings.h"
#include "core/poi_checks.h"
#include "editing/poi_table.h"

class QPushButton;
class QTreeWidget;

namespace qf {

class GuiUserPort;
class PoiTableView;

// The modeless window of a check: one group of findings at a time, from which rows are visited or
// deleted, and "&Continue" looks for the next group. While it lives it follows the table's edits,
// undos, moves and deletions. It closes itself when the check ends, and then goes away.
class CheckResultsWindow : public QDialog, public TableObserver {
  Q_OBJECT

 public:
  CheckResultsWindow(PoiTable& table, PoiTableView& view, const CheckSettings& settings, AppSettings& appSettings,
                     GuiUserPort& port, QWidget* parent);
  ~CheckResultsWindow() override;

  // Runs the first stage: its first group is shown, or the check ends at once.
  void start();
  // The coordinate or distance display changed: the results show the new texts.
  void displayOptionsChanged();

  void done(int result) override;

 signals:
  // A stage runs, and the main window is busy, from true to false.
  void running(bool running);
  void goToRequested();
  // The window became the active one: an open cell editor is to go.
  void activated();

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void cellChanged(int row, int column) override;
  void rowAboutToBeRemoved(int row) override;
  void rowsSwapped(int rowA, int rowB) override;

  void search(bool continuing);
  bool poll(CheckStage stage);
  void showGroup();
  // The list shows the run's results again, soon or at once.
  void resultsChanged();
  void fill();
  void fillIfPending();
  std::vector<int> selectedResults() const;
  int firstShownColumn() const;
  void selectionChanged();
  void deleteResults(bool all);
  void sortBy(int column);

  PoiTable& table_;
  PoiTableView& view_;
  AppSettings& appSettings_;
  GuiUserPort& port_;
  CheckRun run_;
  QTreeWidget* results_;
  QPushButton* goTo_;
  QPushButton* delete_;
  QPushButton* deleteAll_;
  bool observing_ = true;
  bool filling_ = false;
  bool fillPending_ = false;
  QElapsedTimer sincePoll_;
};

}  // namespace qf
