#include "core/profile_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <system_error>
#include <utility>

#include "core/atomic_file.h"
#include "core/regular_file.h"

namespace qf {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsQuoted(std::string_view text) {
  return text.size() >= 2 && text.front() == text.back() && (text.front() == '"' || text.front() == '\'');
}

// A stored value loses surrounding blanks and one pair of enclosing quotes when it is read.
std::string DecodeValue(std::string_view text) {
  text = Trim(text);
  if (IsQuoted(text)) text = text.substr(1, text.size() - 2);
  return std::string(text);
}

// Quotes a value that reading would otherwise change, so that every value comes back exactly as set.
std::string EncodeValue(std::string_view value) {
  const bool protect = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || IsQuoted(value));
  return protect ? "\"" + std::string(value) + "\"" : std::string(value);
}

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

// The key of a key line: the text before the first '=', trimmed.
std::string_view KeyOf(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  return Trim(trimmed.substr(0, trimmed.find('=')));
}

std::string ValueOf(std::string_view line) { return DecodeValue(line.substr(line.find('=') + 1)); }

// The length of a run of lines up to the end of its last non-blank line; 0 when every line is blank.
std::size_t NonBlankLength(std::string_view run) {
  const std::size_t last = run.find_last_not_of(" \t\r\v\f\n");
  if (last == std::string_view::npos) return 0;
  return std::min(run.find('\n', last), run.size());
}

// Reads at most kMaxProfileSize bytes, however large the file claims or grows to be.
ProfileLoad ReadBounded(int fd, std::string& text) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return ProfileLoad::Unreadable;
    if (count == 0) return ProfileLoad::Read;
    if (text.size() + static_cast<std::size_t>(count) > kMaxProfileSize) return ProfileLoad::TooLarge;
    text.append(buffer, static_cast<std::size_t>(count));
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int ParseProfileInt(std::string_view text, int fallback) {
  if (text.empty()) return fallback;
  const bool negative = text.front() == '-';
  if (negative || text.front() == '+') text.remove_prefix(1);
  constexpr std::int64_t kLimit = std::int64_t{INT_MAX} + 1;
  std::int64_t magnitude = 0;
  for (std::size_t i = 0; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  return static_cast<int>(negative ? -magnitude : std::min<std::int64_t>(magnitude, INT_MAX));
}

}  // namespace

ProfileLoad ProfileFile::load(const std::filesystem::path& path) {
  parse({});
  const ReadableFile file(path);
  if (file.fd() < 0) {
    if (file.reason() == std::errc::no_such_file_or_directory) return ProfileLoad::Missing;
    return file.notRegular() ? ProfileLoad::NotAFile : ProfileLoad::Unreadable;
  }
  if (file.size() > kMaxProfileSize) return ProfileLoad::TooLarge;
  std::string text;
  const ProfileLoad result = ReadBounded(file.fd(), text);
  if (result == ProfileLoad::Read) parse(text);
  return result;
}

void ProfileFile::parse(std::string_view text) {
  sections_.assign(1, Section{});
  while (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    addLine(line);
  }
}

void ProfileFile::addLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  const std::size_t close = trimmed.rfind(']');
  if (trimmed.starts_with('[') && close != std::string_view::npos) {
    sections_.push_back({.name = std::string(trimmed.substr(1, close - 1)), .header = std::string(line)});
    return;
  }
  std::vector<Line>& lines = sections_.back().lines;
  const bool isKey = !trimmed.starts_with(';') && trimmed.find('=') != std::string_view::npos;
  if (!isKey && !lines.empty() && !lines.back().isKey) {
    lines.back().text.append(1, '\n').append(line);
  } else {
    lines.push_back({.text = std::string(line), .isKey = isKey});
  }
}

std::string ProfileFile::text() const {
  std::string out;
  for (const Section& section : sections_) {
    if (section.cleared && section.lines.empty()) continue;
    if (!section.header.empty()) out.append(section.header).push_back('\n');
    for (const Line& line : section.lines) out.append(line.text).push_back('\n');
  }
  return out;
}

