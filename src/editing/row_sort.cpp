#include "editing/row_sort.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <thread>

#include "core/coordinates.h"

namespace qf {

namespace {

// The user's locale; without one (the C locale) the root order, as the POSIX order puts every
// capital before every small letter.
icu::Locale CollationLocale() {
  const icu::Locale& locale = icu::Locale::getDefault();
  return std::strcmp(locale.getName(), "en_US_POSIX") == 0 ? icu::Locale::getRoot() : locale;
}

std::unique_ptr<icu::Collator> NewCollator(icu::Collator::ECollationStrength strength) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(CollationLocale(), status));
  collator->setStrength(strength);
  return collator;
}

// Sort keys of many texts in one block: a key is compared with memcmp.
class SortKeys {
 public:
  std::string_view key(int row) const {
    const std::size_t begin = offsets_[static_cast<std::size_t>(row)];
    return std::string_view(bytes_).substr(begin, offsets_[static_cast<std::size_t>(row) + 1] - begin);
  }

  // Natural order: digits by value, case ignored.
  void build(const PoiDocument& document, int column, int first, int last) {
    const std::unique_ptr<icu::Collator> natural = NewCollator(icu::Collator::SECONDARY);
    UErrorCode status = U_ZERO_ERROR;
    natural->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    offsets_.assign(1, 0);
    std::vector<std::uint8_t> buffer(256);
    for (int row = first; row < last; ++row) {
      append(*natural, document.text(row, column), buffer);
      offsets_.push_back(bytes_.size());
    }
  }

 private:
  void append(const icu::Collator& collator, std::u16string_view text, std::vector<std::uint8_t>& buffer) {
    const auto* chars = reinterpret_cast<const UChar*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t size = collator.getSortKey(chars, length, buffer.data(), static_cast<std::int32_t>(buffer.size()));
    if (size > static_cast<std::int32_t>(buffer.size())) {
      buffer.resize(static_cast<std::size_t>(size));
      size = collator.getSortKey(chars, length, buffer.data(), size);
    }
    bytes_.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(size));
  }

  std::string bytes_;
  std::vector<std::size_t> offsets_;
};

// Keys of the rows [first, last) on two cores: collation keys cost more than the sort itself.
std::vector<std::string_view> TextKeys(const PoiDocument& document, int column, int first, int last,
                                       SortKeys (&halves)[2]) {
  const int middle = first + (last - first) / 2;
  {
    std::jthread worker([&] { halves[1].build(document, column, middle, last); });
    halves[0].build(document, column, first, middle);
  }
  std::vector<std::string_view> keys(static_cast<std::size_t>(document.rowCount()));
  for (int row = first; row < last; ++row) {
    keys[static_cast<std::size_t>(row)] = row < middle ? halves[0].key(row - first) : halves[1].key(row - middle);
  }
  return keys;
}

// Coordinates by value; an empty cell before every value.
std::vector<double> CoordinateKeys(const PoiDocument& document, int column, int first, int last) {
  std::vector<double> keys(static_cast<std::size_t>(document.rowCount()));
  for (int row = first; row < last; ++row) {
    const std::u16string_view text = document.text(row, column);
    keys[static_cast<std::size_t>(row)] =
        text.empty() ? -std::numeric_limits<double>::infinity() : CoordinateToDegrees(text, document.display);
  }
  return keys;
}

// A stable sort of the two halves on two cores, then one merge.
template <typename Key>
void SortBy(std::vector<int>& order, std::vector<int>::iterator begin, const std::vector<Key>& keys, bool ascending) {
  const auto less = [&](int a, int b) {
    const Key& x = keys[static_cast<std::size_t>(a)];
    const Key& y = keys[static_cast<std::size_t>(b)];
    return ascending ? x < y : y < x;
  };
  const auto middle = begin + (order.end() - begin) / 2;
  {
    std::jthread worker([&] { std::stable_sort(middle, order.end(), less); });
    std::stable_sort(begin, middle, less);
  }
  std::inplace_merge(begin, middle, order.end(), less);
}

// Texts equal in natural order go in the locale's order with case; such runs are short, so their
// texts are compared directly instead of keyed.
void BreakTies(const PoiDocument& document, int column, std::vector<int>& order, int first,
               const std::vector<std::string_view>& keys, bool ascending) {
  const std::unique_ptr<icu::Collator> withCase = NewCollator(icu::Collator::TERTIARY);
  const auto key = [&](int row) { return keys[static_cast<std::size_t>(row)]; };
  for (auto run = order.begin() + first; run != order.end();) {
    const auto end = std::find_if(run + 1, order.end(), [&](int row) { return key(row) != key(*run); });
    if (end - run > 1) {
      std::stable_sort(run, end, [&](int a, int b) {
        const std::u16string_view x = document.text(ascending ? a : b, column);
        const std::u16string_view y = document.text(ascending ? b : a, column);
        UErrorCode status = U_ZERO_ERROR;
        return withCase->compare(reinterpret_cast<const UChar*>(x.data()), static_cast<std::int32_t>(x.size()),
                                 reinterpret_cast<const UChar*>(y.data()), static_cast<std::int32_t>(y.size()),
                                 status) == UCOL_LESS;
      });
    }
    run = end;
  }
}

}  // namespace

std::vector<int> SortedOrder(const PoiDocument& document, int column, bool ascending) {
  std::vector<int> order(static_cast<std::size_t>(document.rowCount()));
  std::iota(order.begin(), order.end(), 0);
  const int first = document.basePointPinned && !order.empty() ? 1 : 0;
  const int last = document.rowCount();
  const auto begin = order.begin() + first;
  switch (column) {
    case kLng:
    case kLat:
      SortBy(order, begin, CoordinateKeys(document, column, first, last), ascending);
      break;
    case kDistance: {
      std::vector<std::int32_t> keys(order.size());
      for (int row = first; row < last; ++row) {
        keys[static_cast<std::size_t>(row)] = document.rows[static_cast<std::size_t>(row)].distanceKey;
      }
      SortBy(order, begin, keys, ascending);
      break;
    }
    default: {
      SortKeys halves[2];
      const std::vector<std::string_view> keys = TextKeys(document, column, first, last, halves);
      SortBy(order, begin, keys, ascending);
      BreakTies(document, column, order, first, keys, ascending);
      break;
    }
  }
  return order;
}

}  // namespace qf
