#pragma once

#include <QDialog>

#include <array>

#include "core/app_settings.h"
#include "core/poi_document.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace qf {

// The "Options" dialog: the 24 option switches, the recent-file count, the auto-save interval and
// the map language. It edits a copy; the window compares result() with its settings after OK.
class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // `kind` is the open document's: a phonebook has no Distance column to offer.
  OptionsDialog(const AppSettings& settings, DocumentKind kind, QWidget* parent);

  // The edited settings; the count and the interval keep their old values while their list or
  // saving is off.
  AppSettings editedSettings() const;

  void accept() override;
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QCheckBox* box(Switch option) const { return boxes_[static_cast<std::size_t>(option)]; }
  // Keeps `field` holding a number in 1..maximum; otherwise says so with `messageId` and hands the
  // field to the user again.
  bool checkNumber(QSpinBox* field, int maximum, int messageId);

  AppSettings settings_;
  std::array<QCheckBox*, kSwitchCount> boxes_{};
  QSpinBox* fileCount_ = nullptr;
  QSpinBox* backupInterval_ = nullptr;
  QComboBox* language_ = nullptr;
};

}  // namespace qf
