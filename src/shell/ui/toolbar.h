#pragma once

#include <QToolBar>

#include <functional>

#include "core/app_settings.h"
#include "shell/toolbar_layout.h"

namespace qf {

// The main window's toolbar: the user's arrangement of command buttons over rows of shaded lines
// in the toolbar colour. With "Wrap Toolbar" the buttons flow onto as many rows as the width
// needs; without it the buttons that do not fit are offered by the toolbar's extension menu.
class Toolbar : public QToolBar {
  Q_OBJECT

 public:
  using ActionFor = std::function<QAction*(CommandId)>;

  // `actionFor` gives the window's action of every toolbar command; their icons get a brighter
  // image for the hovered button.
  Toolbar(ActionFor actionFor, AppSettings& settings, QWidget* parent = nullptr);

  // Builds the buttons again from the settings: icon size, arrangement, spacing and wrapping.
  void rebuild();

  const ToolbarLayout& entries() const { return entries_; }
  QAction* actionFor(CommandId id) const { return actionFor_(id); }

 signals:
  // A right click on the toolbar or one of its buttons.
  void contextMenuRequested(const QPoint& globalPosition);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void removeEntries();
  QWidget* wrappingButtons();

  ActionFor actionFor_;
  AppSettings& settings_;
  ToolbarLayout entries_;
  int buttonHeight_ = 0;
};

}  // namespace qf
