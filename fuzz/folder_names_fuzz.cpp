// Arbitrary folder entries (names of any bytes; files, folders and symbolic links to a file outside)
// go through batch conversion and through name translation to TomTom char code and back. Nothing
// outside the folder may change, a conversion may only add or replace the outputs named after its
// sources, and a translation may only rename the device files, each to its translated name, with
// every entry kept.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/app_settings.h"
#include "core/unicode.h"
#include "formats/batch_conversion.h"
#include "formats/charcode.h"
#include "formats/format_table.h"
#include "formats/name_translation.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxEntries = 8;
constexpr std::size_t kMaxNameBytes = 120;

// One POI in each format the conversion reads: an OV2 record, or text that is a csv, asc and poi line,
// a tab line, a KML placemark and a GPX waypoint at once.
const std::string kOv2Poi("\x02\x12\x00\x00\x00\x40\x42\x0F\x00\x80\x84\x1E\x00" "Cafe", 18);
const std::string kTextPoi =
    "10,20,Cafe\n<Placemark><name>Cafe</name><Point><coordinates>10,20</coordinates></Point></Placemark>\n"
    "<wpt lat=\"20\" lon=\"10\"><name>Cafe</name></wpt>\n";

// A folder of its own for this process, with a file beside it that links in the folder point to.
struct Scratch {
  fs::path root;
  fs::path folder;
  fs::path outside;
};

const Scratch& TheScratch() {
  static const fuzz::ScratchFolder folder;
  static const Scratch scratch = [] {
    const fs::path& root = folder.path();
    std::ofstream(root / "outside") << "outside";
    return Scratch{root, root / "folder", root / "outside"};
  }();
  return scratch;
}

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return name.size() >= suffix.size() && std::ranges::equal(name.substr(name.size() - suffix.size()), suffix, {},
                                                            lower, lower);
}

// Entries from the bytes: each piece up to a zero byte is a kind byte and a name.
void MakeEntries(const Scratch& scratch, const std::uint8_t* data, std::size_t size) {
  fs::remove_all(scratch.folder);
  fs::create_directory(scratch.folder);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::size_t count = 0;
  for (std::size_t start = 0; start < bytes.size() && count < kMaxEntries;) {
    const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
    const std::string_view piece = bytes.substr(start, end - start);
    start = end + 1;
    if (piece.size() < 2) continue;
    std::string name(piece.substr(1, kMaxNameBytes));
    std::replace(name.begin(), name.end(), '/', '_');
    if (name == "." || name == "..") continue;
    const fs::path path = scratch.folder / name;
    std::error_code error;
    if (fs::exists(fs::symlink_status(path, error))) continue;
    switch (piece[0] % 4) {
      case 0:
        fs::create_directory(path);
        break;
      case 1:
        fs::create_symlink(scratch.outside, path);
        break;
      default:
        std::ofstream(path, std::ios::binary) << (EndsWithIgnoringCase(name, ".ov2") ? kOv2Poi : kTextPoi);
    }
    ++count;
  }
}

// What the folder holds: each name with its kind and, for files, the content.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    std::string& text = contents[entry.path().filename().string()];
    if (entry.is_symlink()) {
      text = "link:" + fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      text = "folder";
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      text.assign(std::istreambuf_iterator<char>(in), {});
    }
  }
  return contents;
}

