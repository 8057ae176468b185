#include "cli/cli_commands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>

#include "cli/cli_user_port.h"
#include "cli/device_commands.h"
#include "core/app_settings.h"
#include "core/check_sets.h"
#include "core/coordinates.h"
#include "core/poi_checks.h"
#include "core/profile_file.h"
#include "core/settings_location.h"
#include "core/unicode.h"
#include "formats/batch_conversion.h"
#include "formats/file_buffer.h"
#include "formats/file_format.h"
#include "formats/file_pipeline.h"
#include "formats/format_table.h"
#include "formats/name_translation.h"
#include "formats/ov2_summary.h"
#include "core/string_table.h"
#include "editing/poi_table.h"
#include "map/geocode_query.h"

namespace qf {

namespace {

AppSettings SettingsFor(const CliRequest& request) {
  const StartSettings start = ReadSettingsFile(SettingsPath(request.executable, request.settingsPath));
  for (const SettingsWarning& warning : start.warnings) std::fprintf(stderr, "%s\n", CliMessage(warning.text).c_str());
  AppSettings settings = start.settings;
  auto apply = [&](Switch s, const std::optional<bool>& value) {
    if (value) settings.set(s, *value);
  };
  apply(Switch::OptimisePoi, request.optimise);
  apply(Switch::SignalMark, request.signalMark);
  apply(Switch::CheckName, request.checkNames);
  apply(Switch::DmsFormat, request.dms);
  apply(Switch::CompassDirection, request.compass);
  apply(Switch::TranslateName, request.translateName);
  return settings;
}

struct Session {
  AppSettings settings;
  CliUserPort port;
  PoiDocument document;
};

// The command's one session. It is never freed: the process ends right after the command,
// and the system drops a million rows at once far faster than they can be freed one by one.
Session& NewSession(const CliRequest& request) {
  static Session* const session = new Session;
  Session& s = *session;
  s.settings = SettingsFor(request);
  s.document.display = s.settings.displayOptions();
  s.port.duplicates = request.eliminateDuplicates ? DuplicateAnswer::EliminateAll : DuplicateAnswer::RetainAll;
  s.port.overwriteReadOnly = request.overwriteReadOnly;
  return s;
}

bool Supported(FileFormat format, bool writing) {
  if (writing ? CanWrite(format) : CanRead(format)) return true;
  std::fprintf(stderr, "quillfern-cli: %s (format %d) cannot be %s by this version\n",
               Utf16ToUtf8(FormatName(format)).c_str(), FormatNumber(format), writing ? "written" : "read");
  return false;
}

bool Open(Session& session, const CliRequest& request, const std::filesystem::path& path) {
  const FileFormat format = request.inputFormat.value_or(ReadFormatForPath(path));
  if (!Supported(format, false)) return false;
  const int result =
      format == FileFormat::Favourites
          ? OpenFavourites(session.document, path, request.includeHome, session.settings, session.port)
          : RunFileOperation(session.document, FileOperation::Open, format, path, session.settings, session.port);
  session.port.finishProgress();
  return result == 0;
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Tells how many POIs a format could not carry, e.g. "2 POIs without coordinates were not written".
void TellNotWritten(int count, const char* lacking) {
  if (count <= 0) return;
  std::fprintf(stderr, "quillfern-cli: %d POI%s without %s %s not written\n", count, count == 1 ? "" : "s", lacking,
               count == 1 ? "was" : "were");
}

// Whether a file name's extension names a format; any other would be written as tab text unasked.
bool NamesAFormat(const std::filesystem::path& path) { return FormatOfExtension(LowerExtension(path)).has_value(); }

// The format OUT is written in: --format, else its extension (a ".gpi" OUT becomes ".ov2"). Nothing,
// with the exit status in `status`, when neither names one the tool writes.
std::optional<FileFormat> OutputFormat(const CliRequest& request, std::filesystem::path& output, int& status) {
  if (!request.outputFormat && !NamesAFormat(output)) {
    status = UsageError("cannot tell the format of '" + output.string() +
                        "' from its extension; use ov2, kml, gpx, csv, asc, poi or txt, or give --format N");
    return std::nullopt;
  }
  const FileFormat format = request.outputFormat.value_or(WriteFormatForPath(output, request.encoding));
  status = 2;
  return Supported(format, true) ? std::optional(format) : std::nullopt;
}

// Saves the session's document as OUT and tells what was written and what was left out; false when
// the save failed (its message is shown).
bool WriteOutput(Session& session, FileFormat format, const std::filesystem::path& output) {
  WriteCounts counts;
  const int result = RunFileOperation(session.document, FileOperation::Save, format, output, session.settings,
                                      session.port, &counts);
  session.port.finishProgress();
  if (result != 0) return false;
  std::printf("Wrote %d POI%s to %s\n", counts.written, counts.written == 1 ? "" : "s",
              session.document.path.string().c_str());
  // A phonebook holds only the POIs with a telephone number, the other formats those with a position.
  TellNotWritten(counts.leftOut, format == FileFormat::Phonebook ? "a telephone number" : "coordinates");
  return true;
}

int Convert(const CliRequest& request) {
  std::filesystem::path output = request.files[1];
  int status = 0;
  const std::optional<FileFormat> format = OutputFormat(request, output, status);
  if (!format) return status;
  Session& session = NewSession(request);
  if (!Open(session, request, request.files[0])) return 1;
  return WriteOutput(session, *format, output) ? 0 : 1;
}

std::u16string_view KindName(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::SafetyCamera:
      return u"safety-camera document";
    case DocumentKind::Phonebook:
      return u"phonebook document";
    default:
      return u"ordinary POI document";
  }
}

std::string Degrees(std::int32_t units) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", units / 100000.0);
  return text;
}

std::string BoundingBox(const PoiDocument& document) {
  std::int32_t west = std::numeric_limits<std::int32_t>::max(), east = std::numeric_limits<std::int32_t>::min();
  std::int32_t south = west, north = east;
  for (const PoiRecord& row : document.rows) {
    const auto x = CoordinateToUnits(row.text(kLng), document.display);
    const auto y = CoordinateToUnits(row.text(kLat), document.display);
    if (x == kMissingUnits || y == kMissingUnits) continue;
    west = std::min(west, x), east = std::max(east, x), south = std::min(south, y), north = std::max(north, y);
  }
  if (west > east) return "none";
  return "west " + Degrees(west) + ", south " + Degrees(south) + ", east " + Degrees(east) + ", north " +
         Degrees(north);
}

std::string SignalMarkText(const PoiDocument& document) {
  if (!document.hasSignalMark()) return "absent";
  std::string hex;
  char byte[4];
  for (std::uint8_t b : document.signalMark) {
    std::snprintf(byte, sizeof byte, "%02X ", b);
    hex += byte;
  }
  hex.pop_back();
  return "present (" + hex + ")";
}

// Walked before the document is read, so that the file's bytes and the rows are never held together.
std::string RecordTypes(const std::filesystem::path& path) {
  FileBuffer bytes;
  std::error_code ignored;  // the open that follows tells the user
  if (ReadWholeFile(path, FileFormat::Ov2, bytes, ignored) != 0) return "";
  const Ov2Summary summary = SummariseOv2(bytes.bytes());
  std::string text;
  for (std::size_t type = 0; type < summary.recordCounts.size(); ++type) {
    if (summary.recordCounts[type] == 0) continue;
    if (!text.empty()) text += ", ";
    text += "type " + std::to_string(type) + ": " + std::to_string(summary.recordCounts[type]);
  }
  return text.empty() ? "none" : text;
}

int Info(const CliRequest& request) {
  Session& session = NewSession(request);
  const std::filesystem::path path = request.files[0];
  const bool ov2 = request.inputFormat.value_or(ReadFormatForPath(path)) == FileFormat::Ov2;
  const std::string records = ov2 ? RecordTypes(path) : "";
  if (!Open(session, request, path)) return 1;
  const PoiDocument& document = session.document;
  std::string text = "File: " + path.string() + "\n";
  text += "Format: " + Utf16ToUtf8(FormatName(document.format)) + "\n";
  text += "POIs: " + std::to_string(document.rowCount()) + "\n";
  text += "Kind: " + Utf16ToUtf8(KindName(document.kind)) + "\n";
  text += std::string("Rich POI file: ") + (document.richPoiFile ? "yes" : "no") + "\n";
  text += "Signal mark: " + SignalMarkText(document) + "\n";
  text += "Bounding box: " + BoundingBox(document) + "\n";
  if (ov2) text += "Records: " + records + "\n";
  Print(text);
  return 0;
}

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  for (char c : Utf16ToUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

int Cat(const CliRequest& request) {
  Session& session = NewSession(request);
  if (!Open(session, request, request.files[0])) return 1;
  static constexpr const char* kKeys[] = {"name", "lng", "lat", "tel", "memo"};
  std::string out;
  for (const PoiRecord& row : session.document.rows) {
    for (int column = kName; column <= kMemo; ++column) {
      if (request.json) {
        out += column == kName ? "{" : ", ";
        out += std::string("\"") + kKeys[column] + "\": " + JsonString(row.text(column));
      } else {
        if (column != kName) out += '\t';
        out += Utf16ToUtf8(row.text(column));
      }
    }
    out += request.json ? "}\n" : "\n";
    if (out.size() > (1 << 20)) {
      Print(out);
      out.clear();
    }
  }
  Print(out);
  return 0;
}

int TranslateNamesCommand(const CliRequest& request) {
  if (request.to != "tomtom" && request.to != "windows") {
    return UsageError("translate-names needs --to tomtom or --to windows");
  }
  const NameDirection direction = request.to == "tomtom" ? NameDirection::ToTomTom : NameDirection::ToWindows;
  CliUserPort port;
  const TranslateNamesResult result = TranslateNames(request.files[0], direction, port);
  if (result.messageId != 0) {
    port.showMessage(static_cast<MessageId>(result.messageId), Severity::Warning,
                     FormatMessage(result.messageId, result.name));
    return 1;
  }
  Print(Utf16ToUtf8(FormatMessage(kTranslatedCount, result.count)) + "\n");
  return 0;
}

// "ov2", "kml", "gpx", or a text layout with its encoding such as "csv-utf8".
std::optional<FileFormat> BatchTarget(std::string_view name) {
  if (name == "ov2") return FileFormat::Ov2;
  for (const FileFormat format : ConversionTargets()) {
    const FormatRow& row = FormatRowOf(format);
    std::string candidate(row.extension);
    if (row.encoding) candidate += "-" + std::string(EncodingName(*row.encoding));
    if (candidate == name) return format;
  }
  return std::nullopt;
}

int Batch(const CliRequest& request) {
  const std::optional<FileFormat> target = request.to ? BatchTarget(*request.to) : std::nullopt;
  if (!target) {
    return UsageError("batch needs --to ov2, kml, gpx, or csv, asc, poi or txt with -ansi, -unicode or -utf8");
  }
  Session& session = NewSession(request);
  CliUserPort& port = session.port;
  port.overwrite = request.overwrite;
  CliUserPort::stopOnInterrupt();
  const ConvertFolderResult result = ConvertFolder(request.files[0], *target, session.settings, port,
                                                   [&port](std::u16string_view text) { port.status(text); });
  port.finishProgress();
  TellNotWritten(result.leftOut, "coordinates");
  if (result.messageId != 0) {
    port.showMessage(static_cast<MessageId>(result.messageId), Severity::Warning,
                     FileMessageText(result.messageId, result.name, result.reason));
    return 1;
  }
  Print(Utf16ToUtf8(FormatMessage(kConvertedCount, result.count)) + "\n");
  return 0;
}

int QueryName(const CliRequest& request) {
  if (request.tomtomName.has_value() == request.windowsName.has_value()) {
    return UsageError("query-name needs either --tomtom NAME or --windows NAME");
  }
  const std::u16string answer = request.tomtomName ? QueryWindowsName(Utf8ToUtf16(*request.tomtomName))
                                                   : QueryTomTomName(Utf8ToUtf16(*request.windowsName));
  Print(Utf16ToUtf8(answer) + "\n");
  return 0;
}

// A --near distance in whole metres, and whether the user gave it in a metric unit, which the
// distances listed then are shown in too.
struct NearDistance {
  std::int32_t metres;
  bool metric;
};

// "100m", "0.5km", "300ft", "1mi": a decimal number and its unit.
std::optional<NearDistance> NearThreshold(std::string_view text) {
  // "m" last, since "km" ends with it too.
  static constexpr std::pair<std::string_view, DistanceUnit> kUnits[] = {{"km", DistanceUnit::Kilometre},
                                                                         {"mi", DistanceUnit::Mile},
                                                                         {"ft", DistanceUnit::Foot},
                                                                         {"m", DistanceUnit::Metre}};
  for (const auto& [suffix, unit] : kUnits) {
    if (!text.ends_with(suffix)) continue;
    const std::string_view number = text.substr(0, text.size() - suffix.size());
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                              std::chars_format::fixed);
    if (number.empty() || error != std::errc() || end != number.data() + number.size() || !(value >= 0)) {
      return std::nullopt;
    }
    return NearDistance{ThresholdMetres(value, unit), unit == DistanceUnit::Metre || unit == DistanceUnit::Kilometre};
  }
  return std::nullopt;
}

// A listed row: the table row number, its five texts, the Distance cell and the row it is
// near or similar to.
std::string RowLine(const PoiDocument& document, int row, const std::u16string& distance, int linkedRow) {
  std::string line = std::to_string(row + 1);
  for (int column = kName; column <= kMemo; ++column) line += "\t" + Utf16ToUtf8(document.text(row, column));
  line += "\t" + Utf16ToUtf8(distance) + "\t";
  if (linkedRow >= 0) line += std::to_string(linkedRow + 1);
  return line + "\n";
}

void PrintSets(CheckStage stage, const std::vector<CheckSet>& sets, const PoiDocument& document, bool metric) {
  for (const CheckSet& set : sets) {
    Print(std::string(CheckTitle(stage)) + "\n");
    for (const SetMember& member : set) {
      const std::u16string distance = member.distance == kNoDistance ? u"" : FormatDistance(member.distance, metric);
      Print(RowLine(document, member.row, distance, member.linkedRow));
    }
    Print("\n");
  }
}

// The stages in the window's order; the near and the similar rows come as sets, each listed once.
int Check(const CliRequest& request) {
  CheckSettings checks{request.checkSimilar, request.checkNear.has_value(), request.checkEmpty};
  if (!checks.similarNames && !checks.nearDistances && !checks.emptyCoordinates) {
    return UsageError("check needs --empty, --near DISTANCE or --similar");
  }
  // Without --near no distance is listed.
  bool metric = true;
  if (request.checkNear) {
    const std::optional<NearDistance> threshold = NearThreshold(*request.checkNear);
    if (!threshold) return UsageError("--near needs a distance such as 100m, 0.5km, 300ft or 1mi");
    checks.thresholdMetres = threshold->metres;
    metric = threshold->metric;
  }
  Session& session = NewSession(request);
  if (!Open(session, request, request.files[0])) return 1;
  const PoiDocument& document = session.document;
  // The checks the dialog would offer for this document.
  const CheckChoices offered = AvailableChecks(document);
  CliUserPort::stopOnInterrupt();
  CliUserPort& port = session.port;
  const CheckPoll poll = [&port](CheckStage) { return port.cancelRequested(); };
  if (checks.emptyCoordinates && offered.emptyCoordinates) {
    CheckRun run(document, CheckSettings{false, false, true});
    const CheckOutcome outcome = run.start(document, poll);
    if (outcome == CheckOutcome::Cancelled) return 1;
    if (outcome == CheckOutcome::GroupFound) {
      std::vector<SetMember> rows;
      for (const CheckResult& result : run.results()) rows.push_back({RowOfId(document, result.id), -1, kNoDistance});
      PrintSets(CheckStage::EmptyCoordinates, {rows}, document, metric);
    }
  }
  if (checks.nearDistances && offered.nearDistances) {
    const auto sets = NearSets(document, checks.thresholdMetres, poll);
    if (!sets) return 1;
    PrintSets(CheckStage::NearDistances, *sets, document, metric);
  }
  if (checks.similarNames && offered.similarNames) {
    const auto sets = SimilarSets(document, poll);
    if (!sets) return 1;
    PrintSets(CheckStage::SimilarNames, *sets, document, metric);
  }
  Print(std::string(kCheckFinishedText) + "\n");
  return 0;
}

// Fills in the coordinates (or addresses) the rows lack and writes the document to OUT, with
// what was done when a stop or a fault ends the run.
int Geocode(const CliRequest& request) {
  std::filesystem::path output = request.files[1];
  if (request.provider && request.provider != "nominatim" && request.provider != "xml") {
    return UsageError("--provider takes nominatim or xml");
  }
  int status = 0;
  const std::optional<FileFormat> format = OutputFormat(request, output, status);
  if (!format) return status;
  Session& session = NewSession(request);
  ServiceSettings services = session.settings.services;
  if (request.provider) {
    services.geocoder = *request.provider == "xml" ? GeocoderProvider::Xml : GeocoderProvider::Nominatim;
    // Another provider's host from the settings file would be asked in a protocol it does not speak.
    if (services.geocoder != session.settings.services.geocoder) services.geocoderHost.clear();
  }
  if (request.host) services.geocoderHost = *request.host;
  if (request.key) services.geocoderKey = *request.key;
  if (!Open(session, request, request.files[0])) return 1;
  PoiTable table(session.document);
  table.clearSelection();  // every row that lacks its target is queried
  Geocoder geocoder(services);
  CliUserPort::stopOnInterrupt();
  const GeocodeTarget target = request.queryAddresses ? GeocodeTarget::Addresses : GeocodeTarget::Coordinates;
  const GeocodeRun run = RunGeocodeQuery(table, geocoder, target, session.port);
  session.port.finishProgress();
  std::fprintf(stderr, "quillfern-cli: went through %d of %d POIs%s\n", run.passed, run.candidates,
               run.stopped ? ", stopped" : "");
  if (!WriteOutput(session, *format, output)) return 1;
  return run.stopped || run.error != 0 ? 1 : 0;
}

struct Command {
  std::string_view name;
  std::vector<std::string_view> operands;  // the files it takes, as the usage names them
  int (*run)(const CliRequest&);
};

}  // namespace

