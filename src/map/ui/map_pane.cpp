#include "map/ui/map_pane.h"

#include "shell/ui/main_window.h"

namespace qf {

MapPane::MapPane(MainWindow& window) : window_(window), pane_(new QWidget) { pane_->hide(); }

MapPane::~MapPane() = default;

void MapPane::showMap() {}

void MapPane::closeMap() { pane_->hide(); }

bool MapPane::mapShown() const { return pane_->isVisible(); }

void MapPane::putOption(int) {}

void MapPane::queryPositions(bool) {}

}  // namespace qf
