#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_user_port.h"
#include "formats/format_table.h"
#include "startup/huge_pages.h"

namespace {

constexpr const char* kUsage = R"(Usage: quillfern-cli COMMAND [OPTIONS] FILE...

Commands:
  convert IN OUT     read IN and write OUT; formats follow the file extensions (an OUT
                     whose extension names no format needs --format)
  info FILE          POI count, document kind, signal mark, bounding box, record types
  cat FILE           the rows as tab-separated text (Name, Lng, Lat, Tel, Memo)
  translate-names DIR --to tomtom|windows
                     rename the device files of DIR (ov2, bmp, ogg, rpf, vif and
                     *_Images folders) into TomTom char code or back
  check FILE [--empty] [--near DISTANCE] [--similar]
                     list the POIs without coordinates, the groups of POIs within DISTANCE
                     of each other (a number with m, km, ft or mi, e.g. 100m or 0.5km) and
                     the groups of POIs with similar names, in that order
  query-name --tomtom NAME | --windows NAME
                     the Windows file name of a TomTom name, or the TomTom name of a file name
  batch DIR --to TARGET
                     convert the files of DIR, each into a file of the same name beside it:
                     --to ov2 converts the kml, gpx, gpi, csv, asc, poi and txt files, any
                     other TARGET the ov2 files; TARGET is ov2, kml, gpx, or csv, asc, poi
                     or txt with -ansi, -unicode or -utf8 (e.g. csv-utf8); Ctrl+C stops
                     after the file being converted
  geocode FILE OUT [--coordinates|--addresses] [--provider nominatim|xml] [--host H] [--key K]
                     fill in the coordinates of the POIs that lack them from the address in
                     their memo (--coordinates, the default), or the memo of the POIs that
                     lack one with the address at their coordinates (--addresses), and write
                     the document to OUT; asks Nominatim, OpenStreetMap's geocoder, at most
                     once a second, unless the settings file or --provider xml --host H
                     (and --key K) name a service of the XML geocoding protocol; Ctrl+C stops
                     and writes the POIs done so far
  device list        the POI files on the navigation device: name, date, size and the
                     kinds present (ov2, bmp, ogg, rpf, vif), one file a line
  device get NAME OUT
                     download NAME's ov2 file (or NAME.bmp, NAME.ogg, ... for another kind)
                     from the device to OUT
  device put FILE [--with bmp,ogg,...]
                     send FILE to the device under its own name, with the files of the
                     given kinds beside it; a file of another format is sent as an OV2
                     file converted from it
  device delete NAME every file of the POI file NAME on the device
  device dump DIR [--size WxH|--percent P] [--rotate 90] [--format png] [--timestamp]
                     copy the device's screenshots into DIR (made when missing), scaled to
                     W x H pixels or P percent, turned clockwise by 90, 180 or 270 degrees,
                     encoded as jpeg, gif, png, tiff or bmp (default: as the device keeps
                     them, copied unchanged) and, with --timestamp, named with the time the
                     device gives them (PNG screenshots only); --overwrite answers the
                     questions about existing files; Ctrl+C stops after the file under way
  quickgpsfix DRIVE [--chip global|sirf] [--ephemeris-host URL]
                     download the GPS ephemeris (QuickGPSfix data) of the navigation device
                     mounted at DRIVE into its ephem folder; the chip is told by the data file
                     there unless --chip names it; the download service is the "Ephemeris
                     Host" setting unless --ephemeris-host names one; Ctrl+C stops

Options:
  --format N             force the output format of convert (a file-dialog format number)
  --input-format N       force the format IN is read as
  --include-home         with --input-format 0: the home and recent destinations too, each
                         named in its Memo ("Favorite", "Home", "Recent destination")
  --encoding ansi|unicode|utf8
                         encoding of the csv, asc, poi and txt files convert writes
                         (ansi is the code page of the "Code Page" setting; default ansi)
  --json                 cat: one JSON object per row instead of tab-separated text
  --optimise, --no-optimise
                         group OV2 records by location ("Optimise POI"; default on)
  --signal-mark          write a signal mark into OV2 files ("Signal Mark")
  --check-names          look for POIs of the same name while reading ("Check Name")
  --duplicates=keep|eliminate
                         what to do with such POIs (default keep)
  --dms                  show coordinates in degrees, minutes and seconds ("DMS Format")
  --compass              show coordinates with compass letters ("Compass Direction")
  --translate-name       save OV2 files under the device's char-code name ("Translate Name")
  --overwrite-read-only  answer yes when asked to replace a read-only file
  --overwrite=ask|yes|no
                         batch and device dump: whether to replace files that exist already;
                         ask (default) reads y, a, n, o or c (yes, yes to all, no, no to all,
                         cancel) from standard input, which may be a pipe; the end of the
                         input answers no
  --settings PATH        read settings from PATH instead of the default settings file
  --device-url ADDRESS   the device's address (host or host:port) in place of the
                         "Device Address" setting
  -h, --help             show this help (also: quillfern-cli help)
  --version              show the version

Formats: 0 Nav2 favourites (MapSettings.cfg, read only), 1 OV2, 2 phonebook, 3 KML, 4 GPX,
5 GPI (read only), 6-9 csv/asc/poi/txt (encoding detected), 10-21 csv/asc/poi/txt in ANSI,
Unicode and UTF-8.
)";

