#pragma once

class QWidget;

namespace qf {

// What the window asks of the map layer. That layer sits above the window's and is plugged in when
// the program starts, so the window knows the map only through this.
class MapServices {
 public:
  virtual ~MapServices() = default;
  // The pane to the right of the table; the window holds it in its splitter, hidden until shown.
  virtual QWidget* pane() = 0;
  // The map command: builds the page of the chosen rows and shows it in the pane.
  virtual void showMap() = 0;
  // Blanks the page and hides the pane (a double click on the splitter, the window closing).
  virtual void closeMap() = 0;
  virtual bool mapShown() const = 0;
  // A display command or a map option changed while the map is shown: the page's command for it.
  virtual void putOption(int command) = 0;
  // Query Coordinates and Query Addresses.
  virtual void queryPositions(bool addresses) = 0;
};

}  // namespace qf
