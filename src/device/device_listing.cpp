#include "device/device_listing.h"

#include <algorithm>
#include <optional>

#include "core/string_table.h"
#include "core/unicode.h"
#include "formats/xml_tag_scanner.h"

namespace qf {

namespace {

constexpr std::size_t kLongestLinkText = 255;
constexpr std::size_t kLongestDate = 63;
constexpr std::size_t kLongestSize = 31;
constexpr std::u16string_view kLinkEnd = u"</a>";
constexpr std::u16string_view kCellStart = u"<td>";

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// Whether `text` at `at` holds `lower` (ASCII, lower case), in any case.
bool MatchesIgnoringCase(std::u16string_view text, std::size_t at, std::u16string_view lower) {
  if (text.size() - at < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    if (AsciiLower(text[at + i]) != lower[i]) return false;
  }
  return true;
}

std::size_t FindIgnoringCase(std::u16string_view text, std::u16string_view lower, std::size_t from) {
  const char16_t first = lower.front();
  for (std::size_t at = from; at + lower.size() <= text.size(); ++at) {
    if (AsciiLower(text[at]) == first && MatchesIgnoringCase(text, at, lower)) return at;
  }
  return std::u16string_view::npos;
}

std::u16string_view TrimSpaces(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

std::u16string Ascii(std::string_view text) { return {text.begin(), text.end()}; }

// The list a file of extension `extension` goes to on `page`, or none.
std::optional<std::size_t> ListOf(std::u16string_view extension, ListingPage page) {
  switch (page) {
    case ListingPage::Pois:
      for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) {
        if (extension.size() == 3 && MatchesIgnoringCase(extension, 0, Ascii(kDeviceExtensions[kind]))) return kind;
      }
      return std::nullopt;
    case ListingPage::Dumps:
      return extension == u"bmp" ? std::optional<std::size_t>(0) : std::nullopt;
    case ListingPage::ScreenDump:
      return extension == u"png" ? std::optional<std::size_t>(0) : std::nullopt;
  }
  return std::nullopt;
}

// Adds the entry whose link text is `linkText`, if it names a file of the page.
void AddEntry(DeviceListing& listing, std::u16string_view linkText, std::size_t after, ListingPage page) {
  const std::size_t dot = linkText.rfind(u'.');
  if (dot == std::u16string_view::npos || dot + 1 == linkText.size()) return;
  const std::optional<std::size_t> list = ListOf(linkText.substr(dot + 1), page);
  if (!list) return;
  const std::u16string_view name = TrimSpaces(linkText.substr(0, dot));
  // The first interface also links its newest screenshot as "latest", a copy of one listed anyway.
  if (page == ListingPage::Dumps && name.size() == 6 && MatchesIgnoringCase(name, 0, u"latest")) return;
  listing.lists[*list].push_back({std::u16string(name), after});
}

}  // namespace

bool DeviceListing::holds(DeviceFileKind kind, std::u16string_view name) const {
  const auto& names = foldedNames[static_cast<std::size_t>(kind)];
  return std::binary_search(names.begin(), names.end(), FoldCase(name));
}

std::string_view ListingPath(ListingPage page) {
  switch (page) {
    case ListingPage::Pois:
      return "/personal/pois";
    case ListingPage::Dumps:
      return "/dumps";
    case ListingPage::ScreenDump:
      return "/personal/screendump";
  }
  return {};
}

DeviceListing ParseDeviceListing(std::string_view utf8, ListingPage page) {
  DeviceListing listing;
  Utf8ToUtf16(utf8, listing.text);
  const std::u16string_view text = listing.text;
  // Links into the folder: a quote, the folder's path and a slash.
  const std::u16string folder = Ascii(ListingPath(page)) + u'/';
  const std::u16string pattern = u'"' + folder;
  const std::u16string linkTextStart = LoadString(kLinkTextStart);
  for (std::size_t at = FindIgnoringCase(text, pattern, 0); at != std::u16string_view::npos;
       at = FindIgnoringCase(text, pattern, at)) {
    const std::size_t quoteEnd = text.find(linkTextStart, at + pattern.size());
    if (quoteEnd == std::u16string_view::npos) break;
    std::size_t start = quoteEnd + linkTextStart.size();
    // The first interface's link text repeats the path.
    if (page == ListingPage::Dumps && MatchesIgnoringCase(text, start, folder)) start += folder.size();
    const std::size_t end = text.find(kLinkEnd, start);
    if (end == std::u16string_view::npos) break;
    at = end + kLinkEnd.size();
    if (end - start <= kLongestLinkText) AddEntry(listing, text.substr(start, end - start), at, page);
  }
  for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) {
    auto& list = listing.lists[kind];
    std::reverse(list.begin(), list.end());
    auto& names = listing.foldedNames[kind];
    names.reserve(list.size());
    for (const DeviceListingEntry& entry : list) names.push_back(FoldCase(entry.name));
    std::sort(names.begin(), names.end());
  }
  return listing;
}

namespace {

// The content of the next cell after `from` that does not begin with a tag, decoded and trimmed;
// `from` moves past it. Empty, with `from` at the end, when there is none.
std::u16string NextTextCell(std::u16string_view text, std::size_t& from) {
  for (std::size_t at = FindIgnoringCase(text, kCellStart, from); at != std::u16string_view::npos;
       at = FindIgnoringCase(text, kCellStart, at)) {
    at += kCellStart.size();
    if (at < text.size() && text[at] == u'<') continue;
    const std::size_t end = std::min(text.find(u'<', at), text.size());
    from = end;
    std::u16string cell(text.substr(at, end - at));
    DecodeReferences(cell);
    return std::u16string(TrimSpaces(cell));
  }
  from = text.size();
  return {};
}

}  // namespace

DeviceEntryCells CellsAfter(const DeviceListing& listing, std::size_t after) {
  std::size_t from = std::min(after, listing.text.size());
  DeviceEntryCells cells{NextTextCell(listing.text, from), NextTextCell(listing.text, from)};
  if (cells.date.size() > kLongestDate) cells.date.clear();
  if (cells.size.size() > kLongestSize) cells.size.clear();
  return cells;
}

}  // namespace qf
