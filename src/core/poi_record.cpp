#include "core/poi_record.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace qf {

namespace {
constexpr std::size_t kMaxCapacity = 0xFFFF;
}

PoiRecord::PoiRecord(const PoiRecord& other)
    : distanceKey(other.distanceKey), selected(other.selected), focused(other.focused), id_(other.id_) {
  if (other.block_) {
    const std::size_t units = kHeaderUnits + other.capacity();
    block_ = std::make_unique_for_overwrite<char16_t[]>(units);
    std::memcpy(block_.get(), other.block_.get(), units * sizeof(char16_t));
  }
}

PoiRecord& PoiRecord::operator=(const PoiRecord& other) {
  if (this != &other) *this = PoiRecord(other);
  return *this;
}

std::size_t PoiRecord::offset(int column) const {
  std::size_t sum = 0;
  for (int c = 0; c < column; ++c) sum += length(c);
  return sum;
}

std::size_t PoiRecord::totalLength() const { return block_ ? offset(kColumnCount) : 0; }

std::u16string_view PoiRecord::text(int column) const {
  if (!block_) return {};
  return {block_.get() + kHeaderUnits + offset(column), length(column)};
}

void PoiRecord::reallocate(std::size_t wanted) {
  const std::size_t units = std::min(wanted, kMaxCapacity);
  auto block = std::make_unique_for_overwrite<char16_t[]>(kHeaderUnits + units);
  if (block_) {
    std::memcpy(block.get(), block_.get(), (kHeaderUnits + totalLength()) * sizeof(char16_t));
  } else {
    std::fill_n(block.get(), kHeaderUnits, u'\0');
  }
  block[0] = static_cast<char16_t>(units);
  block_ = std::move(block);
}

void PoiRecord::reserve(std::size_t characters) {
  const std::size_t wanted = totalLength() + characters;
  if (capacity() < wanted) reallocate(wanted);
}

void PoiRecord::setText(int column, std::u16string_view text) {
  if (column < 0 || column >= kColumnCount) throw std::out_of_range("PoiRecord column");
  if (!block_ && text.empty()) return;
  const std::size_t old = block_ ? length(column) : 0;
  const std::size_t others = totalLength() - old;
  text = text.substr(0, std::min(text.size(), kMaxCapacity - others));
  if (capacity() < others + text.size()) reallocate(others + text.size());
  char16_t* chars = block_.get() + kHeaderUnits;
  const std::size_t start = offset(column);
  const std::size_t tail = others - start;
  std::memmove(chars + start + text.size(), chars + start + old, tail * sizeof(char16_t));
  if (!text.empty()) std::memcpy(chars + start, text.data(), text.size() * sizeof(char16_t));
  block_[1 + column] = static_cast<char16_t>(text.size());
}

}  // namespace qf
