#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/little_endian.h"

namespace qf::ov2 {

// The byte each record starts with.
enum class RecordType : std::uint8_t {
  kDeleted = 0,
  kSkipper = 1,  // the box of the records after it, up to the end of its block
  kPoi = 2,
  kPoiWithExtraData = 3,
  kScrambledPoi = 15,
  kCompactPoi = 23,
  kRichPoi = 29,
  kCamera = 30,
  kSignalMark = 100,
};

// How a rich POI record holds its number and text, the byte at offset 10.
enum class RichEncoding : std::uint8_t {
  kNumberHuffman = 2,        // number at 11, Huffman-coded text from 14
  kPaddedNumberHuffman = 3,  // number at 12, Huffman-coded text from 14
  kCodes = 5,                // no number, character codes from 12
  kNumberCodes = 6,          // number at 11, character codes from 14
  kPaddedNumberCodes = 7,    // number at 12, character codes from 15
  kNumberBaseOffset = 10,    // number at 11, base-offset text from 14
};

inline constexpr std::size_t kHeaderBytes = 5;
inline constexpr std::size_t kSkipperBytes = 21;
inline constexpr std::size_t kCameraBytes = 11;
// Where the text field of a POI record starts (types 2, 3 and 15).
inline constexpr std::size_t kPoiTextOffset = 13;
// A compact record's head (type, text length, position) comes before its text.
inline constexpr std::size_t kCompactHeadBytes = 8;
// A rich record's head (type, L, position, encoding); L counts the bytes after it.
inline constexpr std::size_t kRichHeadBytes = 11;

// Total bytes the record at the start of `rest` claims (`rest` holds at least kHeaderBytes);
// for a skipper, the whole block it opens.
inline std::uint64_t RecordLength(std::span<const std::uint8_t> rest) {
  switch (static_cast<RecordType>(rest[0])) {
    case RecordType::kCompactPoi:
      return rest[1] + kCompactHeadBytes;
    case RecordType::kRichPoi:
      return rest[1] + kRichHeadBytes;
    case RecordType::kCamera:
      return kCameraBytes;
    default:
      return Uint32At(&rest[1]);
  }
}

// How far the next record is: a skipper's block is entered, not jumped over.
inline std::size_t Advance(std::uint8_t type, std::uint64_t length) {
  return static_cast<RecordType>(type) == RecordType::kSkipper ? kSkipperBytes : static_cast<std::size_t>(length);
}

// Walks the records of a file from a position on, as Advance steps. `Byte` is std::uint8_t for
// a walk that changes the records, const std::uint8_t for one that only looks at them.
template <typename Byte>
class RecordWalker {
 public:
  RecordWalker(std::span<Byte> bytes, std::size_t position) : bytes_(bytes), position_(position) {}

  std::size_t position() const { return position_; }
  // The type of the record here, which must lie inside the file.
  RecordType type() const { return static_cast<RecordType>(bytes_[position_]); }

  // The record here, or no bytes when it does not fit: fewer bytes left than a header, or a length
  // below a header's or beyond the file.
  std::span<Byte> record() const {
    const std::span<Byte> rest = bytes_.subspan(position_);
    if (rest.size() < kHeaderBytes) return {};
    const std::uint64_t length = RecordLength(rest);
    if (length > rest.size() || length < kHeaderBytes) return {};
    return rest.first(static_cast<std::size_t>(length));
  }

  // Goes on past the record here, `record()`.
  void next(std::span<const std::uint8_t> record) { position_ += Advance(record[0], record.size()); }

 private:
  std::span<Byte> bytes_;
  std::size_t position_;
};

}  // namespace qf::ov2
