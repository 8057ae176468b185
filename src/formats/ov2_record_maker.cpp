#include "formats/ov2_record_maker.h"

#include <algorithm>
#include <cmath>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "formats/charcode.h"
#include "formats/little_endian.h"
#include "formats/ov2_record.h"

namespace qf {

namespace {

using ov2::RecordType;
using ov2::RichEncoding;

constexpr std::size_t kRichCharacters = 126;
// L below 5 would make a rich POI record shorter than readers accept.
constexpr std::size_t kRichMinimumL = 5;
constexpr std::uint8_t kEmptySpeedByte = 12;  // reads back as 60

// Room for `size` more bytes at the end of `out`.
std::uint8_t* Extend(std::vector<std::uint8_t>& out, std::size_t size) {
  const std::size_t start = out.size();
  out.resize(start + size);
  return out.data() + start;
}

// The leading decimal number of a text, as a whole number.
std::int64_t WholeNumber(std::u16string_view text) {
  const double value = LeadingNumber(text);
  return std::fabs(value) < 9e18 ? static_cast<std::int64_t>(value) : 0;
}

// The text a POI record carries: the name, and ">" and the telephone when there is one.
class RecordText {
 public:
  explicit RecordText(const PoiRecord& row)
      : name_(row.text(kName).substr(0, kMaxNameLength)), telephone_(row.text(kTel).substr(0, kMaxTelephoneLength)) {}

  std::size_t size() const { return name_.size() + (telephone_.empty() ? 0 : 1 + telephone_.size()); }

  bool fitsInBytes() const {
    const auto small = [](char16_t c) { return c < 0x100; };
    return std::all_of(name_.begin(), name_.end(), small) && std::all_of(telephone_.begin(), telephone_.end(), small);
  }

  // Calls `f` for the first `limit` characters.
  template <typename F>
  void forEach(std::size_t limit, F f) const {
    for (char16_t c : name_.substr(0, limit)) f(c);
    if (telephone_.empty() || limit <= name_.size()) return;
    f(u'>');
    for (char16_t c : telephone_.substr(0, limit - name_.size() - 1)) f(c);
  }

 private:
  std::u16string_view name_;
  std::u16string_view telephone_;
};

}  // namespace

UnitPosition RowPosition(const PoiDocument& document, int row) {
  return {CoordinateToUnits(document.text(row, kLng), document.display),
          CoordinateToUnits(document.text(row, kLat), document.display)};
}

std::size_t MakePoiRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out) {
  const RecordText text(row);
  const std::u16string_view memo = row.text(kMemo).substr(0, kMaxMemoLength);
  const bool bytes = text.fitsInBytes();
  const std::size_t textBytes = bytes ? text.size() : 2 + 2 * text.size();
  const std::size_t length = ov2::kPoiTextOffset + textBytes + 1 + 2 * memo.size();
  std::uint8_t* p = Extend(out, length);
  p[0] = static_cast<std::uint8_t>(RecordType::kPoi);
  PutUint32(p + 1, static_cast<std::uint32_t>(length));
  PutInt32(p + 5, position.longitude);
  PutInt32(p + 9, position.latitude);
  p += ov2::kPoiTextOffset;
  if (bytes) {
    text.forEach(text.size(), [&](char16_t c) { *p++ = static_cast<std::uint8_t>(c); });
  } else {
    *p++ = '>';
    *p++ = '>';
    text.forEach(text.size(), [&](char16_t c) {
      PutUint16(p, EncodeCharCode(c));
      p += 2;
    });
  }
  *p++ = 0;
  for (char16_t c : memo) {
    PutUint16(p, c);
    p += 2;
  }
  return length;
}

std::size_t MakeRichPoiRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out) {
  const RecordText text(row);
  const std::u16string_view memo = row.text(kMemo);
  const bool number = !memo.empty();
  const std::size_t characters = std::min(text.size(), kRichCharacters);
  const std::size_t textOffset = number ? 14 : 12;
  // A one-character text without number would give L = 3; blanks fill it up to the
  // shortest record readers accept, and the name rule trims them again on reading.
  const std::size_t l = std::max(textOffset - ov2::kRichHeadBytes + 2 * characters, kRichMinimumL);
  std::uint8_t* p = Extend(out, l + ov2::kRichHeadBytes);
  p[0] = static_cast<std::uint8_t>(RecordType::kRichPoi);
  p[1] = static_cast<std::uint8_t>(l);
  PutInt32(p + 2, position.longitude);
  PutInt32(p + 6, position.latitude);
  if (number) {
    p[10] = static_cast<std::uint8_t>(RichEncoding::kNumberCodes);
    PutUint24(p + 11, static_cast<std::uint32_t>(static_cast<std::uint64_t>(WholeNumber(memo))));
  } else {
    p[10] = static_cast<std::uint8_t>(RichEncoding::kCodes);
    p[11] = 1;
  }
  std::uint8_t* const end = p + l + ov2::kRichHeadBytes;
  p += textOffset;
  text.forEach(characters, [&](char16_t c) {
    PutUint16(p, EncodeCharCode(c));
    p += 2;
  });
  for (; p < end; p += 2) PutUint16(p, EncodeCharCode(u' '));
  return l + ov2::kRichHeadBytes;
}

std::size_t MakeCameraRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out) {
  const auto name = std::find(std::begin(kCameraTypeNames), std::end(kCameraTypeNames), row.text(kMemo));
  const int code = name == std::end(kCameraTypeNames)
                       ? kOtherCameraCode
                       : kFirstCameraCode + static_cast<int>(name - std::begin(kCameraTypeNames));
  std::uint8_t speed = kEmptySpeedByte;
  if (!row.text(kTel).empty()) {
    const std::int64_t limit = WholeNumber(row.text(kTel));
    speed = limit == 0 ? 0 : static_cast<std::uint8_t>(std::clamp<std::int64_t>(limit, 20, 140) / 5);
  }
  std::uint8_t* p = Extend(out, ov2::kCameraBytes);
  p[0] = static_cast<std::uint8_t>(RecordType::kCamera);
  p[1] = static_cast<std::uint8_t>(code);
  PutInt32(p + 2, position.longitude);
  PutInt32(p + 6, position.latitude);
  p[10] = speed;
  return ov2::kCameraBytes;
}

RecordMaker RecordMakerFor(const PoiDocument& document) {
  if (document.kind == DocumentKind::SafetyCamera) return MakeCameraRecord;
  if (document.richPoiFile) return MakeRichPoiRecord;
  return MakePoiRecord;
}

void MakeSkipperRecord(std::size_t length, const SkipperBox& box, std::vector<std::uint8_t>& out) {
  PutSkipperRecord(length, box, Extend(out, ov2::kSkipperBytes));
}

void PutSkipperRecord(std::size_t length, const SkipperBox& box, std::uint8_t* p) {
  p[0] = static_cast<std::uint8_t>(RecordType::kSkipper);
  PutUint32(p + 1, static_cast<std::uint32_t>(length));
  PutInt32(p + 5, static_cast<std::int32_t>(box.east));
  PutInt32(p + 9, static_cast<std::int32_t>(box.north));
  PutInt32(p + 13, static_cast<std::int32_t>(box.west));
  PutInt32(p + 17, static_cast<std::int32_t>(box.south));
}

}  // namespace qf
