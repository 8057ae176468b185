#include "device/ui/quick_gps_fix_dialog.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSocketNotifier>

#include <algorithm>
#include <atomic>
#include <thread>

#include "core/string_table.h"
#include "core/unicode.h"
#include "editing/ui/qt_text.h"
#include "shell/ui/main_window.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

constexpr int kTickMilliseconds = 500;

QString PathText(const fs::path& path) { return QFile::decodeName(path.c_str()); }

fs::path TextPath(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

void RunQuickGpsFix(MainWindow& window) {
  QProgressBar& bar = window.progressBar();
  bar.setRange(0, 0);
  window.showStatus(UiText(kUpdatingEphemerisEsc), false);
  {
    QuickGpsFixDialog dialog(window.settings().services.ephemerisHost, VolumeSources(),
                             window.settings().on(Switch::FadeWindow), &bar, &window);
    dialog.setWindowIcon(window.action(CommandId::QuickGpsFix)->icon());
    dialog.exec();
  }
  bar.hide();
  bar.setRange(0, 100);
  window.showStatus(UiText(kReady), true);
}

// The download's thread and what it shares with the dialog.
struct QuickGpsFixDialog::Download {
  std::atomic<std::uint64_t> bytes = 0;
  std::atomic<bool> stop = false;
  std::atomic<bool> done = false;
  int result = 0;  // read once `done`
  std::thread thread;
};

QuickGpsFixDialog::QuickGpsFixDialog(std::string ephemerisHost, VolumeSources volumes, bool fade,
                                     QProgressBar* busyBar, QWidget* parent)
    : Fading<QDialog>(fade, parent), host_(std::move(ephemerisHost)), volumes_(std::move(volumes)), busyBar_(busyBar) {
  setWindowTitle(u"QuickGPSfix"_s);
  status_ = new QLabel(this);
  status_->setObjectName(u"status"_s);
  status_->setMinimumWidth(320);
  auto* statusGroup = new QGroupBox(u"Status"_s, this);
  (new QVBoxLayout(statusGroup))->addWidget(status_);

  chipGroup_ = new QGroupBox(u"Chip"_s, this);
  globalLocate_ = new QRadioButton(u"&Global Locate"_s, chipGroup_);
  sirfStar_ = new QRadioButton(u"&SiRF Star"_s, chipGroup_);
  globalLocate_->setObjectName(u"globalLocate"_s);
  sirfStar_->setObjectName(u"sirfStar"_s);
  auto* chips = new QHBoxLayout(chipGroup_);
  chips->addWidget(globalLocate_);
  chips->addWidget(sirfStar_);

  driveGroup_ = new QGroupBox(u"Save &to"_s, this);
  drives_ = new QComboBox(driveGroup_);
  folder_ = new QLineEdit(driveGroup_);
  drives_->setObjectName(u"drives"_s);
  folder_->setObjectName(u"folder"_s);
  auto* target = new QHBoxLayout(driveGroup_);
  target->addWidget(drives_);
  target->addWidget(folder_, 1);
  connect(drives_, &QComboBox::activated, this, &QuickGpsFixDialog::showFolderOfDrive);

  save_ = new QPushButton(u"Save"_s, this);
  retry_ = new QPushButton(u"Retry"_s, this);
  cancel_ = new QPushButton(u"Cancel"_s, this);
  save_->setObjectName(u"save"_s);
  retry_->setObjectName(u"retry"_s);
  cancel_->setObjectName(u"cancel"_s);
  for (QPushButton* button : {save_, retry_, cancel_}) button->setAutoDefault(false);
  connect(save_, &QPushButton::clicked, this, &QuickGpsFixDialog::save);
  connect(retry_, &QPushButton::clicked, this, &QuickGpsFixDialog::retry);
  connect(cancel_, &QPushButton::clicked, this, &QuickGpsFixDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save_);
  buttons->addWidget(retry_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(statusGroup);
  layout->addWidget(chipGroup_);
  layout->addWidget(driveGroup_);
  layout->addLayout(buttons);

  // The kernel marks the mount table as changed to anyone who waits on it for urgent data.
  mountTable_ = ::open(volumes_.mountTable.c_str(), O_RDONLY | O_CLOEXEC);
  if (mountTable_ >= 0) {
    mountWatch_ = new QSocketNotifier(mountTable_, QSocketNotifier::Exception, this);
    connect(mountWatch_, &QSocketNotifier::activated, this, &QuickGpsFixDialog::drivesChanged);
  }
  timer_.setInterval(kTickMilliseconds);
  connect(&timer_, &QTimer::timeout, this, &QuickGpsFixDialog::tick);

  globalLocate_->setChecked(true);
  fillDrives();
  showFolderOfDrive();
  setBusy(true);
}

QuickGpsFixDialog::~QuickGpsFixDialog() {
  stopDownload();
  delete mountWatch_;
  if (mountTable_ >= 0) ::close(mountTable_);
}

fs::path QuickGpsFixDialog::cabinet() {
  std::error_code error;
  const fs::path folder = temporary_.get(error);
  return folder.empty() ? fs::path() : folder / Utf16ToUtf8(LoadString(kEphemerisCabinet));
}

void QuickGpsFixDialog::fillDrives() {
  const QString chosen = drives_->currentText();
  drives_->clear();
  for (const MountedVolume& volume : MountedVolumes(volumes_)) drives_->addItem(PathText(volume.root));
  drives_->setCurrentIndex(std::max(0, drives_->findText(chosen)));
}

void QuickGpsFixDialog::showFolderOfDrive() {
  if (drives_->count() > 0) folder_->setText(PathText(EphemerisFolder(TextPath(drives_->currentText()))));
}

void QuickGpsFixDialog::setBusy(bool busy) {
  busy ? timer_.start() : timer_.stop();
  if (busyBar_ != nullptr) busyBar_->setVisible(busy);
  for (QWidget* control : {static_cast<QWidget*>(chipGroup_), static_cast<QWidget*>(retry_),
                           static_cast<QWidget*>(cancel_)}) {
    control->setEnabled(!busy);
  }
  const bool drives = !busy && drives_->count() > 0;
  driveGroup_->setEnabled(drives);
  save_->setEnabled(drives);
  if (!busy) activateWindow();
}

void QuickGpsFixDialog::tick() {
  switch (state_) {
    case kRecognise:
      return recognise();
    case kUserChoice:
      return takeChoice();
    case kDownload:
      return download();
    case kExpand:
      return expand();
    case kStamp:
      return stamp();
    default:
      return;
  }
}

void QuickGpsFixDialog::recognise() {
  showStatus(UiText(kRecognizingChip));
  const std::optional<FoundChip> found = RecogniseChip(MountedVolumes(volumes_));
  if (!found) return fail(kCannotRecognizeChip);
  chip_ = found->chip;
  (chip_ == EphemerisChip::GlobalLocate ? globalLocate_ : sirfStar_)->setChecked(true);
  targetFolder_ = EphemerisFolder(found->root);
  drives_->setCurrentIndex(drives_->findText(PathText(found->root)));
  folder_->setText(PathText(targetFolder_));
  state_ = kDownload;
}

void QuickGpsFixDialog::takeChoice() {
  targetFolder_ = TextPath(folder_->text());
  chip_ = globalLocate_->isChecked() ? EphemerisChip::GlobalLocate : EphemerisChip::SirfStar;
  state_ = kDownload;
}

void QuickGpsFixDialog::download() {
  if (!download_) {
    showStatus(UiText(kConnectingHome));
    const fs::path file = cabinet();
    if (file.empty()) return fail(kCannotSaveEphemeris);
    download_ = std::make_unique<Download>();
    Download& d = *download_;
    d.thread = std::thread([&d, url = EphemerisUrl(host_, chip_), file] {
      d.result = DownloadEphemeris(
          url, file, [&d](std::uint64_t count) { d.bytes = count; }, [&d] { return d.stop.load(); });
      d.done = true;
    });
    return;
  }
  if (download_->bytes > 0) {
    showStatus(ToQString(DownloadingText(download_->bytes)));
  }
  if (!download_->done) return;
  download_->thread.join();
  const int result = download_->result;
  download_.reset();
  if (result != 0) return fail(result);
  state_ = kExpand;
}

void QuickGpsFixDialog::expand() {
  showStatus(UiText(kUpdatingEphemeris));
  if (const int result = ExpandEphemeris(cabinet(), targetFolder_, chip_); result != 0) return fail(result);
  state_ = kStamp;
}

void QuickGpsFixDialog::stamp() {
  if (StampEphemeris(targetFolder_, chip_) != 0) {
    state_ = kExpand;  // a retry expands again
    return fail(kCannotUpdateEphemeris);
  }
  showStatus(UiText(kUpdatedEphemeris));
  timer_.stop();
  if (busyBar_ != nullptr) busyBar_->hide();
  cancel_->setText(UiText(kCloseButton));
  cancel_->setEnabled(true);
  cancel_->setFocus();
}

void QuickGpsFixDialog::fail(int messageId) {
  // The write failure's text is shown as it stands: there is no file name the user could act on.
  showStatus(UiText(messageId));
  setBusy(false);
  state_ |= kFailed;
}

void QuickGpsFixDialog::showStatus(const QString& text) { status_->setText(text); }

void QuickGpsFixDialog::retry() {
  setBusy(true);
  state_ &= ~kFailed;
}

void QuickGpsFixDialog::save() {
  setBusy(true);
  state_ = kUserChoice;
}

void QuickGpsFixDialog::drivesChanged() {
  fillDrives();
  if (folder_->text().isEmpty()) showFolderOfDrive();
  if (retry_->isEnabled()) retry();
}

void QuickGpsFixDialog::stopDownload() {
  if (!download_) return;
  download_->stop = true;
  download_->thread.join();
  download_.reset();
}

// Cancel, Close, Esc (which during the download stops it) and the window's close button: the
// download stops, and no cabinet is left behind.
void QuickGpsFixDialog::reject() {
  timer_.stop();
  stopDownload();
  std::error_code ignored;
  if (const fs::path file = cabinet(); !file.empty()) fs::remove(file, ignored);
  Fading<QDialog>::reject();
}

}  // namespace qf
