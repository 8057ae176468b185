#pragma once

#include <cstdint>
#include <span>

#include "core/byte_sink.h"
#include "formats/file_session.h"

namespace qf {

// Delimited text, one POI a line, in the layouts csv, asc and poi (comma separated:
// longitude, latitude, name, memo, telephone) and txt (tab separated: name, longitude,
// latitude, telephone, memo). Files are UTF-16LE or UTF-8 with a byte-order mark, or
// else ANSI in the code page of the settings.

// Reads a comma layout; the session's format says which one (csv, asc or poi) and becomes
// the exact format with the detected encoding. Lines that do not fit are skipped, so the
// result is always 0.
int ReadCommaText(FileSession& session, std::span<std::uint8_t> bytes);

// Reads the tab layout; a file starting with a double quote is a phonebook, read by
// ReadPhonebook with its result.
int ReadTabText(FileSession& session, std::span<std::uint8_t> bytes);

// Write the layout and encoding of the session's format. Return 0 or kCannotWrite.
int WriteCommaText(FileSession& session, ByteSink& out);
int WriteTabText(FileSession& session, ByteSink& out);

}  // namespace qf
