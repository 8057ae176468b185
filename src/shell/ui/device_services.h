#pragma once

#include "shell/command_state.h"

namespace qf {

// What the window asks of the device layer. That layer sits above the window's and is plugged in
// when the program starts, so the window knows the device only through this.
class DeviceServices {
 public:
  virtual ~DeviceServices() = default;
  // Whether the navigation device answers, and whether it offers screenshots.
  virtual bool devicePresent() const = 0;
  virtual bool offersScreenshots() const = 0;
  // Open Device, Dump Device, Save Device and QuickGPSfix.
  virtual void run(CommandId command) = 0;
};

}  // namespace qf
