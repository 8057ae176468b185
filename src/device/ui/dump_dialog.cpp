#include "device/ui/dump_dialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>

#include <system_error>

#include "editing/ui/qt_text.h"
#include "shell/ui/folder_dialog.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxDestination = 260;
constexpr int kLargestSize = 9999;  // four digits
constexpr int kOkCheckDelay = 100;  // ms after a change

QSpinBox* SizeBox(QWidget* parent, const char* name) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0, kLargestSize);  // any number of four digits: the range of the unit is checked on OK
  box->setAccelerated(true);
  return box;
}

fs::path ToPath(const QString& text) { return fs::path(text.toStdString()); }

}  // namespace

DumpDialog::DumpDialog(ScreenshotKind kind, std::vector<Screenshot> screenshots, ImageSize source,
                       const DumpSettings& settings, QWidget* parent)
    : QDialog(parent), kind_(kind), screenshots_(std::move(screenshots)), source_(source) {
  setWindowTitle(u"Dump GPS Device"_s);
  buildControls();
  fillList();

  const bool any = !screenshots_.empty();
  const bool bmpDumps = kind_ == ScreenshotKind::Dumps;
  appendTimestamp_->setEnabled(!bmpDumps);
  appendTimestamp_->setChecked(settings.appendTimestamp);
  deleteAll_->setEnabled(bmpDumps && any);
  selectAll_->setEnabled(any);
  destination_->setText(QString::fromStdString(settings.destination.string()));
  showSize(settings);
  rotation_->setCurrentIndex(settings.quarterTurns);
  format_->setCurrentIndex(static_cast<int>(settings.format));

  okCheck_.setSingleShot(true);
  okCheck_.setInterval(kOkCheckDelay);
  connect(&okCheck_, &QTimer::timeout, this, [this] {
    ok_->setEnabled(!destination_->text().trimmed().isEmpty() && !list_->selectedItems().isEmpty());
  });
  connect(destination_, &QLineEdit::textChanged, &okCheck_, qOverload<>(&QTimer::start));
  connect(list_, &QTreeWidget::itemSelectionChanged, &okCheck_, qOverload<>(&QTimer::start));
  ok_->setEnabled(false);
  okCheck_.start();
}

