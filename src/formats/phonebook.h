#pragma once

#include <cstdint>
#include <span>

#include "core/byte_sink.h"
#include "formats/file_session.h"

namespace qf {

// Reads a TomTom phonebook: one contact a line, three quoted fields (name, number, type).
// On Open the document becomes a phonebook document. Unreadable lines are skipped, so the
// result is always 0.
int ReadPhonebook(FileSession& session, std::span<std::uint8_t> bytes);

// Writes the rows that have a telephone: all rows on Save (a pinned base-point row too),
// the selected rows on Export. Returns 0 or kCannotWrite.
int WritePhonebook(FileSession& session, ByteSink& out);

}  // namespace qf
