#include "cli/device_commands.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <system_error>

#include "cli/cli_user_port.h"
#include "cli/dump_command.h"
#include "core/app_settings.h"
#include "core/private_folder.h"
#include "core/settings_location.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "device/device_client.h"
#include "formats/file_format.h"
#include "formats/file_pipeline.h"
#include "formats/format_table.h"

namespace qf {

namespace {

namespace fs = std::filesystem;

// The device's address: --device-url, else the "Device Address" setting; a scheme or a trailing
// slash given with it is dropped.
std::string DeviceAddress(const CliRequest& request) {
  std::string address = request.deviceUrl.value_or("");
  if (address.empty()) {
    const StartSettings start = ReadSettingsFile(SettingsPath(request.executable, request.settingsPath));
    address = start.settings.services.deviceAddress;
  }
  if (address.starts_with("http://")) address.erase(0, 7);
  while (address.ends_with('/')) address.pop_back();
  return address;
}

// Prints the message of a failed device operation; the exit status 1.
int Failed(CliUserPort& port, int result) {
  port.showMessage(static_cast<MessageId>(result), Severity::Warning, LoadString(result));
  return 1;
}

// A device's text as a terminal line may show it: control characters, which could steer the
// terminal, become '?'.
std::string Printable(std::u16string_view text) {
  std::string line = Utf16ToUtf8(text);
  std::replace_if(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
  return line;
}

std::optional<DeviceFileKind> KindOfExtension(std::string_view extension) {
  for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) {
    if (extension.size() == 3 && std::equal(extension.begin(), extension.end(), kDeviceExtensions[kind].begin(),
                                            [](char a, char b) { return (a | 0x20) == b; })) {
      return static_cast<DeviceFileKind>(kind);
    }
  }
  return std::nullopt;
}

struct DeviceSession {
  CliUserPort port;
  DeviceClient client;
};

DeviceResult ReadListing(DeviceSession& session, DeviceListing& listing) {
  session.port.status(LoadString(kReadingDeviceList));
  const DeviceResult result = session.client.readPoiListing(listing);
  session.port.finishProgress();
  return result;
}

// One line per POI file, in the page's order: name, date, size and the kinds present.
int List(const CliRequest&, DeviceSession& session) {
  DeviceListing listing;
  if (const DeviceResult result = ReadListing(session, listing); result != 0) return Failed(session.port, result);
  const auto& files = listing.lists[0];
  for (auto entry = files.rbegin(); entry != files.rend(); ++entry) {
    const DeviceEntryCells cells = CellsAfter(listing, entry->after);
    std::string kinds = "ov2";
    for (std::size_t kind = 1; kind < kDeviceFileKinds; ++kind) {
      if (listing.holds(static_cast<DeviceFileKind>(kind), entry->name)) kinds += "," + std::string(kDeviceExtensions[kind]);
    }
    std::printf("%s\t%s\t%s\t%s\n", Printable(entry->name).c_str(), Printable(cells.date).c_str(),
                Printable(cells.size).c_str(), kinds.c_str());
  }
  return 0;
}

// NAME is a POI file's name, or a name with one of the five extensions for that file of the name.
int Get(const CliRequest& request, DeviceSession& session) {
  std::u16string name = Utf8ToUtf16(request.files[1]);
  DeviceFileKind kind = DeviceFileKind::Ov2;
  if (const std::size_t dot = request.files[1].rfind('.'); dot != std::string::npos) {
    if (const auto named = KindOfExtension(std::string_view(request.files[1]).substr(dot + 1))) {
      kind = *named;
      name = Utf8ToUtf16(request.files[1].substr(0, dot));
    }
  }
  session.client.setProgress([&](std::uint64_t received) {
    session.port.status(LoadString(kReadingDeviceFiles) + u"  " + Utf8ToUtf16(std::to_string(received >> 10)) + u" KB");
  });
  const DeviceResult result = session.client.downloadPoiFile(name, kind, request.files[2]);
  session.port.finishProgress();
  if (result != 0) return Failed(session.port, result);
  std::printf("Wrote %s\n", request.files[2].c_str());
  return 0;
}

int Delete(const CliRequest& request, DeviceSession& session) {
  DeviceListing listing;
  if (const DeviceResult result = ReadListing(session, listing); result != 0) return Failed(session.port, result);
  const std::u16string name = Utf8ToUtf16(request.files[1]);
  bool held = false;
  for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) held |= listing.holds(static_cast<DeviceFileKind>(kind), name);
  if (!held) {
    std::fprintf(stderr, "quillfern-cli: the device holds no file named %s\n", request.files[1].c_str());
    return 1;
  }
  session.port.status(LoadString(kDeletingDeviceFiles));
  const DeviceResult result = session.client.deletePoiFiles(name, listing);
  session.port.finishProgress();
  return result == 0 ? 0 : Failed(session.port, result);
}

// The kinds of --with (e.g. "bmp,ogg") added to the ov2 file; nothing when one is unknown.
std::optional<DeviceFileMask> MaskWith(const std::optional<std::string>& with) {
  DeviceFileMask mask = MaskOf(DeviceFileKind::Ov2);
  const std::string kinds = with.value_or("");
  std::string_view rest = kinds;
  while (!rest.empty()) {
    const std::size_t comma = std::min(rest.find(','), rest.size());
    const auto kind = KindOfExtension(rest.substr(0, comma));
    if (!kind) return std::nullopt;
    mask |= MaskOf(*kind);
    rest.remove_prefix(std::min(comma + 1, rest.size()));
  }
  return mask;
}

// Writes FILE, read in its own format, as an OV2 file of the same name in `folder`, with links to
// the companion files beside FILE; the OV2 file's path, or nothing when FILE could not be converted.
std::optional<fs::path> ConvertedCopy(const CliRequest& request, CliUserPort& port, const fs::path& file,
                                      const fs::path& folder, DeviceFileMask mask) {
  const StartSettings start = ReadSettingsFile(SettingsPath(request.executable, request.settingsPath));
  PoiDocument document;
  document.display = start.settings.displayOptions();
  const FileFormat format = ReadFormatForPath(file);
  const fs::path ov2 = fs::path(folder / file.filename()).replace_extension("ov2");
  if (!CanRead(format) ||
      RunFileOperation(document, FileOperation::Open, format, file, start.settings, port) != 0 ||
      RunFileOperation(document, FileOperation::Save, FileFormat::Ov2, ov2, start.settings, port) != 0) {
    port.finishProgress();
    return std::nullopt;
  }
  port.finishProgress();
  for (std::size_t kind = 1; kind < kDeviceFileKinds; ++kind) {
    if ((mask & (1u << kind)) == 0) continue;
    fs::path companion = file;
    companion.replace_extension(kDeviceExtensions[kind]);
    fs::path link = ov2;
    link.replace_extension(kDeviceExtensions[kind]);
    std::error_code error;
    fs::create_symlink(fs::absolute(companion), link, error);
  }
  return ov2;
}

// Sends FILE under its own name; a file of another format goes as an OV2 file converted from it.
int Put(const CliRequest& request, DeviceSession& session) {
  const std::optional<DeviceFileMask> mask = MaskWith(request.with);
  if (!mask) return UsageError("--with takes a list of bmp, ogg, rpf and vif, e.g. --with bmp,ogg");
  fs::path file = request.files[1];
  PrivateFolder temporary;
  if (ReadFormatForPath(file) != FileFormat::Ov2) {
    std::error_code error;
    const fs::path folder = temporary.get(error);
    if (folder.empty()) return Failed(session.port, kDeviceFileSystemError);
    const std::optional<fs::path> converted = ConvertedCopy(request, session.port, file, folder, *mask);
    if (!converted) return 1;
    file = *converted;
  }
  session.port.status(LoadString(kSavingDeviceFiles));
  const DeviceResult result = session.client.uploadPoiFiles(file.stem().u16string(), file, *mask);
  session.port.finishProgress();
  if (result != 0) return Failed(session.port, result);
  std::printf("Sent %s\n", request.files[1].c_str());
  return 0;
}

struct DeviceCommand {
  std::string_view name;
  std::vector<std::string_view> operands;  // as the usage names them
  int (*run)(const CliRequest&, DeviceSession&);
};

}  // namespace

int RunDeviceCommand(const CliRequest& request) {
  static const DeviceCommand kCommands[] = {
      {"list", {}, List},
      {"get", {"NAME", "OUT"}, Get},
      {"put", {"FILE"}, Put},
      {"delete", {"NAME"}, Delete},
      {"dump", {"DIR"}, [](const CliRequest& r, DeviceSession& s) { return RunDumpCommand(r, s.port, s.client); }},
  };
  if (request.files.empty()) return UsageError("device: missing list, get, put, delete or dump");
  const auto command = std::ranges::find(kCommands, request.files[0], &DeviceCommand::name);
  if (command == std::end(kCommands)) return UsageError("device: unknown command '" + request.files[0] + "'");
  const std::size_t given = request.files.size() - 1;
  const std::string what = "device " + request.files[0];
  if (given < command->operands.size()) return UsageError(what + ": missing " + std::string(command->operands[given]));
  if (given > command->operands.size()) {
    return UsageError(what + ": unexpected argument '" + request.files[command->operands.size() + 1] + "'");
  }
  DeviceSession session{CliUserPort{}, DeviceClient(DeviceAddress(request))};
  return command->run(request, session);
}

}  // namespace qf
