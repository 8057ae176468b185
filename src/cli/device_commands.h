#pragma once

#include "cli/cli_commands.h"

namespace qf {

// "device list|get|put|delete …": the device's POI files over its web server.
int RunDeviceCommand(const CliRequest& request);

}  // namespace qf
