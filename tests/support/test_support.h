#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/poi_document.h"
#include "core/user_port.h"

namespace qf::test {

// A user who answers from a script and remembers what was asked and shown.
class ScriptedUserPort : public UserPort {
 public:
  std::deque<DuplicateAnswer> duplicateAnswers;  // empty: "Retain"
  std::deque<bool> confirmAnswers;               // empty: Cancel
  std::deque<OverwriteAnswer> overwriteAnswers;  // empty: No
  std::vector<std::u16string> askedNames;
  std::vector<std::u16string> overwritePaths;
  std::vector<int> confirmIds;
  std::vector<std::pair<int, std::u16string>> messages;
  std::vector<Severity> severities;  // of the messages, in the same order
  int progressCalls = 0;
  int lastPercent = -1;

  DuplicateAnswer askDuplicateName(std::u16string_view name) override;
  OverwriteAnswer askOverwrite(std::u16string_view path) override;
  bool confirm(MessageId id, std::u16string_view text) override;
  void showMessage(MessageId id, Severity severity, std::u16string_view text) override;
  void progress(std::u16string_view text, int percent) override;
  bool cancelRequested() override { return false; }
};

// The five texts of a row, for comparing documents in tests.
struct Poi {
  std::u16string name;
  std::u16string lng;
  std::u16string lat;
  std::u16string tel;
  std::u16string memo;
  bool operator==(const Poi&) const = default;
  friend void PrintTo(const Poi& poi, std::ostream* out);
};
std::vector<Poi> Pois(const PoiDocument& document);
// The Name column, top to bottom.
std::vector<std::u16string> Names(const PoiDocument& document);

// A user who says Esc after the given number of polls.
class CancellingPort : public ScriptedUserPort {
 public:
  explicit CancellingPort(int polls) : polls_(polls) {}
  bool cancelRequested() override { return polls_-- <= 0; }

 private:
  int polls_;
};

std::filesystem::path CorpusPath(std::string_view relative);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
// "02 18 00" → bytes; blanks are ignored.
std::vector<std::uint8_t> Hex(std::string_view hex);
// A POI as GPSBabel, the common peer of TomTom and Garmin users, reads it.
struct GpsbabelPoi {
  std::string name;
  double longitude;
  double latitude;
};
// Runs gpsbabel with these arguments; its exit status.
int Gpsbabel(const std::string& arguments);
// What GPSBabel reads from a file in its input format `format` (e.g. "tomtom", "garmin_gpi").
std::vector<GpsbabelPoi> ReadWithGpsbabel(const std::filesystem::path& file, const std::string& format);

// A fresh, empty folder under the system temp folder, removed at process exit.
std::filesystem::path TempDir();

}  // namespace qf::test
