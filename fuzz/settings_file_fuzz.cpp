// Arbitrary bytes as the settings file a command-line run reads: whatever the file holds, every
// value the run uses lies in its range, a file that could not be used is told, and the settings
// then serve a read and a write of a text file and the display of a coordinate.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/coordinates.h"
#include "document_checks.h"
#include "formats/delimited_text.h"
#include "formats/file_session.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path& SettingsPath() {
  static const fuzz::ScratchFolder folder;
  static const fs::path path = folder.path() / "quillfern.ini";
  return path;
}

bool In(int value, int low, int high) { return value >= low && value <= high; }

void CheckRanges(const qf::AppSettings& settings) {
  const bool inRange =
      In(settings.fileCount, 1, qf::kMaxRecentFiles) && In(settings.backupInterval, 1, 99) &&
      In(settings.googleMapsLang, 0, 8) && In(settings.toolbarSpacing, 0, 9) &&
      qf::IsAnsiCodePage(settings.codePage) &&
      settings.recentFiles.size() <= static_cast<std::size_t>(settings.fileCount) &&
      settings.basePoints.entries.size() <= qf::kMaxBasePoints && In(settings.basePoints.insertIndex, 0, qf::kMaxBasePoints - 1) &&
      settings.basePoints.dialogWidth >= qf::kMinBasePointDialogSize &&
      settings.basePoints.dialogHeight >= qf::kMinBasePointDialogSize &&
      (settings.font.background.empty() ? !settings.font.useBackground : fs::is_regular_file(settings.font.background));
  if (!inRange) __builtin_trap();
}

// A POI with a name outside ASCII goes through a text file in the settings' code page and display.
void UseSettings(const qf::AppSettings& settings) {
  qf::PoiDocument document;
  document.display = settings.displayOptions();
  qf::SilentUserPort port;
  const int row = qf::AppendPoi(document, u"Caf\u00e9 \u4e2d", false);
  qf::SetCoordinateText(document, row, qf::kLng, u"-4.89012", false);
  qf::SetCoordinateText(document, row, qf::kLat, u"52.37", false);
  qf::MemorySink sink;
  qf::FileSession save(document, qf::FileOperation::Save, qf::FileFormat::CsvAnsi, settings, port);
  if (qf::WriteCommaText(save, sink) != 0) __builtin_trap();
  qf::PoiDocument again;
  again.display = document.display;
  qf::FileSession open(again, qf::FileOperation::Open, qf::FileFormat::CsvDetect, settings, port);
  sink.bytes.push_back('\n');
  qf::ReadCommaText(open, sink.bytes);
  fuzz::CheckDocumentRules(again);
  if (again.rowCount() != 1 || again.text(0, qf::kLng) != document.text(row, qf::kLng) ||
      again.text(0, qf::kLat) != document.text(row, qf::kLat)) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& path = SettingsPath();
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  const qf::StartSettings start = qf::ReadSettingsFile(path);
  if (start.file != qf::ProfileLoad::Read) __builtin_trap();
  for (const qf::SettingsWarning& warning : start.warnings) {
    if (warning.text.empty()) __builtin_trap();
  }
  CheckRanges(start.settings);
  UseSettings(start.settings);
  return 0;
}
