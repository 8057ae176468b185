#pragma once

#include <filesystem>

#include "formats/name_translation.h"
#include "shell/ui/folder_dialog.h"

class QRadioButton;

namespace qf {

// What Translate Names was last asked to do, kept while the program runs.
struct TranslateChoice {
  std::filesystem::path folder;  // none at first
  NameDirection direction = NameDirection::ToTomTom;
};

// "Translate Folder": the folder whose device files Translate Names renames, and into which char code.
class TranslateNamesDialog : public FolderDialog {
  Q_OBJECT

 public:
  TranslateNamesDialog(const TranslateChoice& choice, QWidget* parent);

  // The choice the dialog shows; the folder is the selected one.
  TranslateChoice choice() const;

 private:
  QRadioButton* toTomTom_;
};

}  // namespace qf
