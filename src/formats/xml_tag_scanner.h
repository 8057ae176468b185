#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace qf {

// The tolerant tag scanning of KML and GPX files: tags found in the raw UTF-8 bytes, without
// regard to case, and the character references of element texts.

inline constexpr std::size_t kNotFound = std::string_view::npos;

// Bytes a scan for a closing tag steps over at once, so that a tag is never matched
// inside a multi-byte character. Four-byte characters (emoji) count four: stepping three
// would land on their last byte and jump over a tag right after them.
inline std::size_t CharacterBytes(std::uint8_t lead) {
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0x80 ? 2 : 1;
}

// The file's bytes as the tag scanners see them. Tags are given in lower case and matched
// without regard to case; a tag found before a limit lies wholly before it.
class TagScanner {
 public:
  explicit TagScanner(std::span<const std::uint8_t> bytes)
      : text_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {}

  std::size_t size() const { return text_.size(); }
  char at(std::size_t pos) const { return pos < text_.size() ? text_[pos] : '\0'; }
  std::string_view slice(std::size_t from, std::size_t to) const { return text_.substr(from, to - from); }

  bool isAt(std::size_t pos, std::string_view tag, std::size_t limit) const {
    if (pos + tag.size() > limit) return false;
    for (std::size_t i = 0; i < tag.size(); ++i) {
      if (AsciiLower(text_[pos + i]) != tag[i]) return false;
    }
    return true;
  }

  // The first occurrence of the tag in [from, limit), byte by byte.
  std::size_t find(std::string_view tag, std::size_t from, std::size_t limit) const {
    while (from < limit) {
      const void* hit = std::memchr(text_.data() + from, tag[0], limit - from);
      if (hit == nullptr) return kNotFound;
      const auto pos = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
      if (isAt(pos, tag, limit)) return pos;
      from = pos + 1;
    }
    return kNotFound;
  }

  // The same for a closing tag, stepping over multi-byte characters: the steps start at `from`
  // and go from character to character.
  std::size_t scanTo(std::string_view tag, std::size_t from, std::size_t limit) const {
    const auto single = [](char c) { return static_cast<std::uint8_t>(c) < 0x80; };
    std::size_t pos = from;  // always on a step
    while (pos < limit) {
      const void* hit = std::memchr(text_.data() + pos, tag[0], limit - pos);
      if (hit == nullptr) return kNotFound;
      const auto candidate = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
      // A byte below 0x80 is a character of its own, and no character is longer than four bytes:
      // when the three bytes before the candidate are single, a step lands on it.
      const std::size_t checked = candidate - std::min<std::size_t>(3, candidate - pos);
      if (std::all_of(text_.begin() + static_cast<std::ptrdiff_t>(checked),
                      text_.begin() + static_cast<std::ptrdiff_t>(candidate), single)) {
        pos = candidate;
      } else {
        while (pos < candidate) pos += CharacterBytes(static_cast<std::uint8_t>(text_[pos]));
        if (pos != candidate) continue;  // the candidate lies inside a character
      }
      if (isAt(pos, tag, limit)) return pos;
      ++pos;
    }
    return kNotFound;
  }

  // Gives back the memory of bytes no scan reads again.
  void release(std::size_t from, std::size_t to) const;
  // Gives back the memory of bytes a scan may still read, where they can be read again from the file.
  void releaseIfMapped(std::size_t from, std::size_t to) const;

  // Just after the `>` of a start tag whose name ends at `pos`.
  std::size_t endOfStartTag(std::size_t pos, std::size_t limit) const {
    if (at(pos) == '>') return pos + 1;
    const std::size_t close = find(">", pos, limit);
    return close == kNotFound ? kNotFound : close + 1;
  }

 private:
  static char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

  std::string_view text_;
};

// Whether the file holds an element whose start tag begins with `start`, such as "<kml".
bool HasElement(const TagScanner& scan, std::string_view start);

// Element text that is one CDATA section stands for its inside.
std::string_view WithoutCdata(std::string_view text);

// The longest character reference a text may hold.
inline constexpr std::size_t kLongestReference = 6;

// Replaces the five character references a file may hold (&amp; &lt; &gt; &quot; &nbsp;) by
// the characters they stand for; other `&` sequences stay as they are.
void DecodeReferences(std::u16string& text);

// Cuts a text to a number of characters, a reference counting as the one it stands for, so that a
// full-length text keeps its length through the references the writers put in; neither a reference
// nor a surrogate pair is cut in two.
void CutCountingReferences(std::u16string& text, std::size_t limit);

// Text for an element's content: the four reserved characters as references, in UTF-8.
void AppendEncoded(std::string& out, std::u16string_view text);

}  // namespace qf
