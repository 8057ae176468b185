#pragma once

#include <QDialog>
#include <QImage>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "device/device_file_list.h"

class QPushButton;
class QTreeView;

namespace qf {

class DeviceFileModel;

// "Open GPS Device": the POI files on the device, one to open, delete, or the list read again.
// The dialog ends with Accepted (open the chosen file), Rejected, or one of the outcomes below.
class OpenDeviceDialog : public QDialog {
  Q_OBJECT

 public:
  enum Outcome { Delete = 5054, Refresh = 5056 };
  // The icon of a file: the device's bmp of its name, or a null image when it has none that loads.
  using IconSource = std::function<QImage(const std::u16string& name)>;

  OpenDeviceDialog(const DeviceListing& listing, const IconSource& icons, const OpenDeviceSettings& size,
                   QWidget* parent);
  ~OpenDeviceDialog() override;

  // The name of the selected file; empty when none is.
  std::u16string chosenName() const;
  OpenDeviceSettings chosenSize() const;
  QTreeView* list() const { return list_; }

 private:
  void sortBy(int column);
  void updateButtons();
  void askDelete();
  const DeviceFileRow* selectedRow() const;

  DeviceFileModel* model_;
  QTreeView* list_;
  QPushButton* ok_;
  QPushButton* delete_;
  int sortColumn_ = -1;
  bool ascending_ = true;
};

}  // namespace qf
