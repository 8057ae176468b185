#include "support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "core/unicode.h"

namespace qf::test {

DuplicateAnswer ScriptedUserPort::askDuplicateName(std::u16string_view name) {
  askedNames.emplace_back(name);
  if (duplicateAnswers.empty()) return DuplicateAnswer::Retain;
  const DuplicateAnswer answer = duplicateAnswers.front();
  duplicateAnswers.pop_front();
  return answer;
}

OverwriteAnswer ScriptedUserPort::askOverwrite(std::u16string_view path) {
  overwritePaths.emplace_back(path);
  if (overwriteAnswers.empty()) return OverwriteAnswer::No;
  const OverwriteAnswer answer = overwriteAnswers.front();
  overwriteAnswers.pop_front();
  return answer;
}

bool ScriptedUserPort::confirm(MessageId id, std::u16string_view) {
  confirmIds.push_back(id);
  if (confirmAnswers.empty()) return false;
  const bool answer = confirmAnswers.front();
  confirmAnswers.pop_front();
  return answer;
}

void ScriptedUserPort::showMessage(MessageId id, Severity severity, std::u16string_view text) {
  messages.emplace_back(id, text);
  severities.push_back(severity);
}

void ScriptedUserPort::progress(std::u16string_view, int percent) {
  ++progressCalls;
  lastPercent = percent;
}

void PrintTo(const Poi& poi, std::ostream* out) {
  *out << '{' << Utf16ToUtf8(poi.name) << " | " << Utf16ToUtf8(poi.lng) << " | " << Utf16ToUtf8(poi.lat) << " | "
       << Utf16ToUtf8(poi.tel) << " | " << Utf16ToUtf8(poi.memo) << '}';
}

std::vector<Poi> Pois(const PoiDocument& document) {
  std::vector<Poi> pois;
  for (const PoiRecord& row : document.rows) {
    pois.push_back({std::u16string(row.text(kName)), std::u16string(row.text(kLng)), std::u16string(row.text(kLat)),
                    std::u16string(row.text(kTel)), std::u16string(row.text(kMemo))});
  }
  return pois;
}

std::vector<std::u16string> Names(const PoiDocument& document) {
  std::vector<std::u16string> names;
  for (const PoiRecord& row : document.rows) names.emplace_back(row.text(kName));
  return names;
}

std::filesystem::path CorpusPath(std::string_view relative) {
  return std::filesystem::path(QUILLFERN_CORPUS) / relative;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> Hex(std::string_view hex) {
  std::vector<std::uint8_t> bytes;
  int pending = -1;
  for (char c : hex) {
    int value;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    else continue;
    if (pending < 0) {
      pending = value;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(pending * 16 + value));
      pending = -1;
    }
  }
  return bytes;
}

int Gpsbabel(const std::string& arguments) { return std::system(("gpsbabel " + arguments + " 2>&1").c_str()); }

// Through GPSBabel's tab-separated output: name in field 1, latitude and longitude in fields 7 and 8.
// Only waypoints are POIs; the tracks it makes of lines and areas are dropped.
std::vector<GpsbabelPoi> ReadWithGpsbabel(const std::filesystem::path& file, const std::string& format) {
  const std::filesystem::path tsv = TempDir() / "babel.tsv";
  const std::string output = " -x nuketypes,tracks,routes -o tabsep -F '" + tsv.string() + "'";
  if (Gpsbabel("-i " + format + " -f '" + file.string() + "'" + output) != 0) {
    throw std::runtime_error("gpsbabel cannot read " + file.string());
  }
  std::vector<GpsbabelPoi> pois;
  std::ifstream in(tsv);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
    pois.push_back({fields.at(1), std::stod(fields.at(8)), std::stod(fields.at(7))});
  }
  return pois;
}

namespace {
struct TempRoot {
  std::filesystem::path path;
  TempRoot() {
    std::random_device random;
    path = std::filesystem::temp_directory_path() / ("quillfern-test-" + std::to_string(random()));
    std::filesystem::create_directories(path);
  }
  ~TempRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};
}  // namespace

std::filesystem::path TempDir() {
  static TempRoot root;
  static int counter = 0;
  auto dir = root.path / std::to_string(++counter);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace qf::test
