#include "shell/ui/check_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "editing/ui/qt_text.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

constexpr int kDistanceLength = 9;

}  // namespace

CheckDialog::CheckDialog(const CheckSettings& settings, const PoiDocument& document, bool fade, QWidget* parent)
    : Fading<QDialog>(fade, parent), settings_(settings), metric_(document.display.metric) {
  setWindowTitle(u"Check POIs"_s);
  const CheckChoices available = AvailableChecks(document);
  const auto box = [this](const QString& text, bool available, bool checked) {
    auto* check = new QCheckBox(text, this);
    check->setEnabled(available);
    check->setChecked(available && checked);
    connect(check, &QCheckBox::toggled, this, &CheckDialog::refreshEnabling);
    return check;
  };
  similarNames_ = box(u"&Similar names"_s, available.similarNames, settings.similarNames);
  nearDistances_ = box(u"&Near distances"_s, available.nearDistances, settings.nearDistances);
  emptyCoordinates_ = box(u"&Empty coordinates"_s, available.emptyCoordinates, settings.emptyCoordinates);
  distance_ = new QLineEdit(ToQString(settings.distanceNumber), this);
  distance_->setMaxLength(kDistanceLength);
  largeUnit_ = new QRadioButton(metric_ ? u"km"_s : u"mi"_s, this);
  smallUnit_ = new QRadioButton(metric_ ? u"m"_s : u"ft"_s, this);
  (settings.largeUnit ? largeUnit_ : smallUnit_)->setChecked(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &CheckDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CheckDialog::reject);

  auto* group = new QGroupBox(u"Item"_s, this);
  auto* near = new QHBoxLayout;
  near->addWidget(nearDistances_);
  near->addWidget(distance_);
  near->addWidget(largeUnit_);
  near->addWidget(smallUnit_);
  auto* items = new QVBoxLayout(group);
  items->addWidget(similarNames_);
  items->addLayout(near);
  items->addWidget(emptyCoordinates_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(buttons);
  refreshEnabling();
}

void CheckDialog::refreshEnabling() {
  const bool near = nearDistances_->isChecked();
  for (QWidget* control : {static_cast<QWidget*>(distance_), static_cast<QWidget*>(largeUnit_),
                           static_cast<QWidget*>(smallUnit_)}) {
    control->setEnabled(near);
  }
  ok_->setEnabled(similarNames_->isChecked() || near || emptyCoordinates_->isChecked());
}

void CheckDialog::accept() {
  settings_.similarNames = similarNames_->isChecked();
  settings_.nearDistances = nearDistances_->isChecked();
  settings_.emptyCoordinates = emptyCoordinates_->isChecked();
  settings_.distanceNumber = ToU16(distance_->text());
  settings_.largeUnit = largeUnit_->isChecked();
  if (settings_.nearDistances) {
    const std::optional<std::int32_t> threshold = ParseThreshold(settings_.distanceNumber, metric_, settings_.largeUnit);
    if (!threshold) {
      QMessageBox::information(this, UiText(kProgramTitle), u"The format of distance number is error"_s);
      distance_->selectAll();
      distance_->setFocus();
      return;
    }
    settings_.thresholdMetres = *threshold;
  }
  Fading<QDialog>::accept();
}

}  // namespace qf
