#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qf {

// An INI-style settings file with the semantics of the classic profile functions: "[Section]" headers,
// "Key=Value" lines (names may contain blanks and compare without regard to ASCII case), values trimmed of
// surrounding blanks and of one pair of enclosing quotes, integers read from their leading decimal digits.
// Everything else in the file (comments, unknown sections and keys, their order and spelling) is kept, so a
// load and save round trip changes only the keys that were set. Text is UTF-8; values are passed as bytes.
// What loading a settings file found.
enum class ProfileLoad {
  Read,
  Missing,     // nothing there yet: a first run
  NotAFile,    // a folder, a pipe, a device
  TooLarge,    // above kMaxProfileSize
  Unreadable,  // denied, or the read failed
};
// True when the profile stands for the whole file, so that saving it loses nothing.
inline bool MaySaveOver(ProfileLoad load) { return load == ProfileLoad::Read || load == ProfileLoad::Missing; }

// Settings files are a few kilobytes; anything far larger is not ours and would only cost time and memory.
inline constexpr std::size_t kMaxProfileSize = 1024 * 1024;

class ProfileFile {
 public:
  // Reads the file without ever blocking (a pipe is not opened for reading); anything but Read leaves an
  // empty profile, and the caller should then not save over the file unless MaySaveOver says so.
  ProfileLoad load(const std::filesystem::path& path);
  // Takes the file's text from memory; any bytes are accepted (lines end in LF or CRLF, a UTF-8 BOM is skipped).
  // Time and memory are linear in the text.
  void parse(std::string_view text);
  std::string text() const;
  // Writes the file atomically, creating its folder when needed; false when it could not be written.
  bool save(const std::filesystem::path& path) const;

  // Whether the key is there, even with an empty value.
  bool hasKey(std::string_view section, std::string_view key) const { return findKey(section, key) != nullptr; }
  // The value of the first matching key of the first matching section, or `fallback` when there is none.
  std::string getString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The value as an integer: optional sign and leading decimal digits, the rest ignored ("12abc" is 12,
  // "abc" is 0); a missing key or an empty value gives `fallback`. Values beyond the int range saturate.
  int getInt(std::string_view section, std::string_view key, int fallback) const;

  // Replaces the key's value in place, or adds the key after the section's last key (and the section at the
  // end of the file when it is new). Line breaks in a value become blanks. Section and key names are the
  // program's own: they must not contain '=', ']' or line breaks.
  void setString(std::string_view section, std::string_view key, std::string_view value);
  void setInt(std::string_view section, std::string_view key, int value);
  void removeKey(std::string_view section, std::string_view key);
  // Removes every key of the section; a section left empty this way is not written at all.
  void clearSection(std::string_view section);

 private:
  // One key line, or a run of other lines (comments, blank lines, stray text) joined by '\n', so that
  // lookups pass over them in one step however many there are.
  struct Line {
    std::string text{};  // as in the file, rewritten when the value is set
    bool isKey = false;
  };
  struct Section {
    std::string name{};
    std::string header{};  // the header line as written; empty for the lines before the first header
    bool cleared = false;  // emptied by clearSection: left out of the file until keys are set again
    std::vector<Line> lines{};  // no two runs of other lines follow each other
  };

  Section* findSection(std::string_view name);
  const Section* findSection(std::string_view name) const;
  const Line* findKey(std::string_view section, std::string_view key) const;
  void addLine(std::string_view line);
  static std::size_t placeForNewKey(std::vector<Line>& lines);

  std::vector<Section> sections_ = std::vector<Section>(1);  // [0]: the lines before the first header
};

}  // namespace qf
