#include "cli/quickgpsfix_command.h"

#include <cstdio>

#include "cli/cli_user_port.h"
#include "core/app_settings.h"
#include "core/private_folder.h"
#include "core/settings_location.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "device/ephemeris.h"

namespace qf {

namespace {

int Fail(CliUserPort& port, int messageId) {
  port.showMessage(static_cast<MessageId>(messageId), Severity::Warning, LoadString(messageId));
  return 1;
}

}  // namespace

int QuickGpsFix(const CliRequest& request) {
  const std::filesystem::path drive = request.files[0];
  if (request.chip && *request.chip != "global" && *request.chip != "sirf") {
    return UsageError("--chip takes global or sirf");
  }
  CliUserPort port;
  const std::optional<EphemerisChip> chip =
      !request.chip              ? ChipOn(drive)
      : *request.chip == "global" ? EphemerisChip::GlobalLocate
                                  : EphemerisChip::SirfStar;
  if (!chip) return Fail(port, kCannotRecognizeChip);
  const std::string host = request.ephemerisHost.value_or(
      ReadSettingsFile(SettingsPath(request.executable, request.settingsPath)).settings.services.ephemerisHost);

  PrivateFolder temporary;
  std::error_code error;
  const std::filesystem::path folder = temporary.get(error);
  if (folder.empty()) return Fail(port, kCannotSaveEphemeris);
  const std::filesystem::path cabinet = folder / Utf16ToUtf8(LoadString(kEphemerisCabinet));
  CliUserPort::stopOnInterrupt();
  std::uint64_t received = 0;
  const int downloaded = DownloadEphemeris(
      EphemerisUrl(host, *chip), cabinet,
      [&](std::uint64_t count) {
        received = count;
        port.status(DownloadingText(count));
      },
      [&port] { return port.cancelRequested(); });
  port.finishProgress();
  if (received > 0) std::fprintf(stderr, "%s\n", CliMessage(DownloadingText(received)).c_str());
  if (downloaded != 0) return Fail(port, downloaded);

  const std::filesystem::path target = EphemerisFolder(drive);
  const int expanded = ExpandEphemeris(cabinet, target, *chip);
  if (expanded != 0) return Fail(port, expanded);
  if (const int stamped = StampEphemeris(target, *chip); stamped != 0) return Fail(port, stamped);
  std::printf("%s\n", Utf16ToUtf8(LoadString(kUpdatedEphemeris)).c_str());
  return 0;
}

}  // namespace qf
