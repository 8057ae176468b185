#pragma once

#include <QDialog>

#include <array>
#include <filesystem>

#include "device/device_client.h"

class QCheckBox;
class QPushButton;

namespace qf {

// "Save GPS Device": which of the document's files go to the device. The ov2 file always may; a
// companion file (bmp, ogg, rpf, vif) only when it lies beside the document.
class SaveDeviceDialog : public QDialog {
  Q_OBJECT

 public:
  SaveDeviceDialog(const std::filesystem::path& document, QWidget* parent);

  // The enabled boxes that are ticked.
  DeviceFileMask mask() const;
  QCheckBox* box(DeviceFileKind kind) const { return boxes_[static_cast<std::size_t>(kind)]; }
  QPushButton* okButton() const { return ok_; }

 private:
  std::array<QCheckBox*, kDeviceFileKinds> boxes_{};
  QPushButton* ok_;
};

}  // namespace qf
