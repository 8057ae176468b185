#pragma once

#include "cli/cli_commands.h"

namespace qf {

// quickgpsfix DRIVE [--chip global|sirf] [--ephemeris-host URL]: downloads the chip's ephemeris
// into the drive's "ephem" folder; without --chip the chip is told by the data file there.
int QuickGpsFix(const CliRequest& request);

}  // namespace qf
