#include "device/ui/save_device_dialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QPushButton>

#include "device/device_save_rules.h"

namespace qf {

using namespace Qt::StringLiterals;

SaveDeviceDialog::SaveDeviceDialog(const std::filesystem::path& document, QWidget* parent) : QDialog(parent) {
  setWindowTitle(u"Save GPS Device"_s);
  static const QString kCaptions[kDeviceFileKinds] = {u"&ov2"_s, u"&bmp"_s, u"o&gg"_s, u"&rpf"_s, u"&vif"_s};
  const DeviceFileMask beside = CompanionsBeside(document) | MaskOf(DeviceFileKind::Ov2);
  auto* boxes = new QHBoxLayout;
  for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) {
    auto* box = new QCheckBox(kCaptions[kind], this);
    box->setEnabled((beside & MaskOf(static_cast<DeviceFileKind>(kind))) != 0);
    box->setChecked(kind == 0);
    boxes->addWidget(box);
    boxes_[kind] = box;
  }
  ok_ = new QPushButton(u"OK"_s, this);
  ok_->setDefault(true);
  auto* cancel = new QPushButton(u"Cancel"_s, this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(boxes);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  for (QCheckBox* box : boxes_) {
    connect(box, &QCheckBox::toggled, this, [this] { ok_->setEnabled(mask() != 0); });
  }
}

DeviceFileMask SaveDeviceDialog::mask() const {
  DeviceFileMask mask = 0;
  for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) {
    if (boxes_[kind]->isEnabled() && boxes_[kind]->isChecked()) mask |= MaskOf(static_cast<DeviceFileKind>(kind));
  }
  return mask;
}

}  // namespace qf
