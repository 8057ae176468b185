#include "shell/ui/translate_names_dialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include "editing/ui/qt_text.h"

namespace qf {

TranslateNamesDialog::TranslateNamesDialog(const TranslateChoice& choice, QWidget* parent)
    : FolderDialog(UiText(kTranslateFolderCaption), UiText(kTranslateFolderPosition), parent) {
  toTomTom_ = new QRadioButton(UiText(kTomTomCharCode), this);
  auto* toWindows = new QRadioButton(UiText(kWindowsCharCode), this);
  (choice.direction == NameDirection::ToTomTom ? toTomTom_ : toWindows)->setChecked(true);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(UiText(kTranslateTo), this));
  row->addWidget(toTomTom_);
  row->addWidget(toWindows);
  row->addStretch();
  optionsArea()->addLayout(row);

  start(choice.folder);
}

TranslateChoice TranslateNamesDialog::choice() const {
  return {folder().value_or(std::filesystem::path()),
          toTomTom_->isChecked() ? NameDirection::ToTomTom : NameDirection::ToWindows};
}

}  // namespace qf
