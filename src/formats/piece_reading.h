#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "formats/file_session.h"

namespace qf {

// Large files are read in pieces on two cores: this thread takes them from the front and reads
// them straight into the session's document, as one reader would; a helper thread takes them from
// the back, each into a document of its own. They meet wherever the work brings them together, so
// that a core slowed by other work holds up the other by no more than one piece, and only the rows
// read from the back are moved into the document.

// Whether a file of `size` bytes is read in pieces. The duplicate-name check compares each name
// with every earlier one, so with it a file is read in order.
bool ReadsInPieces(const FileSession& session, std::size_t size);

// A stretch of a file: the items (records, placemarks, waypoints) that start in [begin, end).
struct FilePiece {
  std::size_t begin = 0;
  std::size_t end = 0;
  // At most how many rows the file holds before the piece, so that its rows get ids of their own.
  std::size_t rowsBefore = 0;
  // Room for its rows, should it be read from the back.
  std::size_t rowsExpected = 0;
};

// Reads the items of piece `k` that start in [pos, its end) into the reader's document, and sets
// `pos` to where the item after them starts; returns 0 or a message id. `fromFront` tells the
// reader that goes through the file from its start, which nothing reads behind.
using PieceRead = std::function<int(FileSession& reader, std::size_t k, std::size_t& pos, bool fromFront)>;

// Reads `pieces` (at least two, in file order, the last ending with the file), the whole file
// holding about `expectedRows` rows. The pieces read from the back are then joined in file order
// as long as each starts where the reading before it stopped, as if one reader had read on.
// Returns 0 or the first fault met; `pos` is then where the joined reading stopped, which is short
// of the end when an item reached past the start of the next piece (a tag that never closes):
// reading goes on alone from there.
int ReadInPieces(FileSession& session, const std::vector<FilePiece>& pieces, std::size_t expectedRows,
                 const PieceRead& read, std::size_t& pos);

}  // namespace qf
