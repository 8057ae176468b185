#include "formats/ov2_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "formats/charcode.h"
#include "formats/file_pipeline.h"
#include "formats/ov2_huffman.h"
#include "formats/ov2_record.h"
#include "formats/passed_bytes.h"
#include "formats/piece_reading.h"

namespace qf {

namespace {

using Record = std::span<std::uint8_t>;

using ov2::kCameraBytes;
using ov2::kSkipperBytes;
using ov2::RecordType;
using ov2::RichEncoding;

constexpr std::size_t kPoiMinimum = 15;
constexpr std::size_t kRichMinimum = 16;
constexpr std::size_t kMarkBytes = std::tuple_size_v<SignalMark>;
constexpr std::size_t kFieldLimit = 274;  // characters taken from the text field of a POI record
constexpr std::size_t kRichTextLimit = 276;
constexpr std::uint8_t kScrambleMask = 0x3C;
constexpr std::int32_t kLatitudeBias = 8000000;
constexpr std::int32_t kCompactStep = 8000000;
constexpr std::int32_t kFullTurn = 36000000;
constexpr int kCompactTurns = 9;  // stepping by 8000000 around 36000000 comes back after nine steps
constexpr std::int32_t kNoSkipperEast = std::numeric_limits<std::int32_t>::min();

bool IsPlainPoiType(RecordType type) {
  return type == RecordType::kPoi || type == RecordType::kPoiWithExtraData || type == RecordType::kScrambledPoi ||
         type == RecordType::kCompactPoi || type == RecordType::kRichPoi;
}

// Decodes the text field of a POI record into `text` (at most kFieldLimit characters)
// and returns the offset just past its zero byte, or npos when the field runs to the end.
std::size_t DecodeTextField(std::span<const std::uint8_t> field, std::u16string& text) {
  text.clear();
  if (field.size() >= 2 && field[0] == '>' && field[1] == '>') {
    for (std::size_t i = 2; i < field.size(); i += 2) {
      if (field[i] == 0) return i + 1;
      if (i + 1 == field.size()) break;  // half a code at the end
      if (text.size() < kFieldLimit) text += DecodeCharCode(static_cast<std::uint16_t>(Uint16At(&field[i])));
    }
    return std::u16string::npos;
  }
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == 0) return i + 1;
    if (text.size() < kFieldLimit) text += static_cast<char16_t>(field[i]);
  }
  return std::u16string::npos;
}

// `count` 16-bit codes from `offset`, as far as they lie inside the record.
void DecodeCodes(Record record, std::size_t offset, std::size_t count, std::u16string& text) {
  count = std::min(count, (record.size() - offset) / 2);
  for (std::size_t i = 0; i < count; ++i) {
    text += DecodeCharCode(static_cast<std::uint16_t>(Uint16At(&record[offset + 2 * i])));
  }
}

// A base code unit, then one byte per character: printable ASCII, the base plus an
// offset, or 0xFF with a literal code unit.
void DecodeBaseOffset(std::span<const std::uint8_t> bytes, std::u16string& text) {
  const auto base = static_cast<char16_t>(Uint16At(bytes.data()));
  for (std::size_t i = 2; i < bytes.size(); ++i) {
    const std::uint8_t b = bytes[i];
    if (b == 0xFF) {
      if (i + 2 >= bytes.size()) return;
      text += static_cast<char16_t>(Uint16At(&bytes[i + 1]));
      i += 2;
    } else if (b < 0x5B) {
      text += static_cast<char16_t>(b + 0x20);
    } else {
      text += static_cast<char16_t>(base + (b - 0x5B));
    }
  }
}

// Decimal text without allocating.
class DecimalText {
 public:
  explicit DecimalText(std::uint32_t value) {
    std::array<char, 10> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    size_ = static_cast<std::size_t>(end - digits.data());
    std::copy(digits.data(), end, chars_.begin());
  }
  operator std::u16string_view() const { return {chars_.data(), size_}; }

 private:
  std::array<char16_t, 10> chars_{};
  std::size_t size_ = 0;
};

// The skipper box read so far, which places compact records.
struct SkipperBounds {
  std::int32_t eastMax = kNoSkipperEast;
  std::int32_t westMin = std::numeric_limits<std::int32_t>::max();
};