int RunCliCommand(const CliRequest& request) {
  if (request.command == "device") return RunDeviceCommand(request);  // sub-commands of its own
  static const Command kCommands[] = {
      {"convert", {"IN", "OUT"}, Convert},
      {"info", {"FILE"}, Info},
      {"cat", {"FILE"}, Cat},
      {"translate-names", {"DIR"}, TranslateNamesCommand},
      {"check", {"FILE"}, Check},
      {"query-name", {}, QueryName},
      {"batch", {"DIR"}, Batch},
      {"geocode", {"FILE", "OUT"}, Geocode},
  };
  const auto command = std::ranges::find(kCommands, request.command, &Command::name);
  if (command == std::end(kCommands)) return UsageError("unknown command '" + request.command + "'");
  const std::size_t given = request.files.size();
  if (given < command->operands.size()) {
    std::string missing;
    for (std::size_t i = given; i < command->operands.size(); ++i) {
      missing += (i == given ? "" : " and ") + std::string(command->operands[i]);
    }
    return UsageError(request.command + ": missing " + missing);
  }
  if (given > command->operands.size()) {
    return UsageError(request.command + ": unexpected argument '" + request.files[command->operands.size()] + "'");
  }
  return command->run(request);
}

int UsageError(std::string_view problem) {
  std::fprintf(stderr, "quillfern-cli: %.*s\nTry 'quillfern-cli --help'.\n", static_cast<int>(problem.size()),
               problem.data());
  return 2;
}

}  // namespace qf
