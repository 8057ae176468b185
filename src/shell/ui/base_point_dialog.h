#pragma once

#include <QDialog>

#include "core/app_settings.h"
#include "editing/base_points.h"
#include "editing/poi_table.h"
#include "shell/ui/dialog_fading.h"

class QPushButton;
class QTreeWidget;

namespace qf {

// The "My Base Point" dialog: the saved base points, edited in a list; "&Set" makes the selected
// one row 0 of the table and the base. OK and Set keep the edited list in the settings, Cancel
// drops it; the caller writes what changed to the settings file.
class BasePointDialog : public Fading<QDialog> {
 public:
  // What exec() returns when the dialog closed with "&Set".
  static constexpr int kSetResult = 2;

  BasePointDialog(PoiTable& table, AppSettings& settings, const QColor& textColour, QWidget* parent);

  // Whether the list was changed and kept (OK or Set), so that the whole list is to be saved.
  bool listKept() const { return listKept_; }

  void accept() override;

 private:
  void showEntries();
  void takeSelection();
  void refreshButtons();
  // Runs a list change, then shows the list again; with `reveal` the entry that many places beyond
  // the selected one is scrolled into view.
  template <typename Change>
  void change(Change&& edit, int reveal = 0);
  void set();

  PoiTable& table_;
  AppSettings& settings_;
  BasePointList list_;
  QTreeWidget* entries_;
  QPushButton* set_;
  QPushButton* moveUp_;
  QPushButton* moveDown_;
  QPushButton* add_;
  QPushButton* delete_;
  QPushButton* deleteAll_;
  QPushButton* exportAll_;
  QPushButton* ok_;
  bool showing_ = false;
  bool listKept_ = false;
};

}  // namespace qf