// What reading the bytes before a record boundary would leave behind for the records
// after it: the document's kind and rich flag, the skipper box, and at most how many
// rows were added. Found by walking the records without decoding them.
struct SplitPoint {
  std::size_t offset = 0;
  DocumentKind kind = DocumentKind::Poi;
  bool richPoiFile = false;
  SkipperBounds bounds;
  std::size_t rowBound = 0;
};

// The start of the file, before any record.
SplitPoint StartOf(const PoiDocument& document) {
  SplitPoint start;
  start.kind = document.kind;
  start.richPoiFile = document.richPoiFile;
  return start;
}

// The first record boundary at or after the middle of the file, or nothing when the first
// half holds anything the reader would stop at: then the file is read in one go.
std::optional<SplitPoint> FindSplit(std::span<const std::uint8_t> bytes, const SplitPoint& start, bool importing) {
  SplitPoint split = start;
  ov2::RecordWalker walk(bytes, start.offset);
  while (walk.position() < bytes.size() / 2) {
    const std::span<const std::uint8_t> record = walk.record();
    if (record.empty()) return std::nullopt;
    const RecordType type = walk.type();
    if (IsPlainPoiType(type) && split.kind == DocumentKind::SafetyCamera) return std::nullopt;
    switch (type) {
      case RecordType::kDeleted:
      case RecordType::kSignalMark:
        break;
      case RecordType::kSkipper:
        if (record.size() < kSkipperBytes) return std::nullopt;
        split.bounds.eastMax = std::max(split.bounds.eastMax, Int32At(&record[5]));
        split.bounds.westMin = std::min(split.bounds.westMin, Int32At(&record[13]));
        break;
      case RecordType::kRichPoi:
        if (!importing) split.richPoiFile = true;
        [[fallthrough]];
      case RecordType::kPoi:
      case RecordType::kPoiWithExtraData:
      case RecordType::kScrambledPoi:
      case RecordType::kCompactPoi:
        ++split.rowBound;
        break;
      case RecordType::kCamera:
        if (importing && split.kind != DocumentKind::SafetyCamera) return std::nullopt;
        split.kind = DocumentKind::SafetyCamera;
        ++split.rowBound;
        break;
      default:
        return std::nullopt;
    }
    walk.next(record);
  }
  split.offset = walk.position();
  return split;
}

class Ov2Reader {
 public:
  // Reads the records from `from`, which the document takes as reading up to there leaves it.
  Ov2Reader(FileSession& session, std::span<std::uint8_t> bytes, const SplitPoint& from)
      : session_(session),
        document_(session.document),
        bytes_(bytes),
        walk_(bytes, from.offset),
        importing_(session.operation == FileOperation::Import),
        eastMax_(from.bounds.eastMax),
        westMin_(from.bounds.westMin) {
    document_.kind = from.kind;
    document_.richPoiFile = from.richPoiFile;
  }

  // Reads the records that start before `end`; the lengths they claim are checked against the
  // whole file, since a skipper's block may reach past `end`.
  int run(std::size_t end) {
    std::size_t released = walk_.position();
    while (walk_.position() < end) {
      if (IsPlainPoiType(walk_.type()) && document_.kind == DocumentKind::SafetyCamera) return kIncompatibleStructures;
      const Record record = walk_.record();
      if (record.empty()) return kWrongContent;
      const int result = readRecord(record);
      if (result != 0) return result;
      walk_.next(record);
      const std::size_t position = walk_.position();
      session_.progress(bytes_.size(), position);
      // Records are read once, front to back.
      if (position - released >= kReleaseStepBytes) {
        ReleasePassedBytes(bytes_.subspan(released, position - released));
        released = position;
      }
    }
    return 0;
  }

  // Where the next record starts.
  std::size_t position() const { return walk_.position(); }

 private:
  int readRecord(Record record) {
    switch (static_cast<RecordType>(record[0])) {
      case RecordType::kDeleted:
        return 0;
      case RecordType::kSkipper:
        return readSkipper(record);
      case RecordType::kPoi:
      case RecordType::kPoiWithExtraData:
      case RecordType::kScrambledPoi:
        return readPoi(record);
      case RecordType::kCompactPoi:
        readCompactPoi(record);
        return 0;
      case RecordType::kRichPoi:
        return readRichPoi(record);
      case RecordType::kCamera:
        return readCamera(record);
      case RecordType::kSignalMark:
        return readMark(record);
      default:
        return kUnknownContent;
    }
  }

