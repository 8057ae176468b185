#pragma once

#include <filesystem>

#include "core/poi_document.h"
#include "shell/ui/folder_dialog.h"

class QComboBox;
class QRadioButton;

namespace qf {

// What Convert Formats was last asked to do, kept while the program runs.
struct ConvertChoice {
  std::filesystem::path folder;  // none at first
  bool toOv2 = true;             // "Convert to ov2", else "Convert to" the target
  int target = 0;                // index into ConversionTargets()

  FileFormat targetFormat() const;
};

// "Convert Folder": the folder whose files Convert Formats converts, and into what.
class ConvertFormatsDialog : public FolderDialog {
  Q_OBJECT

 public:
  ConvertFormatsDialog(const ConvertChoice& choice, QWidget* parent);

  // The choice the dialog shows; the folder is the selected one.
  ConvertChoice choice() const;

 private:
  QRadioButton* toOv2_;
  QRadioButton* toTarget_;
  QComboBox* targets_;
};

}  // namespace qf
