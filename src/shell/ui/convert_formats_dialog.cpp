#include "shell/ui/convert_formats_dialog.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QRadioButton>

#include "editing/ui/qt_text.h"
#include "formats/batch_conversion.h"

namespace qf {

FileFormat ConvertChoice::targetFormat() const {
  return toOv2 ? FileFormat::Ov2 : ConversionTargets()[static_cast<std::size_t>(target)];
}

ConvertFormatsDialog::ConvertFormatsDialog(const ConvertChoice& choice, QWidget* parent)
    : FolderDialog(UiText(kConvertFolderCaption), UiText(kConvertFolderPosition), parent) {
  toOv2_ = new QRadioButton(UiText(kConvertToOv2), this);
  toTarget_ = new QRadioButton(UiText(kConvertTo), this);
  targets_ = new QComboBox(this);
  // The targets' texts follow one another in the string table, in the order of ConversionTargets().
  for (std::size_t i = 0; i < ConversionTargets().size(); ++i) {
    targets_->addItem(UiText(kConvertTargetKml + static_cast<int>(i)));
  }
  targets_->setCurrentIndex(choice.target);
  (choice.toOv2 ? toOv2_ : toTarget_)->setChecked(true);
  targets_->setEnabled(!choice.toOv2);
  connect(toOv2_, &QRadioButton::toggled, targets_, [this](bool ov2) { targets_->setEnabled(!ov2); });
  // Choosing "Convert to" goes on to the list of targets.
  connect(toTarget_, &QRadioButton::clicked, targets_, [this] {
    targets_->setFocus();
    targets_->showPopup();
  });
  auto* row = new QHBoxLayout;
  row->addWidget(toOv2_);
  row->addSpacing(20);
  row->addWidget(toTarget_);
  row->addWidget(targets_);
  row->addStretch();
  optionsArea()->addLayout(row);

  start(choice.folder);
}

ConvertChoice ConvertFormatsDialog::choice() const {
  return {folder().value_or(std::filesystem::path()), toOv2_->isChecked(), targets_->currentIndex()};
}

}  // namespace qf