  int readSkipper(Record record) {
    if (record.size() < kSkipperBytes) return kWrongContent;
    eastMax_ = std::max(eastMax_, Int32At(&record[5]));
    westMin_ = std::min(westMin_, Int32At(&record[13]));
    return 0;
  }

  int readPoi(Record record) {
    if (record.size() < kPoiMinimum) return kWrongContent;
    const auto type = static_cast<RecordType>(record[0]);
    if (type == RecordType::kScrambledPoi) {
      for (std::size_t i = ov2::kPoiTextOffset; i + 1 < record.size(); ++i) record[i] ^= kScrambleMask;
    }
    const std::size_t fieldEnd = DecodeTextField(record.subspan(ov2::kPoiTextOffset), text_);
    memo_.clear();
    // A POI with extra data carries no memo; in a rich POI document the memo holds the rich
    // records' number.
    if (type != RecordType::kPoiWithExtraData && !document_.richPoiFile && fieldEnd != std::u16string::npos) {
      readMemo(record.subspan(ov2::kPoiTextOffset + fieldEnd));
    }
    const int row = appendPoi(Int32At(&record[5]), Int32At(&record[9]), memo_.size());
    if (row >= 0 && !memo_.empty()) SetMemo(document_, row, memo_);
    return 0;
  }

  // UTF-16LE code units up to the end of the record or a zero unit.
  void readMemo(std::span<const std::uint8_t> bytes) {
    const std::size_t units = std::min(bytes.size() / 2, kMaxMemoLength);
    for (std::size_t i = 0; i < units; ++i) {
      const auto unit = static_cast<char16_t>(Uint16At(&bytes[2 * i]));
      if (unit == 0) break;
      memo_ += unit;
    }
  }

  void readCompactPoi(Record record) {
    DecodeTextField(record.subspan(ov2::kCompactHeadBytes, record[1]), text_);
    appendPoi(compactLongitude(static_cast<std::int32_t>(Uint24At(&record[2]))),
              static_cast<std::int32_t>(Uint24At(&record[5])) - kLatitudeBias, 0);
  }

  // Compact longitudes are stored modulo 8000000; the skipper box read so far tells
  // which turn is meant. When no turn fits, the value is the one the search started with.
  std::int32_t compactLongitude(std::int32_t x) const {
    if (eastMax_ == kNoSkipperEast) return x;
    for (int step = 0; step < kCompactTurns && (x < westMin_ || x > eastMax_); ++step) {
      x -= kCompactStep;
      if (x < -kMaxLongitudeUnits) x += kFullTurn;
    }
    return x;
  }

  int readRichPoi(Record record) {
    if (record.size() < kRichMinimum) return kWrongContent;
    if (!importing_) document_.richPoiFile = true;
    const std::size_t textBytes = record[1] - 3u;  // the bytes from offset 14 to the end
    const auto encoding = static_cast<RichEncoding>(record[10]);
    std::uint32_t number = 0;
    text_.clear();
    switch (encoding) {
      case RichEncoding::kNumberHuffman:
        number = Uint24At(&record[11]);
        DecodeHuffman(record.subspan(14, textBytes), kRichTextLimit, text_);
        break;
      case RichEncoding::kPaddedNumberHuffman:
        number = Uint24At(&record[12]);
        DecodeHuffman(record.subspan(14, textBytes), kRichTextLimit, text_);
        break;
      case RichEncoding::kCodes:
        DecodeCodes(record, 12, textBytes / 2 + 1, text_);
        break;
      case RichEncoding::kNumberCodes:
        number = Uint24At(&record[11]);
        DecodeCodes(record, 14, textBytes / 2, text_);
        break;
      case RichEncoding::kPaddedNumberCodes:
        number = Uint24At(&record[12]);
        DecodeCodes(record, 15, textBytes / 2, text_);
        break;
      case RichEncoding::kNumberBaseOffset:
        number = Uint24At(&record[11]);
        DecodeBaseOffset(record.subspan(14, textBytes), text_);
        break;
      default:
        return 0;
    }
    const int row = appendPoi(Int32At(&record[2]), Int32At(&record[6]), 8);
    if (row >= 0 && encoding != RichEncoding::kCodes && !importing_) SetMemo(document_, row, DecimalText(number));
    return 0;
  }

