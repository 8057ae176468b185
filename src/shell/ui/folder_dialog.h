#pragma once

#include <QDialog>
#include <QFile>

#include <filesystem>
#include <optional>

#include "formats/folder_display.h"

class QBoxLayout;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qf {

class ElidedLabel;

// The folder browser of the folder commands: a status line over a tree of folders whose first
// entries are the mounted removable drives, then the home folder and the whole file system, the
// command's own controls under the tree, OK and Cancel at the bottom right.
class FolderDialog : public QDialog {
  Q_OBJECT

 public:
  // The status line tells `position`, two blanks and where the selected folder lies.
  FolderDialog(const QString& caption, const QString& position, QWidget* parent);

  // Selects a folder, opening the tree down to it.
  void selectFolder(const std::filesystem::path& folder);
  // The selected folder; none before one is selected.
  std::optional<std::filesystem::path> folder() const;

 signals:
  void folderChanged();

 protected:
  // Where a command puts its controls: under the tree, and left of OK and Cancel.
  QBoxLayout* optionsArea() const { return options_; }
  QBoxLayout* buttonRow() const { return buttons_; }
  QPushButton* okButton() const { return ok_; }
  // Call at the end of the command's constructor: selects the folder chosen last, if any.
  void start(const std::filesystem::path& lastFolder);
  // The path the status line shows; none to show only the position text.
  virtual std::optional<std::filesystem::path> shownPath() const { return folder(); }

 private:
  void showPosition();

  // The mounted removable drives, first in the tree, listed again as they come and go.
  void showDrives();
  QTreeWidgetItem* addRoot(int at, const QString& label, const std::filesystem::path& path);
  // A folder's subfolders are read when it is first opened.
  void fillChildren(QTreeWidgetItem* item);

  QString position_;
  ElidedLabel* status_;
  QTreeWidget* tree_;
  QBoxLayout* options_;
  QBoxLayout* buttons_;
  QPushButton* ok_;
  QFile mounts_;
};

// The user's home, Desktop and Documents folders, which status lines name instead of spelling out.
UserFolders CurrentUserFolders();

}  // namespace qf
