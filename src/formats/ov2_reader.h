#pragma once

#include <cstdint>
#include <span>

#include "formats/file_session.h"

namespace qf {

// Reads a TomTom POI file (Open or Import) into the session's document. The bytes are
// the whole file, used up by reading: type-15 records are unscrambled in place, and the
// memory of a large file is given back as it is read. Returns 0 or a message id; rows
// read before an error stay in the document.
int ReadOv2(FileSession& session, std::span<std::uint8_t> bytes);

}  // namespace qf
