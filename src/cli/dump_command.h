#pragma once

#include "cli/cli_commands.h"
#include "cli/cli_user_port.h"
#include "device/device_client.h"

namespace qf {

// "device dump DIR": the device's screenshots into DIR, scaled, turned and encoded as the options say.
int RunDumpCommand(const CliRequest& request, CliUserPort& port, DeviceClient& client);

}  // namespace qf
