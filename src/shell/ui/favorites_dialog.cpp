#include "shell/ui/favorites_dialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QPushButton>

#include "editing/ui/qt_text.h"
#include "formats/favourites.h"

namespace qf {

namespace fs = std::filesystem;

FavoritesDialog::FavoritesDialog(const FavoritesChoice& choice, QWidget* parent)
    : FolderDialog(UiText(kOpenFavoritesCaption), UiText(kFavoritesPosition), parent) {
  includeHome_ = new QCheckBox(UiText(kIncludeHomeAndRecent), this);
  includeHome_->setChecked(choice.includeHome);
  buttonRow()->insertWidget(0, includeHome_);
  // After the dialog's own rule, which offers OK for any folder.
  connect(this, &FolderDialog::folderChanged, this, [this] {
    const std::optional<fs::path> chosen = folder();
    std::error_code error;
    okButton()->setEnabled(chosen && fs::is_regular_file(FavouritesFileIn(*chosen), error));
  });
  start(choice.folder);
}

FavoritesChoice FavoritesDialog::choice() const {
  return {folder().value_or(fs::path()), includeHome_->isChecked()};
}

std::optional<fs::path> FavoritesDialog::shownPath() const {
  return FavouritesFileIn(folder().value_or(fs::path()));
}

}  // namespace qf
