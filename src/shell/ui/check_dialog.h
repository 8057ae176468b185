#pragma once

#include <QDialog>

#include "core/poi_checks.h"
#include "core/poi_document.h"
#include "shell/ui/dialog_fading.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qf {

// The "Check POIs" dialog: which checks to run, and the near distance with its unit. The boxes a
// document cannot use are off and disabled.
class CheckDialog : public Fading<QDialog> {
 public:
  CheckDialog(const CheckSettings& settings, const PoiDocument& document, bool fade, QWidget* parent);

  // The choices, with the threshold in metres once OK took them.
  const CheckSettings& choices() const { return settings_; }

  void accept() override;

 private:
  void refreshEnabling();

  CheckSettings settings_;
  bool metric_;
  QCheckBox* similarNames_;
  QCheckBox* nearDistances_;
  QCheckBox* emptyCoordinates_;
  QLineEdit* distance_;
  QRadioButton* largeUnit_;
  QRadioButton* smallUnit_;
  QPushButton* ok_;
};

}  // namespace qf
