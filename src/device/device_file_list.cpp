#include "device/device_file_list.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <memory>
#include <numeric>

#include "core/unicode.h"

namespace qf {

namespace {

constexpr std::u16string_view kFavorites = u"Favorites";

// Natural order: digits by value, case ignored.
std::unique_ptr<icu::Collator> NaturalCollator() {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) return nullptr;
  collator->setStrength(icu::Collator::SECONDARY);
  collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
  return collator;
}

std::string SortKey(const icu::Collator& collator, std::u16string_view text) {
  const auto* chars = reinterpret_cast<const UChar*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::string key(64, '\0');
  auto* bytes = reinterpret_cast<std::uint8_t*>(key.data());
  std::int32_t size = collator.getSortKey(chars, length, bytes, static_cast<std::int32_t>(key.size()));
  if (size > static_cast<std::int32_t>(key.size())) {
    key.resize(static_cast<std::size_t>(size));
    bytes = reinterpret_cast<std::uint8_t*>(key.data());
    size = collator.getSortKey(chars, length, bytes, size);
  }
  key.resize(static_cast<std::size_t>(std::max(size, 0)));
  return key;
}

// Rows [first, end) in ascending order of `keys` (one per row), reversed for a descending sort.
template <typename Key>
void SortByKeys(std::vector<DeviceFileRow>& rows, std::size_t first, const std::vector<Key>& keys, bool ascending) {
  std::vector<std::size_t> order(rows.size() - first);
  std::iota(order.begin(), order.end(), first);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return ascending ? keys[a] < keys[b] : keys[b] < keys[a];
  });
  std::vector<DeviceFileRow> sorted;
  sorted.reserve(rows.size());
  for (std::size_t row = 0; row < first; ++row) sorted.push_back(std::move(rows[row]));
  for (const std::size_t row : order) sorted.push_back(std::move(rows[row]));
  rows = std::move(sorted);
}

}  // namespace

std::vector<DeviceFileRow> DeviceFileRows(const DeviceListing& listing) {
  const std::vector<DeviceListingEntry>& files = listing.lists[static_cast<std::size_t>(DeviceFileKind::Ov2)];
  const std::u16string favorites = FoldCase(kFavorites);
  std::vector<DeviceFileRow> rows;
  rows.reserve(files.size());
  bool favoritesSeen = false;
  for (std::size_t position = 0; position < files.size(); ++position) {
    const DeviceListingEntry& entry = files[position];
    DeviceEntryCells cells = CellsAfter(listing, entry.after);
    DeviceFileRow row{entry.name, std::move(cells.date), std::move(cells.size), {}, static_cast<int>(position), false};
    for (std::size_t companion = 0; companion < row.companions.size(); ++companion) {
      row.companions[companion] = listing.holds(static_cast<DeviceFileKind>(companion + 1), entry.name);
    }
    if (!favoritesSeen && FoldCase(entry.name) == favorites) {
      favoritesSeen = row.favorites = true;
      rows.insert(rows.begin(), std::move(row));
    } else {
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

int SortableRowCount(const std::vector<DeviceFileRow>& rows) {
  const bool favorites = !rows.empty() && rows.front().favorites;
  return static_cast<int>(rows.size()) - (favorites ? 1 : 0);
}

void SortDeviceFileRows(std::vector<DeviceFileRow>& rows, DeviceFileColumn column, bool ascending) {
  const std::size_t first = !rows.empty() && rows.front().favorites ? 1 : 0;
  const auto keysOf = [&rows, first](auto key) {
    std::vector<decltype(key(rows.front()))> keys(rows.size());
    for (std::size_t row = first; row < rows.size(); ++row) keys[row] = key(rows[row]);
    return keys;
  };
  if (rows.size() <= first) return;
  switch (column) {
    case DeviceFileColumn::Name: {
      const std::unique_ptr<icu::Collator> collator = NaturalCollator();
      if (!collator) return;
      SortByKeys(rows, first, keysOf([&collator](const DeviceFileRow& row) {
                   return std::pair(SortKey(*collator, row.name), row.name);
                 }),
                 ascending);
      break;
    }
    case DeviceFileColumn::Date:
      SortByKeys(rows, first, keysOf([](const DeviceFileRow& row) { return row.position; }), ascending);
      break;
    case DeviceFileColumn::Size:
      SortByKeys(rows, first, keysOf([](const DeviceFileRow& row) { return DeviceSizeValue(row.size); }), ascending);
      break;
    default: {
      const auto companion = static_cast<std::size_t>(static_cast<int>(column) - kFirstCompanionColumn);
      SortByKeys(rows, first, keysOf([companion](const DeviceFileRow& row) { return row.companions[companion]; }),
                 ascending);
      break;
    }
  }
}

double DeviceSizeValue(std::u16string_view text) {
  const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  const auto start = std::find_if(text.begin(), text.end(), digit);
  double value = 0;
  auto at = start;
  for (; at != text.end() && digit(*at); ++at) value = value * 10 + (*at - u'0');
  if (at != text.end() && *at == u'.') {
    double scale = 0.1;
    for (++at; at != text.end() && digit(*at); ++at, scale /= 10) value += (*at - u'0') * scale;
  }
  if (text.find_first_of(u"kK") != std::u16string_view::npos) return value * 1024;
  if (text.find_first_of(u"mM") != std::u16string_view::npos) return value * 1048576;
  return value;
}

}  // namespace qf