bool ProfileFile::save(const std::filesystem::path& path) const {
  std::error_code error;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
  AtomicFile file;
  const std::string content = text();
  return file.open(path) && file.write(content.data(), content.size()) && file.commit();
}

ProfileFile::Section* ProfileFile::findSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const ProfileFile::Section* ProfileFile::findSection(std::string_view name) const {
  for (const Section& section : sections_) {
    if (!section.header.empty() && EqualsIgnoringCase(section.name, name)) return &section;
  }
  return nullptr;
}

const ProfileFile::Line* ProfileFile::findKey(std::string_view section, std::string_view key) const {
  const Section* found = findSection(section);
  if (found == nullptr) return nullptr;
  for (const Line& line : found->lines) {
    if (line.isKey && EqualsIgnoringCase(KeyOf(line.text), key)) return &line;
  }
  return nullptr;
}

std::string ProfileFile::getString(std::string_view section, std::string_view key, std::string_view fallback) const {
  const Line* line = findKey(section, key);
  return line != nullptr ? ValueOf(line->text) : std::string(fallback);
}

int ProfileFile::getInt(std::string_view section, std::string_view key, int fallback) const {
  const Line* line = findKey(section, key);
  return line != nullptr ? ParseProfileInt(ValueOf(line->text), fallback) : fallback;
}

void ProfileFile::setString(std::string_view section, std::string_view key, std::string_view value) {
  std::string cleaned(value);
  std::ranges::replace(cleaned, '\n', ' ');
  if (auto* line = const_cast<Line*>(findKey(section, key))) {
    line->text = std::string(KeyOf(line->text)) + "=" + EncodeValue(cleaned);
    return;
  }
  Section* target = findSection(section);
  if (target == nullptr) {
    target = &sections_.emplace_back(Section{.name = std::string(section), .header = "[" + std::string(section) + "]"});
  }
  const auto place = static_cast<std::ptrdiff_t>(placeForNewKey(target->lines));
  target->lines.insert(target->lines.begin() + place,
                       {.text = std::string(key) + "=" + EncodeValue(cleaned), .isKey = true});
}

// After the section's last non-blank line, so blank lines that separate it from the next section stay last.
// Only the last entry can hold that line's end: a run of other lines is split there.
std::size_t ProfileFile::placeForNewKey(std::vector<Line>& lines) {
  if (lines.empty() || lines.back().isKey) return lines.size();
  std::string& run = lines.back().text;
  const std::size_t kept = NonBlankLength(run);
  if (kept == 0) return lines.size() - 1;
  if (kept == run.size()) return lines.size();
  Line blankTail{.text = run.substr(kept + 1)};
  run.resize(kept);
  lines.push_back(std::move(blankTail));
  return lines.size() - 1;
}

void ProfileFile::setInt(std::string_view section, std::string_view key, int value) {
  setString(section, key, std::to_string(value));
}

void ProfileFile::removeKey(std::string_view section, std::string_view key) {
  Section* found = findSection(section);
  if (found == nullptr) return;
  std::vector<Line>& lines = found->lines;
  auto line =
      std::ranges::find_if(lines, [&](const Line& l) { return l.isKey && EqualsIgnoringCase(KeyOf(l.text), key); });
  if (line == lines.end()) return;
  line = lines.erase(line);
  // The runs of other lines around the key become one.
  if (line != lines.begin() && line != lines.end() && !line->isKey && !std::prev(line)->isKey) {
    std::prev(line)->text.append(1, '\n').append(line->text);
    lines.erase(line);
  }
}

void ProfileFile::clearSection(std::string_view section) {
  for (Section& candidate : sections_) {
    if (candidate.header.empty() || !EqualsIgnoringCase(candidate.name, section)) continue;
    candidate.lines.clear();
    candidate.cleared = true;
  }
}

}  // namespace qf
