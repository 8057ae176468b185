#include "formats/xml_items.h"

#include <algorithm>

#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/file_pipeline.h"
#include "formats/passed_bytes.h"
#include "formats/piece_reading.h"

namespace qf {

PoiAppender::Coordinate PoiAppender::coordinate(int column, std::string_view bytes) {
  return CoordinateCellText(document_, column, widened(bytes));
}

int PoiAppender::appendNamed(std::string_view bytes, const Position& position, std::size_t textBytes) {
  const auto size = [](const Coordinate& text) { return text ? text->size() : 0; };
  decoded(bytes, kMaxNameLength);
  name_.swap(text_);
  const int row = session_.appendNamed(name_, size(position.longitude) + size(position.latitude) + textBytes);
  if (row >= 0 && position.longitude) SetCell(document_, row, kLng, *position.longitude);
  if (row >= 0 && position.latitude) SetCell(document_, row, kLat, *position.latitude);
  return row;
}

std::u16string& PoiAppender::utf16(std::string_view bytes, std::size_t maxLength) {
  Utf8ToUtf16(bytes.substr(0, maxLength * kLongestReference), text_);
  CutCountingReferences(text_, maxLength);
  return text_;
}

std::u16string& PoiAppender::decoded(std::string_view bytes, std::size_t maxLength) {
  const std::string_view inside = WithoutCdata(bytes);
  utf16(inside, maxLength);
  if (inside.size() == bytes.size()) DecodeReferences(text_);
  return text_;
}

namespace {

// How far a reader that goes through the file from its start has given back the bytes it passed.
// No scan looks behind such a reader; the readers of later pieces only look beyond it.
class FrontRelease {
 public:
  void passed(const TagScanner& scan, std::size_t pos) {
    if (pos == kNotFound || pos - released_ < kReleaseStepBytes) return;
    scan.release(released_, pos);
    released_ = pos;
  }

 private:
  std::size_t released_ = 0;
};

// Reads the items that start in [pos, stop); then `pos` is where the next item starts, or
// kNotFound when there is none. A reader from the front gives back what it passes.
int ReadItemsFrom(FileSession& session, const TagScanner& scan, const ItemFormat& format, std::size_t& pos,
                  std::size_t stop, FrontRelease* front = nullptr) {
  PoiAppender appender(session);
  while (true) {
    const std::size_t start = format.findStart(scan, pos);
    if (start == kNotFound || start >= stop) {
      pos = start;
      return 0;
    }
    pos = format.read(scan, start, appender);
    if (pos == kNotFound) return kWrongContent;
    session.progress(scan.size(), pos);
    if (front != nullptr) front->passed(scan, pos);
  }
}

// No item takes fewer bytes, so a part of a file holds at most its size / this many items.
constexpr std::size_t kMinimumItemBytes = 16;
constexpr std::size_t kPieceCount = 16;

// The number of items the whole file holds if it goes on as its first 256 KB.
std::size_t EstimatedItems(const TagScanner& scan, const ItemFormat& format) {
  constexpr std::size_t kSampleBytes = 256 << 10;
  std::size_t count = 0;
  for (std::size_t pos = format.findStart(scan, 0); pos < kSampleBytes; pos = format.findStart(scan, pos + 1)) ++count;
  return count * (scan.size() / kSampleBytes + 1);
}

// Pieces of about equal size, each starting at an item, of a file expected to hold `expectedItems`.
std::vector<FilePiece> SplitIntoPieces(const TagScanner& scan, const ItemFormat& format, std::size_t expectedItems) {
  std::vector<std::size_t> begins{0};
  for (std::size_t k = 1; k < kPieceCount; ++k) {
    const std::size_t start = format.findStart(scan, scan.size() / kPieceCount * k);
    if (start == kNotFound) break;
    if (start > begins.back()) begins.push_back(start);
  }
  std::vector<FilePiece> pieces(begins.size());
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    pieces[k].begin = begins[k];
    pieces[k].end = k + 1 < begins.size() ? begins[k + 1] : scan.size();
    pieces[k].rowsBefore = begins[k] / kMinimumItemBytes + k;
    const std::size_t share = expectedItems * (pieces[k].end - pieces[k].begin) / scan.size();
    pieces[k].rowsExpected = share + share / 16 + 16;
  }
  return pieces;
}

}  // namespace

int ReadItems(FileSession& session, std::span<std::uint8_t> bytes, const ItemFormat& format) {
  const TagScanner scan(bytes);
  // The root comes first in a real file, so this costs a whole scan only for other files.
  if (std::ranges::none_of(format.elements, [&](std::string_view start) { return HasElement(scan, start); })) {
    return kUnknownContent;
  }
  FrontRelease release;
  std::size_t pos = 0;
  std::size_t expectedItems = 0;
  std::vector<FilePiece> pieces;
  if (ReadsInPieces(session, bytes.size())) {
    expectedItems = EstimatedItems(scan, format);
    pieces = SplitIntoPieces(scan, format, expectedItems);
  }
  if (pieces.size() >= 2) {
    const auto readPiece = [&](FileSession& reader, std::size_t k, std::size_t& from, bool fromFront) {
      if (fromFront) return ReadItemsFrom(reader, scan, format, from, pieces[k].end, &release);
      const int result = ReadItemsFrom(reader, scan, format, from, pieces[k].end);
      // Items of the piece before, read later, may reach into this one.
      scan.releaseIfMapped(pieces[k].begin, pieces[k].end);
      return result;
    };
    const int result = ReadInPieces(session, pieces, expectedItems, readPiece, pos);
    if (result != 0) return result;
  }
  // What is left: nothing when the last piece read ended the file.
  return ReadItemsFrom(session, scan, format, pos, kNotFound, &release);
}

namespace {

bool HasPosition(const PoiDocument& document, int row) {
  return !document.text(row, kLng).empty() && !document.text(row, kLat).empty();
}

}  // namespace

int WriteItems(FileSession& session, ByteSink& out, const std::vector<int>& rows, std::string_view header,
               std::string_view footer, MakeItem makeItem) {
  WriteCounts& counts = session.counts;
  counts = {};
  if (!out.write(header.data(), header.size())) return kCannotWrite;
  std::string item;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (HasPosition(session.document, rows[i])) {
      makeItem(session.document, rows[i], item);
      if (!out.write(item.data(), item.size())) return kCannotWrite;
      ++counts.written;
    } else {
      ++counts.leftOut;
    }
    session.progress(rows.size(), i + 1);
  }
  return out.write(footer.data(), footer.size()) ? 0 : kCannotWrite;
}

void AppendBytes(std::string& out, std::u16string_view text) {
  for (const char16_t c : text) out += static_cast<char>(c);
}

void AppendPlainCoordinate(std::string& out, const PoiDocument& document, int row, int column) {
  std::u16string text(document.text(row, column));
  ToPlainDecimal(text, document.display);
  AppendBytes(out, text);
}

}  // namespace qf
