#include "formats/gpi_reader.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "formats/file_pipeline.h"
#include "formats/little_endian.h"

namespace qf {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kMinimumFileBytes = 71;
constexpr std::size_t kSignatureOffset = 8;
constexpr std::string_view kSignature = "GRMREC00";
constexpr std::size_t kHeaderLengthOffset = 22;
constexpr std::int64_t kPlainHeaderLength = 6;  // the header length value that shifts nothing
constexpr std::int64_t kPoiOffset = 38;
constexpr std::int64_t kCodePageOffset = 46;
constexpr std::int64_t kHeaderTextOffset = 66;
constexpr std::int64_t kScanOffset = 70;

constexpr std::uint8_t kWaypointStart[] = {0x02, 0x00, 0x08, 0x00};
constexpr std::size_t kRecordHeaderBytes = 12;
constexpr std::size_t kLatitudeOffset = 12;
constexpr std::size_t kLongitudeOffset = 16;
constexpr std::size_t kLanguageOffset = 27;
constexpr std::size_t kNameLengthOffset = 29;
constexpr std::size_t kNameOffset = 31;
constexpr std::size_t kMinimumWaypointBytes = kNameOffset + 1;
constexpr std::size_t kTextSkip = 4;  // "EN" and the text's length
constexpr std::size_t kMaxLines = 8;
constexpr std::size_t kMaxLineBytes = 255;
constexpr std::size_t kMinTelephoneDigits = 7;
constexpr double kUnitsPerDegree = 11930464.711111112;  // 2^32 / 360
constexpr std::uint32_t kUtf8CodePage = 65001;
constexpr const char* kFallbackConverter = "windows-1252";


// Whether `text` stands at `offset`, entirely inside `bytes`.
bool HasAt(Bytes bytes, std::int64_t offset, std::string_view text) {
  return offset >= 0 && static_cast<std::uint64_t>(offset) + text.size() <= bytes.size() &&
         std::memcmp(&bytes[static_cast<std::size_t>(offset)], text.data(), text.size()) == 0;
}

bool IsWaypointStart(Bytes bytes, std::uint64_t offset) {
  return offset + sizeof kWaypointStart <= bytes.size() &&
         std::equal(std::begin(kWaypointStart), std::end(kWaypointStart), bytes.begin() + static_cast<long>(offset));
}

// Converts the file's texts to UTF-16. Code pages ICU does not know are read as
// windows-1252, the code page nearly every such file uses; bytes that are invalid in the
// code page become substitution characters.
class CodePageConverter {
 public:
  explicit CodePageConverter(std::uint32_t codePage) {
    const std::string name = codePage == kUtf8CodePage ? "UTF-8" : "windows-" + std::to_string(codePage);
    UErrorCode status = U_ZERO_ERROR;
    converter_.reset(ucnv_open(name.c_str(), &status));
    if (U_FAILURE(status) || !converter_) {
      status = U_ZERO_ERROR;
      converter_.reset(ucnv_open(kFallbackConverter, &status));
    }
  }

  void convert(Bytes bytes, std::u16string& text) {
    text.clear();
    if (bytes.empty() || !converter_) return;
    const auto source = reinterpret_cast<const char*>(bytes.data());
    const auto sourceLength = static_cast<std::int32_t>(bytes.size());
    // A byte never gives more than one UTF-16 unit in the code pages in use; the retry covers any other.
    text.resize(bytes.size() + 1);
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t length = ucnv_toUChars(converter_.get(), text.data(), static_cast<std::int32_t>(text.size()), source,
                                        sourceLength, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      text.resize(static_cast<std::size_t>(length) + 1);
      status = U_ZERO_ERROR;
      length = ucnv_toUChars(converter_.get(), text.data(), static_cast<std::int32_t>(text.size()), source,
                             sourceLength, &status);
    }
    text.resize(U_FAILURE(status) ? 0 : static_cast<std::size_t>(length));
  }

 private:
  struct Closer {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
  };
  std::unique_ptr<UConverter, Closer> converter_;
};

bool IsLineBreak(std::uint8_t b) { return b == '\r' || b == '\n'; }
bool IsTelephoneSeparator(char16_t c) {
  return c == u' ' || c == u'#' || c == u')' || c == u'*' || c == u'+' || c == u'-';
}

// The line without bytes below 32 and without leading and trailing blanks.
std::string CleanLine(Bytes line) {
  std::string cleaned;
  for (std::uint8_t b : line.first(std::min(line.size(), kMaxLineBytes))) {
    if (b >= 0x20) cleaned += static_cast<char>(b);
  }
  const std::size_t first = cleaned.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return cleaned.substr(first, cleaned.find_last_not_of(' ') + 1 - first);
}

// Where the first run of at least seven digits begins, if the line has one; blanks and
// some punctuation may stand between the digits of a run.
std::size_t TelephoneStart(std::u16string_view line) {
  std::size_t start = std::u16string_view::npos;
  std::size_t digits = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c >= u'0' && c <= u'9') {
      if (digits++ == 0) start = i;
      if (digits >= kMinTelephoneDigits) return start;
    } else if (!IsTelephoneSeparator(c)) {
      digits = 0;
    }
  }
  return std::u16string_view::npos;
}