  int readCamera(Record record) {
    if (record.size() != kCameraBytes) return kWrongContent;
    if (!importing_) {
      document_.kind = DocumentKind::SafetyCamera;
    } else if (document_.kind != DocumentKind::SafetyCamera) {
      return kIncompatibleStructures;
    }
    const int row = AppendPoi(document_, kSafetyCameraName, importing_);
    setCoordinates(row, Int32At(&record[2]), Int32At(&record[6]));
    const int speed = record[10] == 0 ? 0 : std::clamp(record[10] / 2 * 10, 20, 140);
    SetCell(document_, row, kTel, DecimalText(static_cast<std::uint32_t>(speed)));
    int code = record[1];
    if (code < kFirstCameraCode || code >= kFirstCameraCode + 12) code = kOtherCameraCode;
    SetCell(document_, row, kMemo, kCameraTypeNames[code - kFirstCameraCode]);
    return 0;
  }

  int readMark(Record record) {
    if (record.size() != kMarkBytes) return kWrongContent;
    if (!importing_) std::copy(record.begin(), record.end(), document_.signalMark.begin());
    return 0;
  }

  // The POI step shared by every POI record: `text_` holds the decoded text, name and
  // telephone joined by ">". Returns the new row, or -1 when the POI is skipped.
  int appendPoi(std::int32_t longitude, std::int32_t latitude, std::size_t moreCharacters) {
    const std::size_t separator = text_.find(u'>');
    name_.assign(text_, 0, separator);
    if (NormaliseName(name_) == 0 || session_.eliminateDuplicate(name_)) return -1;
    const std::size_t telephone = separator == std::u16string::npos ? 0 : text_.size() - separator - 1;
    const int row = AppendPoi(document_, name_, importing_, kCoordinatesRoom + telephone + moreCharacters);
    setCoordinates(row, longitude, latitude);
    if (separator != std::u16string::npos) {
      SetTelephone(document_, row, std::u16string_view(text_).substr(separator + 1));
    }
    return row;
  }

  void setCoordinates(int row, std::int32_t longitude, std::int32_t latitude) {
    if (UnitsInRange(longitude, Axis::Longitude)) {
      SetCell(document_, row, kLng, FormatUnits(longitude, Axis::Longitude, document_.display));
    }
    if (UnitsInRange(latitude, Axis::Latitude)) {
      SetCell(document_, row, kLat, FormatUnits(latitude, Axis::Latitude, document_.display));
    }
  }

  FileSession& session_;
  PoiDocument& document_;
  std::span<std::uint8_t> bytes_;
  ov2::RecordWalker<std::uint8_t> walk_;
  const bool importing_;
  std::int32_t eastMax_;
  std::int32_t westMin_;
  // Reused for every record, so that reading allocates nothing beyond the rows.
  std::u16string text_;
  std::u16string name_;
  std::u16string memo_;
};

}  // namespace

int ReadOv2(FileSession& session, std::span<std::uint8_t> bytes) {
  const SplitPoint start = StartOf(session.document);
  const std::optional<SplitPoint> middle = ReadsInPieces(session, bytes.size())
                                               ? FindSplit(bytes, start, session.operation == FileOperation::Import)
                                               : std::nullopt;
  if (!middle) return Ov2Reader(session, bytes, start).run(bytes.size());
  // Two halves, which meet exactly: both readers walk the records as FindSplit did. The second
  // half has room for about as many rows again as the first holds.
  const std::size_t rowsAgain = middle->rowBound + middle->rowBound / 8;
  const std::vector<FilePiece> halves = {{0, middle->offset, 0, 0},
                                         {middle->offset, bytes.size(), middle->rowBound, rowsAgain}};
  const auto readHalf = [&](FileSession& reader, std::size_t k, std::size_t& pos, bool) {
    Ov2Reader half(reader, bytes, k == 0 ? start : *middle);
    const int result = half.run(halves[k].end);
    pos = half.position();
    return result;
  };
  std::size_t end = 0;
  return ReadInPieces(session, halves, middle->rowBound + rowsAgain, readHalf, end);
}

}  // namespace qf