int Usage(FILE* out, int status) {
  std::fputs(kUsage, out);
  return status;
}

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  if (text.empty() || text.size() > 3) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  qf::UseHugePagesForHeap(argv);
  qf::CliRequest request;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // These options take the next argument as their value.
    static constexpr std::string_view kWithValue[] = {"--encoding", "--to",       "--near",   "--tomtom",
                                                      "--windows",  "--settings", "--format", "--input-format",
                                                      "--provider", "--host",     "--key",
                                                      "--device-url", "--with", "--chip", "--ephemeris-host", "--size",
                                                      "--percent", "--rotate"};
    if (std::ranges::find(kWithValue, arg) != std::end(kWithValue) && i + 1 >= argc) {
      return qf::UsageError("option '" + std::string(arg) + "' needs a value");
    }
    auto value = [&] { return std::string_view(argv[++i]); };
    if (arg == "-h" || arg == "--help") return Usage(stdout, 0);
    if (arg == "--version") {
      std::printf("quillfern-cli %s\n", QUILLFERN_VERSION);
      return 0;
    }
    if (arg == "--encoding") {
      const std::optional<qf::TextEncoding> encoding = qf::EncodingNamed(value());
      if (!encoding) return qf::UsageError("--encoding takes ansi, unicode or utf8");
      request.encoding = *encoding;
    } else if (arg == "--include-home") {
      request.includeHome = true;
    } else if (arg == "--json") {
      request.json = true;
    } else if (arg == "--optimise" || arg == "--optimize") {
      request.optimise = true;
    } else if (arg == "--no-optimise" || arg == "--no-optimize") {
      request.optimise = false;
    } else if (arg == "--signal-mark") {
      request.signalMark = true;
    } else if (arg == "--check-names") {
      request.checkNames = true;
    } else if (arg == "--duplicates=keep") {
      request.eliminateDuplicates = false;
    } else if (arg == "--duplicates=eliminate") {
      request.eliminateDuplicates = true;
    } else if (arg == "--dms") {
      request.dms = true;
    } else if (arg == "--compass") {
      request.compass = true;
    } else if (arg == "--translate-name") {
      request.translateName = true;
    } else if (arg == "--overwrite-read-only") {
      request.overwriteReadOnly = true;
    } else if (arg == "--to") {
      request.to = std::string(value());
    } else if (arg == "--empty") {
      request.checkEmpty = true;
    } else if (arg == "--similar") {
      request.checkSimilar = true;
    } else if (arg == "--near") {
      request.checkNear = std::string(value());
    } else if (arg == "--overwrite=ask") {
      request.overwrite.reset();
    } else if (arg == "--overwrite=yes") {
      request.overwrite = qf::OverwriteAnswer::YesToAll;
    } else if (arg == "--overwrite=no") {
      request.overwrite = qf::OverwriteAnswer::NoToAll;
    } else if (arg == "--tomtom" || arg == "--windows") {
      (arg == "--tomtom" ? request.tomtomName : request.windowsName) = std::string(value());
    } else if (arg == "--addresses" || arg == "--coordinates") {
      request.queryAddresses = arg == "--addresses";
    } else if (arg == "--provider") {
      request.provider = std::string(value());
    } else if (arg == "--host") {
      request.host = std::string(value());
    } else if (arg == "--key") {
      request.key = std::string(value());
    } else if (arg == "--device-url") {
      request.deviceUrl = std::string(value());
    } else if (arg == "--with") {
      request.with = std::string(value());
    } else if (arg == "--chip") {
      request.chip = std::string(value());
    } else if (arg == "--ephemeris-host") {
      request.ephemerisHost = std::string(value());
    } else if (arg == "--settings") {
      request.settingsPath = std::string(value());
    } else if (arg == "--size" || arg == "--percent" || arg == "--rotate") {
      (arg == "--size" ? request.dumpSize : arg == "--percent" ? request.dumpPercent : request.rotate) = value();
    } else if (arg == "--timestamp") {
      request.timestamp = true;
    } else if (arg == "--format" && !ParseNumber(argv[i + 1])) {
      request.imageFormat = value();  // the dump's image format; any other command refuses it below
    } else if (arg == "--format" || arg == "--input-format") {
      const auto number = ParseNumber(value());
      const std::optional<qf::FileFormat> format = number ? qf::FormatNumbered(*number) : std::nullopt;
      if (!format) return qf::UsageError(std::string(arg) + " needs a format number from 0 to 21");
      (arg == "--format" ? request.outputFormat : request.inputFormat) = format;
    } else if (arg.starts_with("--overwrite=")) {
      return qf::UsageError("--overwrite takes ask, yes or no");
    } else if (arg.starts_with("--duplicates=")) {
      return qf::UsageError("--duplicates takes keep or eliminate");
    } else if (arg.starts_with("-") && arg.size() > 1) {
      return qf::UsageError("unknown option '" + std::string(arg) + "'");
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.empty()) return Usage(stderr, 2);
  if (positional.front() == "help") return Usage(stdout, 0);
  if (request.includeHome && request.inputFormat != qf::FileFormat::Favourites) {
    return qf::UsageError("--include-home reads favourites: give --input-format 0 too");
  }
  request.command = positional.front();
  request.files.assign(positional.begin() + 1, positional.end());
  if (request.imageFormat && (request.command != "device" || request.files.empty() || request.files[0] != "dump")) {
    return qf::UsageError("--format needs a format number from 0 to 21");
  }
  std::error_code error;
  request.executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) request.executable = argv[0];
  qf::CliUserPort::endCleanlyOnSignals();
  return qf::RunCliCommand(request);
}
