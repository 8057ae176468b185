#pragma once

#include <QDialog>

#include "core/app_settings.h"
#include "shell/toolbar_layout.h"

class QListWidget;
class QPushButton;
class QSpinBox;

namespace qf {

class Toolbar;

// The toolbar's customise dialog: moves buttons and separators between the available ones and
// the toolbar, orders them and sets the button spacing. Every change takes effect at once: the
// arrangement is stored in settings.toolbarButtons and the toolbar is rebuilt.
class ToolbarCustomizeDialog : public QDialog {
  Q_OBJECT

 public:
  ToolbarCustomizeDialog(Toolbar& toolbar, AppSettings& settings, QWidget* parent = nullptr);

  // Esc and the title bar's close button only close while the Close button is enabled.
  void reject() override;

 signals:
  // settings.toolbarButtons was stored or removed; the window writes it to the settings file.
  void buttonsChanged();

 private:
  void fillLists(int currentRow);
  void updateButtons();
  void store(const ToolbarLayout& layout, int currentRow);
  void addButton();
  void removeButton();
  void moveButton(int by);
  void reset();

  Toolbar& toolbar_;
  AppSettings& settings_;
  QListWidget* available_;
  QListWidget* current_;
  QPushButton* add_;
  QPushButton* remove_;
  QPushButton* moveUp_;
  QPushButton* moveDown_;
  QPushButton* reset_;
  QPushButton* close_;
  QSpinBox* spacing_;
};

}  // namespace qf