class GpiReader {
 public:
  GpiReader(FileSession& session, Bytes bytes, std::uint32_t codePage)
      : session_(session),
        document_(session.document),
        bytes_(bytes),
        converter_(codePage) {}

  void scan(std::uint64_t position) {
    const std::uint64_t size = bytes_.size();
    while (position + kMinimumWaypointBytes <= size) {
      if (!IsWaypointStart(bytes_, position)) {
        ++position;
        continue;
      }
      while (IsWaypointStart(bytes_, position)) {
        if (position + kRecordHeaderBytes > size) return;
        const std::uint64_t end = position + kRecordHeaderBytes + Uint32At(&bytes_[position + 4]);
        // A record that claims more than the file holds is the damaged end of the file.
        if (end > size) return;
        readWaypoint(bytes_.subspan(position, end - position));
        position = end;
        session_.progress(size, position);
      }
    }
  }

 private:
  void readWaypoint(Bytes record) {
    if (record.size() < kNameOffset || !HasAt(record, kLanguageOffset, "EN")) return;
    const std::size_t nameLength = Uint16At(&record[kNameLengthOffset]);
    const std::size_t nameEnd = kNameOffset + nameLength;
    if (nameLength == 0 || nameEnd > record.size() || record[kNameOffset] == 0) return;
    converter_.convert(record.subspan(kNameOffset, nameLength), name_);
    CutText(name_, kMaxNameLength);
    const int row = session_.appendNamed(name_);
    if (row < 0) return;
    setCoordinate(row, Axis::Longitude, Int32At(&record[kLongitudeOffset]));
    setCoordinate(row, Axis::Latitude, Int32At(&record[kLatitudeOffset]));
    readText(row, record.subspan(nameEnd));
  }

  void setCoordinate(int row, Axis axis, std::int32_t stored) {
    if (const auto text = CheckAndFormat(stored / kUnitsPerDegree, axis, document_.display)) {
      SetCell(document_, row, static_cast<int>(axis), *text);
    }
  }

  // The text after the first "EN" following the name: its lines make the memo, and the
  // first line with a telephone number gives the telephone.
  void readText(int row, Bytes rest) {
    std::size_t start = 0;
    while (start + 1 < rest.size() && !(rest[start] == 'E' && rest[start + 1] == 'N')) ++start;
    if (start + 1 >= rest.size()) return;
    const Bytes text = rest.subspan(std::min(start + kTextSkip, rest.size()));
    // In a rich POI document the memo belongs to the rich records, so none is built.
    bool memoFull = document_.richPoiFile;
    bool telephoneFound = false;
    memo_.clear();
    std::size_t position = 0;
    for (std::size_t lines = 0; lines < kMaxLines && !(telephoneFound && memoFull); ++lines) {
      const std::size_t lineStart = position;
      while (position < text.size() && !IsLineBreak(text[position])) ++position;
      if (position == lineStart) break;
      const Bytes line = text.subspan(lineStart, position - lineStart);
      while (position < text.size() && IsLineBreak(text[position])) ++position;
      const std::string cleaned = CleanLine(line);
      if (cleaned.empty()) continue;
      converter_.convert({reinterpret_cast<const std::uint8_t*>(cleaned.data()), cleaned.size()}, line_);
      if (!memoFull) {
        if (!memo_.empty()) memo_ += u'&';
        memo_ += line_;
        if (memo_.size() >= kMaxMemoLength) {
          CutText(memo_, kMaxMemoLength);
          memoFull = true;
        }
      }
      if (!telephoneFound) {
        const std::size_t telephone = TelephoneStart(line_);
        if (telephone != std::u16string::npos) {
          SetTelephone(document_, row, std::u16string_view(line_).substr(telephone));
          telephoneFound = true;
        }
      }
    }
    if (!memo_.empty()) SetMemo(document_, row, memo_);
  }

  FileSession& session_;
  PoiDocument& document_;
  const Bytes bytes_;
  CodePageConverter converter_;
  // Reused for every record.
  std::u16string name_;
  std::u16string line_;
  std::u16string memo_;
};

}  // namespace

int ReadGpi(FileSession& session, std::span<std::uint8_t> bytes) {
  if (bytes.size() < kMinimumFileBytes) return kWrongContent;
  const std::int64_t shift = static_cast<std::int64_t>(Uint16At(&bytes[kHeaderLengthOffset])) - kPlainHeaderLength;
  if (!HasAt(bytes, kSignatureOffset, kSignature) || !HasAt(bytes, kPoiOffset + shift, "POI")) return kUnknownContent;
  const auto at = [&](std::int64_t offset) { return static_cast<std::size_t>(offset + shift); };
  // A header that reaches past the end leaves nothing to scan.
  std::uint32_t codePage = 0;
  if (at(kCodePageOffset) + 4 <= bytes.size()) codePage = Uint32At(&bytes[at(kCodePageOffset)]);
  std::uint64_t scanStart = at(kScanOffset);
  if (HasAt(bytes, kHeaderTextOffset + shift, "EN") && at(kScanOffset) <= bytes.size()) {
    scanStart += Uint16At(&bytes[at(kHeaderTextOffset) + 2]);
  }
  GpiReader(session, bytes, codePage).scan(scanStart);
  return 0;
}

}  // namespace qf
