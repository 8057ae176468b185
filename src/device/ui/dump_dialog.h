#pragma once

#include <QDialog>
#include <QTimer>

#include <vector>

#include "device/dump_settings.h"
#include "device/screenshot_dump.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTreeWidget;

namespace qf {

// "Dump GPS Device": which screenshots go where, at what size, turned how and in which format.
// It ends with Accepted (dump), DeleteAll, Refresh or Rejected.
class DumpDialog : public QDialog {
  Q_OBJECT

 public:
  enum Result { DeleteAll = 5055, Refresh = 5056 };

  DumpDialog(ScreenshotKind kind, std::vector<Screenshot> screenshots, ImageSize source, const DumpSettings& settings,
             QWidget* parent);

  // After OK: the choices to keep, and the dump they ask for.
  DumpSettings settings() const;
  DumpRequest request() const;

  void accept() override;

 private:
  void buildControls();
  void fillList();
  // The size controls as the settings say, or off and showing the source size.
  void showSize(const DumpSettings& settings);
  void resetSize();
  void setSizeEnabled(bool enabled);
  // With keep aspect ratio, the side not typed follows the one typed.
  void follow(QSpinBox* typed);
  void switchUnit(bool pixels);
  ImageSize shownSize() const;
  void showTarget();
  void trimDestination();
  void browse();
  void askDeleteAll();
  bool checkDestination();
  bool checkSize(QSpinBox* side);

  ScreenshotKind kind_;
  std::vector<Screenshot> screenshots_;
  ImageSize source_;
  bool pixelsShown_ = true;  // the unit the numbers shown are in
  bool following_ = false;   // one side is being set from the other
  QTimer okCheck_;

  QTreeWidget* list_;
  QCheckBox* appendTimestamp_;
  QPushButton* selectAll_;
  QPushButton* deleteAll_;
  QPushButton* refresh_;
  QLineEdit* destination_;
  QPushButton* browse_;
  QCheckBox* specifySize_;
  QSpinBox* width_;
  QSpinBox* height_;
  QRadioButton* pixels_;
  QRadioButton* percent_;
  QCheckBox* keepRatio_;
  QLabel* target_;
  QComboBox* rotation_;
  QComboBox* format_;
  QPushButton* ok_;
};

}  // namespace qf
