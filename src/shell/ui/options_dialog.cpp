#include "shell/ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "shell/ui/dialog_fading.h"
#include "editing/ui/qt_text.h"

namespace qf {

namespace {

constexpr int kMapLanguageCount = 9;
constexpr int kMaxBackupInterval = 99;

// The check box texts, in switch order.
constexpr const char* kSwitchTexts[kSwitchCount] = {
    "Show &menu bar",
    "Show too&lbar",
    "Large tool&bar icons",
    "Auto wra&p toolbar icons",
    "Lng &column in front",
    "Coordinates in DMS &format",
    "Coordinat&es with directions",
    "Auto adjust column &widths",
    "Show &Distance column",
    "Metric &units for distances",
    "&Recent file list",
    "Fade in/&out windows",
    "S&hade table with colors",
    "Show st&atus bar",
    "Save signal mar&k of file",
    "Optimi&ze POI data",
    "Check same POI &names",
    "Auto &insert My Base Point",
    "Auto open pre&vious file",
    "Auto &translate file name",
    "Auto &save file",
    "Use Cookie settings",
    "Update Memo info",
    "Flash IQ Routes",
};

// A number field with up-down arrows. It accepts 0 as typed, so that OK can tell the user the
// range instead of quietly putting the old value back; the arrows stay within 1..maximum.
class NumberField : public QSpinBox {
 public:
  NumberField(int value, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(0, maximum);
    setValue(value);
  }

 protected:
  StepEnabled stepEnabled() const override {
    StepEnabled enabled = StepNone;
    if (value() > 1) enabled |= StepDownEnabled;
    if (value() < maximum()) enabled |= StepUpEnabled;
    return enabled;
  }
};

// The dependent controls follow their master box at once.
void EnableWith(QCheckBox* master, const QList<QWidget*>& dependents) {
  const auto follow = [dependents](bool on) {
    for (QWidget* dependent : dependents) dependent->setEnabled(on);
  };
  follow(master->isChecked());
  QObject::connect(master, &QCheckBox::toggled, master, follow);
}

}  // namespace

OptionsDialog::OptionsDialog(const AppSettings& settings, DocumentKind kind, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle(QStringLiteral("Options"));
  for (int i = 0; i < kSwitchCount; ++i) {
    boxes_[static_cast<std::size_t>(i)] = new QCheckBox(QString::fromUtf8(kSwitchTexts[i]), this);
    boxes_[static_cast<std::size_t>(i)]->setChecked(settings.switches[static_cast<std::size_t>(i)]);
  }
  fileCount_ = new NumberField(settings.fileCount, kMaxRecentFiles, this);
  backupInterval_ = new NumberField(settings.backupInterval, kMaxBackupInterval, this);
  language_ = new QComboBox(this);
  // The languages follow one another in the string table, in the order of the stored index.
  for (int i = 0; i < kMapLanguageCount; ++i) language_->addItem(UiText(kMapLanguageUsa + i));
  language_->setCurrentIndex(settings.googleMapsLang);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  // Two columns of switches, each number beside the box that turns it on; the map's options below.
  const auto column = [this](Switch first, Switch last) {
    auto* layout = new QVBoxLayout;
    for (int i = static_cast<int>(first); i <= static_cast<int>(last); ++i) {
      auto* row = new QHBoxLayout;
      row->addWidget(boxes_[static_cast<std::size_t>(i)]);
      if (i == static_cast<int>(Switch::RecentFile)) row->addWidget(fileCount_);
      if (i == static_cast<int>(Switch::BackupFile)) row->addWidget(backupInterval_);
      row->addStretch();
      layout->addLayout(row);
    }
    layout->addStretch();
    return layout;
  };
  auto* columns = new QHBoxLayout;
  columns->addLayout(column(Switch::ShowMenuBar, Switch::RecentFile));
  columns->addLayout(column(Switch::FadeWindow, Switch::BackupFile));
  auto* map = new QGridLayout;
  map->addWidget(new QLabel(QStringLiteral("Language:"), this), 0, 0);
  map->addWidget(language_, 0, 1);
  map->addWidget(box(Switch::GoogleMapsCookie), 1, 0, 1, 2);
  map->addWidget(box(Switch::GoogleMapsMemo), 2, 0, 1, 2);
  map->addWidget(box(Switch::GoogleMapsRoute), 3, 0, 1, 2);
  map->setColumnStretch(2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addLayout(map);
  layout->addWidget(buttons);
  // The tab order follows the controls' order, each number right after its box; the buttons
  // stay last.
  QList<QWidget*> order;
  for (int i = 0; i < kSwitchCount; ++i) {
    if (i == static_cast<int>(Switch::GoogleMapsCookie)) order.append(language_);
    order.append(boxes_[static_cast<std::size_t>(i)]);
    if (i == static_cast<int>(Switch::RecentFile)) order.append(fileCount_);
    if (i == static_cast<int>(Switch::BackupFile)) order.append(backupInterval_);
  }
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  EnableWith(box(Switch::ShowToolbar), {box(Switch::LargeToolbar), box(Switch::WrapToolbar)});
  EnableWith(box(Switch::ShowDistance), {box(Switch::AutoBasePoint)});
  EnableWith(box(Switch::RecentFile), {fileCount_, box(Switch::OpenLast)});
  EnableWith(box(Switch::BackupFile), {backupInterval_});
  if (kind == DocumentKind::Phonebook) box(Switch::ShowDistance)->setEnabled(false);
  // Shading belongs to the older look, which this program does not draw.
  box(Switch::ShadeTable)->setEnabled(false);
}

AppSettings OptionsDialog::editedSettings() const {
  AppSettings edited = settings_;
  for (int i = 0; i < kSwitchCount; ++i) {
    edited.switches[static_cast<std::size_t>(i)] = boxes_[static_cast<std::size_t>(i)]->isChecked();
  }
  if (edited.on(Switch::RecentFile)) edited.fileCount = fileCount_->value();
  if (edited.on(Switch::BackupFile)) edited.backupInterval = backupInterval_->value();
  edited.googleMapsLang = language_->currentIndex();
  return edited;
}

bool OptionsDialog::checkNumber(QSpinBox* field, int maximum, int messageId) {
  bool isNumber = false;
  const int number = field->text().toInt(&isNumber);
  if (isNumber && number >= 1 && number <= maximum) return true;
  QMessageBox::information(this, UiText(kProgramTitle), UiText(messageId));
  field->selectAll();
  field->setFocus();
  return false;
}

void OptionsDialog::accept() {
  if (box(Switch::RecentFile)->isChecked() && !checkNumber(fileCount_, kMaxRecentFiles, kFileCountError)) return;
  if (box(Switch::BackupFile)->isChecked() && !checkNumber(backupInterval_, kMaxBackupInterval, kBackupIntervalError)) return;
  QDialog::accept();
}

void OptionsDialog::done(int result) {
  if (settings_.on(Switch::FadeWindow)) FadeOut(*this);
  QDialog::done(result);
}

void OptionsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (settings_.on(Switch::FadeWindow)) FadeIn(*this);
}

}  // namespace qf
