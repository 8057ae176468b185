#include "formats/xml_items.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/file_pipeline.h"
#include "formats/passed_bytes.h"

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

// Files this large are read in pieces on two cores: this thread takes them from the front and
// reads them straight into the document, as one reader would; the other takes them from the back,
// each into a document of its own. They meet wherever the work brings them together, so that a
// core slowed by other work holds up the other by no more than one piece, and only the rows read
// from the back are moved into the document.
constexpr std::size_t kPiecesFrom = 1 << 20;
constexpr std::size_t kPieceCount = 16;
// No item takes fewer bytes, so a part of a file holds at most its size / this many items.
constexpr std::size_t kMinimumItemBytes = 16;

// The number of items the whole file holds if it goes on as its first 256 KB.
std::size_t EstimatedItems(const TagScanner& scan, const ItemFormat& format) {
  constexpr std::size_t kSampleBytes = 256 << 10;
  std::size_t count = 0;
  for (std::size_t pos = format.findStart(scan, 0); pos < kSampleBytes; pos = format.findStart(scan, pos + 1)) ++count;
  return count * (scan.size() / kSampleBytes + 1);
}

// The items that start in [begin, end); a piece read from the back has a document of its own.
struct Piece {
  std::size_t begin = 0;
  std::size_t end = kNotFound;
  PoiDocument document;
  std::size_t pos = 0;  // where reading stopped: the next item's start, or kNotFound
  int result = 0;
};

// Pieces of about equal size, each starting at an item.
std::vector<Piece> SplitIntoPieces(const TagScanner& scan, const ItemFormat& format) {
  std::vector<std::size_t> begins{0};
  for (std::size_t k = 1; k < kPieceCount; ++k) {
    const std::size_t start = format.findStart(scan, scan.size() / kPieceCount * k);
    if (start == kNotFound) break;
    if (start > begins.back()) begins.push_back(start);
  }
  std::vector<Piece> pieces(begins.size());
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    pieces[k].begin = pieces[k].pos = begins[k];
    pieces[k].end = k + 1 < begins.size() ? begins[k + 1] : kNotFound;
  }
  return pieces;
}

class PieceReader {
 public:
  PieceReader(FileSession& session, const TagScanner& scan, const ItemFormat& format, std::vector<Piece>& pieces)
      : session_(session), scan_(scan), format_(format), pieces_(pieces), back_(pieces.size()) {}

  // Reads the pieces; `front` is then the number read from the front, and `pos` where that stopped.
  int read(std::size_t& front, std::size_t& pos, FrontRelease& release) {
    // Room for the rows as the start of the file suggests, so that nothing moves rows while they grow.
    expected_ = EstimatedItems(scan_, format_);
    const PoiDocument& document = session_.document;
    for (std::size_t k = 1; k < pieces_.size(); ++k) {
      PoiDocument& pieceDocument = pieces_[k].document;
      pieceDocument.kind = document.kind;
      pieceDocument.richPoiFile = document.richPoiFile;
      pieceDocument.display = document.display;
      // Room for the ids of every item that can start before this piece.
      pieceDocument.nextRowId = document.nextRowId + static_cast<RowId>(pieces_[k].begin / kMinimumItemBytes + k);
    }
    session_.document.rows.reserve(document.rows.size() + expected_);
    FileSession frontSession(session_.document, session_.operation, session_.format, session_.settings,
                             session_.port);
    frontSession.quiet = true;
    int result = 0;
    std::jthread helper([this] {
      while (const std::optional<std::size_t> k = claim(false)) readFromBack(*k);
    });
    while (result == 0) {
      const std::optional<std::size_t> k = claim(true);
      if (!k) break;
      result = ReadItemsFrom(frontSession, scan_, format_, pos, pieces_[*k].end, &release);
      front = *k + 1;
      finished(pieces_[*k], true);
    }
    if (result != 0) claimAll();
    return result;
  }

 private:
  // The next piece from the front or the back; nothing once they meet.
  std::optional<std::size_t> claim(bool fromFront) {
    const std::lock_guard lock(mutex_);
    if (front_ == back_) return std::nullopt;
    return fromFront ? front_++ : --back_;
  }
  void claimAll() {
    const std::lock_guard lock(mutex_);
    back_ = front_;
  }

  void readFromBack(std::size_t k) {
    Piece& piece = pieces_[k];
    const std::size_t share = expected_ * (std::min(piece.end, scan_.size()) - piece.begin) / scan_.size();
    piece.document.rows.reserve(share + share / 16 + 16);
    FileSession pieceSession(piece.document, session_.operation, session_.format, session_.settings, session_.port);
    pieceSession.quiet = true;
    piece.result = ReadItemsFrom(pieceSession, scan_, format_, piece.pos, piece.end);
    finished(piece, false);
  }

  // Only this thread reports progress, as each of its pieces ends.
  void finished(const Piece& piece, bool onCaller) {
    bytesRead_ += std::min(piece.end, scan_.size()) - piece.begin;
    if (onCaller) session_.progress(scan_.size(), bytesRead_);
  }

  FileSession& session_;
  const TagScanner& scan_;
  const ItemFormat& format_;
  std::vector<Piece>& pieces_;
  std::size_t expected_ = 0;
  std::mutex mutex_;
  std::size_t front_ = 0;  // pieces [front_, back_) are still to be read
  std::size_t back_;
  std::atomic<std::size_t> bytesRead_ = 0;
};

// Joins the pieces read from the back in file order, as if one reader had read on. A piece whose
// last item reaches past the next piece's start (a tag that never closes) means the pieces do not
// meet: then reading goes on alone from there.
int ReadItemsInPieces(FileSession& session, const TagScanner& scan, const ItemFormat& format,
                      std::vector<Piece>& pieces) {
  std::size_t front = 0;
  std::size_t pos = 0;
  FrontRelease release;
  if (const int result = PieceReader(session, scan, format, pieces).read(front, pos, release); result != 0) {
    return result;
  }
  const bool importing = session.operation == FileOperation::Import;
  for (std::size_t k = front; k < pieces.size() && pos == pieces[k].begin; ++k) {
    AppendReadOn(session.document, std::move(pieces[k].document), importing);
    if (pieces[k].result != 0) return pieces[k].result;
    pos = pieces[k].pos;
  }
  // Nothing is left when the last piece read ended the file.
  return ReadItemsFrom(session, scan, format, pos, kNotFound, &release);
}

}  // namespace

int ReadItems(FileSession& session, std::span<std::uint8_t> bytes, const ItemFormat& format) {
  const TagScanner scan(bytes);
  // The root comes first in a real file, so this costs a whole scan only for other files.
  if (std::ranges::none_of(format.elements, [&](std::string_view start) { return HasElement(scan, start); })) {
    return kUnknownContent;
  }
  // The duplicate-name check compares each name with every earlier one, so it reads in order.
  const bool inPieces = bytes.size() >= kPiecesFrom && !session.settings.on(Switch::CheckName);
  std::vector<Piece> pieces = inPieces ? SplitIntoPieces(scan, format) : std::vector<Piece>();
  if (pieces.size() >= 2) return ReadItemsInPieces(session, scan, format, pieces);
  std::size_t pos = 0;
  FrontRelease release;
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
