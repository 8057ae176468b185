#pragma once

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "core/private_folder.h"
#include "device/ephemeris.h"
#include "device/mounted_volumes.h"
#include "shell/ui/dialog_fading.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSocketNotifier;

namespace qf {

class MainWindow;

// QuickGPSfix: shows the busy bar of the status bar while the dialog runs.
void RunQuickGpsFix(MainWindow& window);

// "QuickGPSfix": finds the navigation device's drive and GPS chip, downloads the chip's ephemeris
// and expands it into the drive's "ephem" folder. The work is a small machine of states stepped by
// a timer; the download runs on a thread of its own, so the window keeps painting and Esc is heard.
class QuickGpsFixDialog : public Fading<QDialog> {
  Q_OBJECT

 public:
  // `busyBar`: the bar that runs while the dialog works (none in some tests).
  QuickGpsFixDialog(std::string ephemerisHost, VolumeSources volumes, bool fade, QProgressBar* busyBar,
                    QWidget* parent);
  ~QuickGpsFixDialog() override;

  // Where the downloaded cabinet goes while the dialog is open.
  std::filesystem::path cabinet();

 public slots:
  // A volume came or went: the drive list anew, and a failed step tried again.
  void drivesChanged();
  void reject() override;

 private:
  enum State : std::uint32_t { kRecognise = 0, kUserChoice = 1, kDownload = 2, kExpand = 3, kStamp = 4 };
  static constexpr std::uint32_t kFailed = 0x80000000u;
  struct Download;

  void fillDrives();
  void showFolderOfDrive();
  void setBusy(bool busy);
  void tick();
  void recognise();
  void takeChoice();
  void download();
  void expand();
  void stamp();
  void fail(int messageId);
  void showStatus(const QString& text);
  void retry();
  void save();
  // Stops a download under way and waits for its thread.
  void stopDownload();

  std::string host_;
  VolumeSources volumes_;
  QProgressBar* busyBar_;
  PrivateFolder temporary_;
  std::uint32_t state_ = kRecognise;
  EphemerisChip chip_ = EphemerisChip::GlobalLocate;
  std::filesystem::path targetFolder_;
  std::unique_ptr<Download> download_;
  QTimer timer_;
  QSocketNotifier* mountWatch_ = nullptr;
  int mountTable_ = -1;
  QLabel* status_;
  QGroupBox* chipGroup_;
  QRadioButton* globalLocate_;
  QRadioButton* sirfStar_;
  QGroupBox* driveGroup_;
  QComboBox* drives_;
  QLineEdit* folder_;
  QPushButton* save_;
  QPushButton* retry_;
  QPushButton* cancel_;
};

}  // namespace qf
