#include "formats/piece_reading.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace qf {

namespace {

constexpr std::size_t kPiecesFrom = 1 << 20;

// A piece read from the back: its rows, where its reading stopped, and how.
struct BackPiece {
  PoiDocument document;
  std::size_t pos = 0;
  int result = 0;
};

class PieceReader {
 public:
  PieceReader(FileSession& session, const std::vector<FilePiece>& pieces, std::size_t expectedRows,
              const PieceRead& read)
      : session_(session),
        pieces_(pieces),
        read_(read),
        expected_(expectedRows),
        fileBytes_(pieces.back().end),
        backPieces_(pieces.size()),
        back_(pieces.size()) {}

  // Reads the pieces; `front` is then the number read from the front, and `pos` where that stopped.
  int read(std::size_t& front, std::size_t& pos) {
    const PoiDocument& document = session_.document;
    // Room for the rows as expected, so that nothing moves rows while they grow. It is taken here,
    // before reading starts: memory the helper thread takes stays with it after the rows move on.
    session_.document.rows.reserve(document.rows.size() + expected_);
    // Every piece, the first too: a helper left to run on alone may come to any of them.
    for (std::size_t k = 0; k < pieces_.size(); ++k) {
      PoiDocument& pieceDocument = backPieces_[k].document;
      pieceDocument.kind = document.kind;
      pieceDocument.richPoiFile = document.richPoiFile;
      pieceDocument.display = document.display;
      pieceDocument.nextRowId = document.nextRowId + static_cast<RowId>(pieces_[k].rowsBefore);
      // The first piece is the front's.
      if (k > 0) pieceDocument.rows.reserve(pieces_[k].rowsExpected);
      backPieces_[k].pos = pieces_[k].begin;
    }
    FileSession frontSession(session_.document, session_.operation, session_.format, session_.settings,
                             session_.port);
    frontSession.quiet = session_.quiet;
    int result = 0;
    std::jthread helper([this] {
      while (const std::optional<std::size_t> k = claim(false)) readFromBack(*k);
    });
    while (result == 0) {
      const std::optional<std::size_t> k = claim(true);
      if (!k) break;
      // Progress goes on from what both threads have read so far.
      frontSession.progressShift = static_cast<std::int64_t>(bytesRead_) - static_cast<std::int64_t>(pieces_[*k].begin);
      result = read_(frontSession, *k, pos, true);
      front = *k + 1;
      finished(pieces_[*k], true);
    }
    if (result != 0) claimAll();
    return result;
  }

  // Joins the pieces read from the back that meet the reading before them.
  int join(std::size_t front, std::size_t& pos) {
    const bool importing = session_.operation == FileOperation::Import;
    for (std::size_t k = front; k < pieces_.size() && pos == pieces_[k].begin; ++k) {
      AppendReadOn(session_.document, std::move(backPieces_[k].document), importing);
      if (backPieces_[k].result != 0) return backPieces_[k].result;
      pos = backPieces_[k].pos;
    }
    session_.progress(fileBytes_, pos);
    return 0;
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
    BackPiece& piece = backPieces_[k];
    FileSession pieceSession(piece.document, session_.operation, session_.format, session_.settings, session_.port);
    pieceSession.quiet = true;
    piece.result = read_(pieceSession, k, piece.pos, false);
    finished(pieces_[k], false);
  }

  // Only this thread reports progress: as it reads, and as each of its pieces ends.
  void finished(const FilePiece& piece, bool onCaller) {
    bytesRead_ += piece.end - piece.begin;
    if (onCaller) session_.progress(fileBytes_, bytesRead_);
  }

  FileSession& session_;
  const std::vector<FilePiece>& pieces_;
  const PieceRead& read_;
  const std::size_t expected_;
  const std::size_t fileBytes_;
  std::vector<BackPiece> backPieces_;
  std::mutex mutex_;
  std::size_t front_ = 0;  // pieces [front_, back_) are still to be read
  std::size_t back_;
  std::atomic<std::size_t> bytesRead_ = 0;
};

}  // namespace

bool ReadsInPieces(const FileSession& session, std::size_t size) {
  return size >= kPiecesFrom && !session.settings.on(Switch::CheckName);
}

int ReadInPieces(FileSession& session, const std::vector<FilePiece>& pieces, std::size_t expectedRows,
                 const PieceRead& read, std::size_t& pos) {
  PieceReader reader(session, pieces, expectedRows, read);
  std::size_t front = 0;
  pos = pieces.front().begin;
  if (const int result = reader.read(front, pos); result != 0) return result;
  return reader.join(front, pos);
}

}  // namespace qf
