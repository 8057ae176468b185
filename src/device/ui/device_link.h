#pragma once

#include "shell/ui/device_services.h"

namespace qf {

class MainWindow;

// The device layer as the window sees it: the device's presence and the device commands.
class DeviceLink : public DeviceServices {
 public:
  explicit DeviceLink(MainWindow& window);

  bool devicePresent() const override;
  bool offersScreenshots() const override;
  void run(CommandId command) override;

 private:
  MainWindow& window_;
};

}  // namespace qf
