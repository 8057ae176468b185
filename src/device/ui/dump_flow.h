#pragma once

#include <functional>

#include "device/device_client.h"

namespace qf {

class MainWindow;

// Tells the other running editors whether the device may be used (false while this one deletes).
using PresenceAnnouncer = std::function<void(bool present)>;

// Dump Device over the window: the screenshot listing, the dialog with its Delete All and Refresh,
// then the dump with its status line, Esc and closing message. `kind` is the screenshot interface
// the device offers; with None the device is asked which it has.
void RunDumpDevice(MainWindow& window, ScreenshotKind kind, const PresenceAnnouncer& announce = {});

}  // namespace qf