void DumpDialog::buildControls() {
  list_ = new QTreeWidget(this);
  list_->setObjectName(u"list"_s);
  list_->setHeaderLabels({UiText(kDeviceNameColumn), UiText(kDeviceDateColumn)});
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  appendTimestamp_ = new QCheckBox(u"&Append timestamp to Name"_s, this);
  appendTimestamp_->setObjectName(u"appendTimestamp"_s);
  selectAll_ = new QPushButton(u"Select All"_s, this);
  deleteAll_ = new QPushButton(u"Delete All"_s, this);
  refresh_ = new QPushButton(u"Refresh"_s, this);
  destination_ = new QLineEdit(this);
  destination_->setObjectName(u"destination"_s);
  destination_->setMaxLength(kMaxDestination);
  browse_ = new QPushButton(u"..."_s, this);
  specifySize_ = new QCheckBox(u"Spec&ify size"_s, this);
  specifySize_->setObjectName(u"specifySize"_s);
  width_ = SizeBox(this, "width");
  height_ = SizeBox(this, "height");
  pixels_ = new QRadioButton(u"&Pixels"_s, this);
  pixels_->setObjectName(u"pixels"_s);
  percent_ = new QRadioButton(u"P&ercent"_s, this);
  percent_->setObjectName(u"percent"_s);
  keepRatio_ = new QCheckBox(u"&keep aspect ratio"_s, this);
  keepRatio_->setObjectName(u"keepRatio"_s);
  target_ = new QLabel(this);
  target_->setObjectName(u"target"_s);
  rotation_ = new QComboBox(this);
  rotation_->setObjectName(u"rotation"_s);
  rotation_->addItems({u"0"_s, u"90"_s, u"180"_s, u"270"_s});
  format_ = new QComboBox(this);
  format_->setObjectName(u"format"_s);
  for (int i = 0; i < kImageFormatCount; ++i) format_->addItem(UiText(InfoOf(static_cast<ImageFormat>(i)).caption));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);

  auto* listButtons = new QVBoxLayout;
  listButtons->addWidget(selectAll_);
  listButtons->addWidget(deleteAll_);
  listButtons->addWidget(refresh_);
  listButtons->addStretch();
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(list_, 1);
  listRow->addLayout(listButtons);

  auto* destinationRow = new QHBoxLayout;
  destinationRow->addWidget(destination_, 1);
  destinationRow->addWidget(browse_);

  auto* size = new QGridLayout;
  auto* widthLabel = new QLabel(u"&Width:"_s, this);
  widthLabel->setBuddy(width_);
  auto* heightLabel = new QLabel(u"&Height:"_s, this);
  heightLabel->setBuddy(height_);
  size->addWidget(specifySize_, 0, 0, 1, 4);
  size->addWidget(widthLabel, 1, 0);
  size->addWidget(width_, 1, 1);
  size->addWidget(pixels_, 1, 2);
  size->addWidget(keepRatio_, 1, 3);
  size->addWidget(heightLabel, 2, 0);
  size->addWidget(height_, 2, 1);
  size->addWidget(percent_, 2, 2);
  size->addWidget(new QLabel(u"Transform to:"_s, this), 3, 0);
  size->addWidget(target_, 3, 1, 1, 3);

  auto* imageRow = new QHBoxLayout;
  imageRow->addWidget(new QLabel(u"Rotate:"_s, this));
  imageRow->addWidget(rotation_);
  imageRow->addSpacing(16);
  imageRow->addWidget(new QLabel(u"Format:"_s, this));
  imageRow->addWidget(format_);
  imageRow->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(listRow, 1);
  layout->addWidget(appendTimestamp_);
  layout->addWidget(new QLabel(u"Destination:"_s, this));
  layout->addLayout(destinationRow);
  layout->addLayout(size);
  layout->addLayout(imageRow);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &DumpDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &DumpDialog::reject);
  connect(selectAll_, &QPushButton::clicked, list_, &QTreeWidget::selectAll);
  connect(deleteAll_, &QPushButton::clicked, this, &DumpDialog::askDeleteAll);
  connect(refresh_, &QPushButton::clicked, this, [this] { done(Refresh); });
  connect(browse_, &QPushButton::clicked, this, &DumpDialog::browse);
  connect(destination_, &QLineEdit::editingFinished, this, &DumpDialog::trimDestination);
  connect(specifySize_, &QCheckBox::toggled, this, [this](bool on) {
    setSizeEnabled(on);
    if (!on) resetSize();
  });
  connect(width_, &QSpinBox::valueChanged, this, [this] { follow(width_); });
  connect(height_, &QSpinBox::valueChanged, this, [this] { follow(height_); });
  connect(pixels_, &QRadioButton::toggled, this, &DumpDialog::switchUnit);
  connect(keepRatio_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) follow(width_);
  });
}

void DumpDialog::fillList() {
  for (const Screenshot& screenshot : screenshots_) {
    new QTreeWidgetItem(list_, {ToQString(screenshot.name), ToQString(screenshot.date)});
  }
  list_->resizeColumnToContents(0);
  list_->resizeColumnToContents(1);
  if (list_->topLevelItemCount() > 0) list_->scrollToItem(list_->topLevelItem(list_->topLevelItemCount() - 1));
}

void DumpDialog::showSize(const DumpSettings& settings) {
  specifySize_->setChecked(settings.specifySize);
  setSizeEnabled(settings.specifySize);
  if (!settings.specifySize) {
    resetSize();
    return;
  }
  following_ = true;
  pixelsShown_ = settings.pixels;
  (settings.pixels ? pixels_ : percent_)->setChecked(true);
  width_->setValue(settings.width);
  height_->setValue(settings.height);
  following_ = false;
  keepRatio_->setChecked(settings.keepRatio);  // the height follows the width
  showTarget();
}

void DumpDialog::resetSize() {
  following_ = true;
  pixelsShown_ = true;
  pixels_->setChecked(true);
  width_->setValue(source_.width);
  height_->setValue(source_.height);
  keepRatio_->setChecked(false);
  following_ = false;
  showTarget();
}

void DumpDialog::setSizeEnabled(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{width_, height_, pixels_, percent_, keepRatio_}) {
    control->setEnabled(enabled);
  }
}

void DumpDialog::follow(QSpinBox* typed) {
  if (following_) return;
  if (keepRatio_->isChecked()) {
    following_ = true;
    const bool fromWidth = typed == width_;
    QSpinBox* other = fromWidth ? height_ : width_;
    if (!pixelsShown_) {
      other->setValue(typed->value());
    } else if (fromWidth) {
      other->setValue(KeptRatioSide(typed->value(), source_.width, source_.height));
    } else {
      other->setValue(KeptRatioSide(typed->value(), source_.height, source_.width));
    }
    following_ = false;
  }
  showTarget();
}

