#include "formats/favourites.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "formats/charcode.h"
#include "formats/little_endian.h"

namespace qf {

namespace {

constexpr std::size_t kEntryBytes = 30;  // no entry starts closer to the end of the file
constexpr std::int64_t kNameOffsetAt = 26;
constexpr std::int64_t kSecondOffsetBias = 26;
constexpr std::int64_t kNameLengthBias = 27;
constexpr std::uint8_t kFavouriteKind = 3;
constexpr std::uint8_t kHomeKind = 4;


bool IsEntry(const std::uint8_t* e, bool includeHome) {
  return e[0] == 4 && e[1] == 0 && (e[2] == kFavouriteKind || includeHome) && e[3] == 0 && e[4] == 0 && e[5] == 0 &&
         Uint16At(e + 6) == 8 && Uint16At(e + 16) == 8;
}

std::u16string_view MemoForKind(std::uint8_t kind) {
  if (kind == kFavouriteKind) return u"Favorite";
  if (kind == kHomeKind) return u"Home";
  return u"Recent destination";
}

// Where an entry's name lies, found through its two chained offsets.
struct NameLocation {
  enum class Outcome { Found, PastEnd, BeforeStart } outcome;
  std::size_t begin = 0;
  std::size_t size = 0;
};

NameLocation LocateName(std::span<const std::uint8_t> bytes, std::size_t entry) {
  using Outcome = NameLocation::Outcome;
  const auto size = static_cast<std::int64_t>(bytes.size());
  const auto signedAt = [&](std::int64_t p) { return static_cast<std::int8_t>(bytes[static_cast<std::size_t>(p)]); };
  const auto outside = [](std::int64_t p) { return p < 0 ? Outcome::BeforeStart : Outcome::PastEnd; };

  const auto start = static_cast<std::int64_t>(entry);
  const std::int64_t q1 = start + signedAt(start + kNameOffsetAt);
  if (q1 < 0 || q1 >= size) return {outside(q1)};
  const std::int64_t q2 = q1 + signedAt(q1) - kSecondOffsetBias;
  if (q2 < 0 || q2 >= size) return {outside(q2)};
  const std::int64_t length = std::max<std::int64_t>(signedAt(q2) - kNameLengthBias, 0);
  if (q2 + 1 + length > size) return {Outcome::PastEnd};
  return {Outcome::Found, static_cast<std::size_t>(q2 + 1), static_cast<std::size_t>(length)};
}

// Bytes as characters of the same code point, or after ">>" 16-bit character codes.
void DecodeName(std::span<const std::uint8_t> raw, std::u16string& name) {
  name.clear();
  if (raw.size() >= 2 && raw[0] == '>' && raw[1] == '>') {
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
      name += DecodeCharCode(static_cast<std::uint16_t>(Uint16At(&raw[i])));
    }
  } else {
    for (std::uint8_t b : raw) name += static_cast<char16_t>(b);
  }
}

class FavouritesReader {
 public:
  FavouritesReader(FileSession& session, bool includeHome)
      : session_(session), document_(session.document), includeHome_(includeHome) {}

  void read(std::span<const std::uint8_t> bytes) {
    std::size_t entry = 0;
    while (entry + kEntryBytes <= bytes.size()) {
      if (!IsEntry(&bytes[entry], includeHome_)) {
        ++entry;
        continue;
      }
      session_.progress(bytes.size(), entry);
      const NameLocation name = LocateName(bytes, entry);
      if (name.outcome == NameLocation::Outcome::PastEnd) return;
      std::size_t next = entry + 1;
      if (name.outcome == NameLocation::Outcome::Found) {
        DecodeName(bytes.subspan(name.begin, name.size), name_);
        if (NormaliseName(name_) == 0) {
          next = name.begin + 1;
        } else {
          readEntry(&bytes[entry]);
          next = name.begin + name.size;
        }
      }
      // A name may lie before its entry; the scan must still move on.
      entry = std::max(next, entry + 1);
    }
  }

 private:
  void readEntry(const std::uint8_t* e) {
    const std::int32_t longitude = Int32At(e + 8);
    const std::int32_t latitude = Int32At(e + 12);
    const std::u16string_view memo = includeHome_ ? MemoForKind(e[2]) : std::u16string_view();
    if (isRepetition(longitude, latitude, memo)) return;
    const int row = AppendPoi(document_, name_, session_.operation == FileOperation::Import);
    if (UnitsInRange(longitude, Axis::Longitude)) {
      SetCell(document_, row, kLng, FormatUnits(longitude, Axis::Longitude, document_.display));
    }
    if (UnitsInRange(latitude, Axis::Latitude)) {
      SetCell(document_, row, kLat, FormatUnits(latitude, Axis::Latitude, document_.display));
    }
    if (includeHome_) SetMemo(document_, row, memo);
  }

  // A favourite may be stored more than once; only the first row of the name is compared.
  bool isRepetition(std::int32_t longitude, std::int32_t latitude, std::u16string_view memo) const {
    const int row = FindRowByName(document_, name_, -1);
    return row >= 0 && CoordinateToUnits(document_.text(row, kLng), document_.display) == longitude &&
           CoordinateToUnits(document_.text(row, kLat), document_.display) == latitude &&
           (!includeHome_ || document_.text(row, kMemo) == memo);
  }

  FileSession& session_;
  PoiDocument& document_;
  const bool includeHome_;
  std::u16string name_;
};

}  // namespace

int ReadFavourites(FileSession& session, std::span<std::uint8_t> bytes, bool includeHome) {
  FavouritesReader(session, includeHome).read(bytes);
  return 0;
}

std::filesystem::path FavouritesFileIn(const std::filesystem::path& folder) {
  return folder / Utf16ToUtf8(LoadString(kMapSettingsName));
}

}  // namespace qf
