#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace qf {

enum Column : int { kName = 0, kLng = 1, kLat = 2, kTel = 3, kMemo = 4, kDistance = 5 };
inline constexpr int kColumnCount = 6;

// Distance keys with a meaning of their own.
inline constexpr std::int32_t kNoDistance = 2147483647;
inline constexpr std::int32_t kBaseRowKey = -2147483647 - 1;

using RowId = std::uint32_t;

// One row of the document. The six texts live in one allocation (lengths, then
// characters) so that a million rows stay compact and cheap to move.
class PoiRecord {
 public:
  PoiRecord() = default;
  explicit PoiRecord(RowId id) : id_(id) {}
  PoiRecord(const PoiRecord& other);
  PoiRecord& operator=(const PoiRecord& other);
  PoiRecord(PoiRecord&&) noexcept = default;
  PoiRecord& operator=(PoiRecord&&) noexcept = default;

  std::u16string_view text(int column) const;
  // Stores a text as it is; the field rules decide what may be stored.
  void setText(int column, std::u16string_view text);
  // Reserves room for texts still to come, so that filling a new row costs one allocation.
  void reserve(std::size_t characters);

  RowId id() const { return id_; }
  // Where the texts are held, for callers that fetch many rows into the cache ahead of use.
  const void* storage() const { return block_.get(); }

  std::int32_t distanceKey = 0;
  bool selected = false;
  bool focused = false;

 private:
  // block_[0] is the capacity in characters, block_[1 + column] the length of a text,
  // and the texts follow one after the other.
  static constexpr std::size_t kHeaderUnits = 1 + kColumnCount;

  std::size_t capacity() const { return block_ ? block_[0] : 0; }
  std::size_t length(int column) const { return block_[1 + column]; }
  std::size_t offset(int column) const;
  std::size_t totalLength() const;
  void reallocate(std::size_t capacity);

  std::unique_ptr<char16_t[]> block_;
  RowId id_ = 0;
};

}  // namespace qf