void CheckOutsideKept(const Scratch& scratch) {
  std::ifstream in(scratch.outside, std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  if (text != "outside" || std::distance(fs::directory_iterator(scratch.root), fs::directory_iterator()) != 2) {
    __builtin_trap();
  }
}

// Answers the overwrite questions from the bytes, one after the other.
class AnsweringPort : public qf::SilentUserPort {
 public:
  explicit AnsweringPort(std::uint8_t answers) : answers_(answers) {}
  qf::OverwriteAnswer askOverwrite(std::u16string_view) override {
    const auto answer = static_cast<qf::OverwriteAnswer>(answers_ % 5);
    answers_ /= 5;
    return answer;
  }

 private:
  unsigned answers_;
};

// The outputs a conversion may write: each source's name with its last three characters
// replaced by the target's extension.
std::set<std::string> Outputs(const std::map<std::string, std::string>& before, qf::FileFormat target) {
  static constexpr std::string_view kSources[] = {".kml", ".gpx", ".gpi", ".csv", ".asc", ".poi", ".txt"};
  const std::string extension(qf::ConversionExtension(target));
  std::set<std::string> outputs;
  for (const auto& [entry, content] : before) {
    const std::string& name = entry;  // a lambda may not capture a structured binding
    if (name.front() == '.' || content == "folder" || content.starts_with("link:")) continue;
    const bool source = target == qf::FileFormat::Ov2
                            ? std::ranges::any_of(kSources, [&](auto s) { return EndsWithIgnoringCase(name, s); })
                            : EndsWithIgnoringCase(name, ".ov2");
    if (source) outputs.insert(name.substr(0, name.size() - 3) + extension);
  }
  return outputs;
}

void CheckConversion(const Scratch& scratch, qf::FileFormat target, std::uint8_t answers) {
  const auto before = Contents(scratch.folder);
  AnsweringPort port(answers);
  qf::ConvertFolder(scratch.folder, target, qf::AppSettings{}, port);
  CheckOutsideKept(scratch);
  const auto after = Contents(scratch.folder);
  const std::set<std::string> outputs = Outputs(before, target);
  for (const auto& [name, content] : before) {
    const auto now = after.find(name);
    if (now == after.end() || (now->second != content && !outputs.contains(name))) __builtin_trap();
  }
  for (const auto& [name, content] : after) {
    if (!before.contains(name) && !outputs.contains(name)) __builtin_trap();
  }
}

bool IsDeviceEntry(std::string_view name, std::string_view content) {
  if (name.front() == '.' || content.starts_with("link:")) return false;
  if (content == "folder") return name.size() > 7 && EndsWithIgnoringCase(name, "_images");
  return std::ranges::any_of(std::initializer_list<std::string_view>{".ov2", ".bmp", ".ogg", ".rpf", ".vif"},
                             [&](std::string_view e) { return EndsWithIgnoringCase(name, e); });
}

std::string Translated(const std::string& name, qf::NameDirection direction) {
  const std::u16string text = qf::Utf8ToUtf16(name);
  if (qf::Utf16ToUtf8(text) != name) return name;  // not UTF-8: left alone
  return qf::Utf16ToUtf8(direction == qf::NameDirection::ToTomTom ? qf::ToTomTomCharCode(text)
                                                                   : qf::FromTomTomCharCode(text));
}

// Every entry is still there under its old name or, for a device entry, under its translated one.
void CheckTranslation(const Scratch& scratch, qf::NameDirection direction) {
  const auto before = Contents(scratch.folder);
  qf::SilentUserPort port;
  qf::TranslateNames(scratch.folder, direction, port);
  CheckOutsideKept(scratch);
  const auto after = Contents(scratch.folder);
  if (after.size() != before.size()) __builtin_trap();
  for (const auto& [name, content] : before) {
    const auto kept = after.find(name);
    if (kept != after.end() && kept->second == content) continue;
    const auto renamed = after.find(Translated(name, direction));
    if (!IsDeviceEntry(name, content) || renamed == after.end() || renamed->second != content) __builtin_trap();
  }
}

// The translation comes back for every name without a right brace and without U+A001 to U+F000,
// which the character code cannot carry; the other way round it never makes a separator.
void CheckNameTranslation(const std::uint8_t* data, std::size_t size) {
  std::u16string name;
  for (std::size_t i = 0; i + 1 < size; i += 2) name += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  const std::u16string tomtom = qf::QueryWindowsName(name);
  const bool carried = std::none_of(name.begin(), name.end(), [](char16_t c) {
    return c == u'}' || (c >= 0xA001 && c <= 0xF000);
  });
  if (carried && qf::QueryTomTomName(tomtom) != name) __builtin_trap();
  const std::u16string windows = qf::QueryTomTomName(name);
  const std::size_t folderEnd = name.find_last_of(u"/\\") + 1;
  auto separators = [&](std::u16string_view text) {
    return std::count_if(text.begin() + static_cast<std::ptrdiff_t>(folderEnd), text.end(),
                         [](char16_t c) { return c == u'/' || c == u'\\' || c == 0; });
  };
  if (!windows.starts_with(name.substr(0, folderEnd)) || separators(windows) != separators(name)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  CheckNameTranslation(data, size);
  const Scratch& scratch = TheScratch();
  MakeEntries(scratch, data + 2, size - 2);
  // Any format; a run converts to those it has an extension for.
  const qf::FileFormat target = qf::FormatRows()[data[0] % qf::FormatRows().size()].format;
  if (!qf::ConversionExtension(target).empty()) CheckConversion(scratch, target, data[1]);
  CheckTranslation(scratch, qf::NameDirection::ToTomTom);
  CheckTranslation(scratch, qf::NameDirection::ToWindows);
  return 0;
}
