#include "cli/dump_command.h"

#include <charconv>
#include <cstdio>
#include <system_error>

#include "core/string_table.h"
#include "core/unicode.h"
#include "device/screenshot_dump.h"

namespace qf {

namespace {

namespace fs = std::filesystem;

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() || text[0] == '-') return std::nullopt;
  return value;
}

// What the options ask of the size; a usage error (status 2) when they are malformed.
struct SizeChoice {
  ImageSize shown{};  // in pixels, or in percent
  bool pixels = true;
  bool given = false;
};

std::optional<SizeChoice> ParseSize(const CliRequest& request, std::string& problem) {
  if (request.dumpSize && request.dumpPercent) {
    problem = "device dump takes --size or --percent, not both";
    return std::nullopt;
  }
  SizeChoice choice;
  if (request.dumpSize) {
    const std::string_view text = *request.dumpSize;
    const std::size_t x = text.find_first_of("xX");
    const auto width = Number(text.substr(0, x));
    const auto height = x == std::string_view::npos ? std::nullopt : Number(text.substr(x + 1));
    if (!width || !height) {
      problem = "--size takes WIDTHxHEIGHT in pixels, e.g. 240x136";
      return std::nullopt;
    }
    choice = {{*width, *height}, true, true};
  } else if (request.dumpPercent) {
    const auto percent = Number(*request.dumpPercent);
    if (!percent) {
      problem = "--percent takes a whole number, e.g. 50";
      return std::nullopt;
    }
    choice = {{*percent, *percent}, false, true};
  }
  const SizeRange range = RangeOf(choice.pixels);
  if (choice.given && !(range.holds(choice.shown.width) && range.holds(choice.shown.height))) {
    problem = Utf16ToUtf8(FormatMessage(choice.pixels ? kPixelRange : kPercentRange, range.low, range.high));
    for (char& c : problem) c = c == '\n' ? ' ' : c;
    return std::nullopt;
  }
  return choice;
}

std::optional<int> ParseQuarterTurns(const std::optional<std::string>& rotate) {
  if (!rotate) return 0;
  for (int turns = 0; turns < kRotationCount; ++turns) {
    if (*rotate == std::to_string(90 * turns)) return turns;
  }
  return std::nullopt;
}

std::optional<ImageFormat> FormatNamed(std::string_view name) {
  for (int i = 0; i < kImageFormatCount; ++i) {
    const auto format = static_cast<ImageFormat>(i);
    if (Utf8ToUtf16(name) == LoadString(InfoOf(format).caption) || name == InfoOf(format).extension) return format;
  }
  return std::nullopt;
}

ScreenshotKind OfferedKind(DeviceClient& client) {
  for (const ScreenshotKind kind : {ScreenshotKind::Dumps, ScreenshotKind::ScreenDump}) {
    if (client.probeScreenshots(kind)) return kind;
  }
  return ScreenshotKind::None;
}

int Failed(CliUserPort& port, int id, std::u16string_view argument = u"") {
  port.finishProgress();
  port.showMessage(static_cast<MessageId>(id), Severity::Warning, FormatMessage(id, argument));
  return 1;
}

}  // namespace

int RunDumpCommand(const CliRequest& request, CliUserPort& port, DeviceClient& client) {
  std::string problem;
  const std::optional<SizeChoice> size = ParseSize(request, problem);
  if (!size) return UsageError(problem);
  const std::optional<int> quarterTurns = ParseQuarterTurns(request.rotate);
  if (!quarterTurns) return UsageError("--rotate takes 0, 90, 180 or 270");
  const std::optional<ImageFormat> format = request.imageFormat ? FormatNamed(*request.imageFormat) : std::nullopt;
  if (request.imageFormat && !format) return UsageError("device dump --format takes jpeg, gif, png, tiff or bmp");

  const fs::path destination = request.files[1];
  std::error_code error;
  if (!fs::is_directory(destination, error) && !fs::create_directories(destination, error)) {
    return Failed(port, kCannotCreateDestination);
  }
  const ScreenshotKind kind = OfferedKind(client);
  if (kind == ScreenshotKind::None) return Failed(port, kCannotReadDeviceList);
  port.status(LoadString(kReadingDeviceList));
  DeviceListing listing;
  if (const DeviceResult result = client.readScreenshotListing(kind, listing); result != 0) return Failed(port, result);

  DumpRequest dump{.destination = destination,
                   .kind = kind,
                   .appendTimestamp = request.timestamp,
                   .target = std::nullopt,
                   .quarterTurns = *quarterTurns,
                   .format = format.value_or(kind == ScreenshotKind::Dumps ? ImageFormat::Bmp : ImageFormat::Png),
                   .screenshots = ScreenshotsOf(listing)};
  if (size->given) {
    dump.target = TargetSize(size->shown, size->pixels, MeasureScreenshots(client, kind, dump.screenshots));
  }
  port.overwrite = request.overwrite;
  CliUserPort::stopOnInterrupt();
  const DumpResult result =
      DumpScreenshots(client, dump, port, [&port](std::u16string_view text) { port.status(text); });
  port.finishProgress();
  if (result.message != 0) return Failed(port, result.message, result.path);
  if (!result.complete) return 1;
  std::printf("%s\n", Utf16ToUtf8(FormatMessage(kConvertedCount, result.written)).c_str());
  return 0;
}

}  // namespace qf