void DumpDialog::switchUnit(bool pixels) {
  if (following_ || pixels == pixelsShown_) return;
  following_ = true;
  pixelsShown_ = pixels;
  if (pixels) {
    width_->setValue(PercentToPixels(width_->value(), source_.width));
    height_->setValue(PercentToPixels(height_->value(), source_.height));
  } else {
    width_->setValue(PixelsToPercent(width_->value(), source_.width));
    height_->setValue(PixelsToPercent(height_->value(), source_.height));
  }
  following_ = false;
  follow(width_);
}

ImageSize DumpDialog::shownSize() const { return {width_->value(), height_->value()}; }

void DumpDialog::showTarget() {
  const ImageSize size = PixelSize(shownSize(), pixelsShown_, source_);
  target_->setText(ToQString(FormatMessage(kTargetSize, size.width, size.height)));
}

void DumpDialog::trimDestination() {
  const QString trimmed = destination_->text().trimmed();
  if (trimmed != destination_->text()) destination_->setText(trimmed);
}

void DumpDialog::browse() {
  FolderDialog dialog(UiText(kDestinationCaption), UiText(kDestinationPosition), this);
  dialog.resize(420, 360);
  const fs::path current = ToPath(destination_->text().trimmed());
  std::error_code error;
  if (!current.empty() && fs::is_directory(current, error)) dialog.selectFolder(current);
  if (dialog.exec() != QDialog::Accepted || !dialog.folder()) return;
  destination_->setText(QString::fromStdString(dialog.folder()->string()));
}

void DumpDialog::askDeleteAll() {
  if (QMessageBox::question(this, UiText(kProgramTitle), UiText(kDeleteAllFiles), QMessageBox::Ok | QMessageBox::Cancel,
                            QMessageBox::Cancel) == QMessageBox::Ok) {
    done(DeleteAll);
  }
}

bool DumpDialog::checkDestination() {
  const fs::path folder = ToPath(destination_->text().trimmed());
  std::error_code error;
  if (fs::is_directory(folder, error)) return true;
  if (QMessageBox::question(this, UiText(kProgramTitle), UiText(kCreateDestination),
                            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok) {
    fs::create_directories(folder, error);
    if (fs::is_directory(folder, error)) return true;
    QMessageBox::warning(this, UiText(kProgramTitle), UiText(kCannotCreateDestination));
  }
  destination_->setFocus();
  return false;
}

bool DumpDialog::checkSize(QSpinBox* side) {
  const SizeRange range = RangeOf(pixelsShown_);
  if (range.holds(side->value())) return true;
  const int id = pixelsShown_ ? kPixelRange : kPercentRange;
  QMessageBox::warning(this, UiText(kProgramTitle), ToQString(FormatMessage(id, range.low, range.high)));
  side->setFocus();
  side->selectAll();
  return false;
}

void DumpDialog::accept() {
  if (!checkDestination()) return;
  // Sizes that are not asked for need no checking: they are the source's.
  if (specifySize_->isChecked() && !(checkSize(width_) && checkSize(height_))) return;
  trimDestination();
  QDialog::accept();
}

DumpSettings DumpDialog::settings() const {
  return {.destination = ToPath(destination_->text().trimmed()),
          .appendTimestamp = appendTimestamp_->isChecked(),
          .specifySize = specifySize_->isChecked(),
          .pixels = pixelsShown_,
          .width = width_->value(),
          .height = height_->value(),
          .keepRatio = keepRatio_->isChecked(),
          .quarterTurns = rotation_->currentIndex(),
          .format = static_cast<ImageFormat>(format_->currentIndex())};
}

DumpRequest DumpDialog::request() const {
  const DumpSettings chosen = settings();
  DumpRequest request{.destination = chosen.destination,
                      .kind = kind_,
                      .appendTimestamp = chosen.appendTimestamp,
                      .target = chosen.specifySize ? TargetSize(shownSize(), pixelsShown_, source_) : std::nullopt,
                      .quarterTurns = chosen.quarterTurns,
                      .format = chosen.format,
                      .screenshots = {}};
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    if (list_->topLevelItem(row)->isSelected()) request.screenshots.push_back(screenshots_[static_cast<std::size_t>(row)]);
  }
  return request;
}

}  // namespace qf
