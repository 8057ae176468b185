#pragma once

#include <cstdint>
#include <optional>

#include "core/poi_document.h"

namespace qf {

// The type-100 record that a file may carry first. A mark is valid when it is a
// 21-byte type-100 record whose check sum is 391, or 135 for safety-camera files.
inline constexpr int kPoiMarkSum = 391;
inline constexpr int kCameraMarkSum = 135;

// The bytes at offsets 5 to 14 added up, less the byte at offset 16.
int MarkCheckSum(const SignalMark& mark);
bool IsValidMark(const SignalMark& mark, int checkSum);

// The mark every safety-camera file gets when the document has no valid one of its own.
inline constexpr SignalMark kCameraSignalMark = {0x64, 0x15, 0x00, 0x00, 0x00, 0x56, 0x33, 0xA2, 0x0B, 0x01, 0x00,
                                                 0x00, 0x00, 0x01, 0x00, 0x00, 0xB1, 0x00, 0x00, 0x00, 0x00};

// A new mark of an ordinary document from four random bytes; `seed` starts the generator.
SignalMark NewSignalMark(std::uint32_t seed);

// The mark a saved file starts with, if any. A new mark is kept in the document so that
// later saves reuse it.
std::optional<SignalMark> MarkForSave(PoiDocument& document, bool signalMarkOption);

}  // namespace qf
