#pragma once

#include <filesystem>

#include "shell/ui/folder_dialog.h"

class QCheckBox;

namespace qf {

// What Open Favorites was last asked to do, kept while the program runs.
struct FavoritesChoice {
  std::filesystem::path folder;  // none at first
  bool includeHome = false;      // "Include Home and Recent destinations"
};

// "Open Favorites": the device folder whose "MapSettings.cfg" is read. OK is offered only for a
// folder that holds that file.
class FavoritesDialog : public FolderDialog {
  Q_OBJECT

 public:
  FavoritesDialog(const FavoritesChoice& choice, QWidget* parent);

  // The choice the dialog shows; the folder is the selected one.
  FavoritesChoice choice() const;

 protected:
  std::optional<std::filesystem::path> shownPath() const override;

 private:
  QCheckBox* includeHome_;
};

}  // namespace qf
