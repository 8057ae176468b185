#include "core/profile_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <system_error>
#include <utility>

#include "core/atomic_file.h"

namespace qf {
namespace {

// Larger files are not ours; reading them would only cost memory.
constexpr std::uintmax_t kMaxFileSize = 16 * 1024 * 1024;

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

bool ProfileFile::load(const std::filesystem::path& path) {
  parse({});
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return true;
  if (!std::filesystem::is_regular_file(status)) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kMaxFileSize) return false;
  std::ifstream in(path, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!in.read(text.data(), static_cast<std::streamsize>(size))) return false;
  parse(text);
  return true;
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
  Line entry{.text = std::string(line)};
  const std::size_t equals = trimmed.find('=');
  if (!trimmed.starts_with(';') && equals != std::string_view::npos) {
    entry.key = Trim(trimmed.substr(0, equals));
    entry.value = DecodeValue(trimmed.substr(equals + 1));
    entry.isKey = true;
  }
  sections_.back().lines.push_back(std::move(entry));
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
    if (line.isKey && EqualsIgnoringCase(line.key, key)) return &line;
  }
  return nullptr;
}

std::string ProfileFile::getString(std::string_view section, std::string_view key, std::string_view fallback) const {
  const Line* line = findKey(section, key);
  return line != nullptr ? line->value : std::string(fallback);
}

int ProfileFile::getInt(std::string_view section, std::string_view key, int fallback) const {
  const Line* line = findKey(section, key);
  return line != nullptr ? ParseProfileInt(line->value, fallback) : fallback;
}

void ProfileFile::setString(std::string_view section, std::string_view key, std::string_view value) {
  std::string cleaned(value);
  std::ranges::replace(cleaned, '\n', ' ');
  if (auto* line = const_cast<Line*>(findKey(section, key))) {
    line->text = line->key + "=" + EncodeValue(cleaned);
    line->value = std::move(cleaned);
    return;
  }
  Section* target = findSection(section);
  if (target == nullptr) {
    target = &sections_.emplace_back(Section{.name = std::string(section), .header = "[" + std::string(section) + "]"});
  }
  // After the section's last non-blank line, so blank lines that separate it from the next section stay last.
  auto last = std::find_if(target->lines.rbegin(), target->lines.rend(),
                           [](const Line& line) { return !Trim(line.text).empty(); });
  Line entry{
      .text = std::string(key) + "=" + EncodeValue(cleaned), .key = std::string(key), .value = cleaned, .isKey = true};
  target->lines.insert(last.base(), std::move(entry));
}

void ProfileFile::setInt(std::string_view section, std::string_view key, int value) {
  setString(section, key, std::to_string(value));
}

void ProfileFile::removeKey(std::string_view section, std::string_view key) {
  Section* found = findSection(section);
  if (found == nullptr) return;
  auto line =
      std::ranges::find_if(found->lines, [&](const Line& l) { return l.isKey && EqualsIgnoringCase(l.key, key); });
  if (line != found->lines.end()) found->lines.erase(line);
}

void ProfileFile::clearSection(std::string_view section) {
  for (Section& candidate : sections_) {
    if (candidate.header.empty() || !EqualsIgnoringCase(candidate.name, section)) continue;
    candidate.lines.clear();
    candidate.cleared = true;
  }
}

}  // namespace qf
