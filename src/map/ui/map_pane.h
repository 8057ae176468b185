#pragma once

#include <QWidget>

#include "shell/ui/map_services.h"

namespace qf {

class MainWindow;

// The map beside the table: a web page of the chosen POIs that edits the document through the
// window's table.
class MapPane : public MapServices {
 public:
  explicit MapPane(MainWindow& window);
  ~MapPane() override;

  QWidget* pane() override { return pane_; }
  void showMap() override;
  void closeMap() override;
  bool mapShown() const override;
  void putOption(int command) override;
  void queryPositions(bool addresses) override;

 private:
  MainWindow& window_;
  QWidget* pane_;
};

}  // namespace qf
