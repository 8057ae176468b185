#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qf {

// One character of the rich-POI Huffman code: its bit pattern, first bit first.
struct HuffmanCode {
  char16_t character;
  std::string_view bits;
};

// In search order; U+0000 ends a text. The code is prefix-free, so the first pattern
// that matches is the only one.
extern const std::array<HuffmanCode, 146> kHuffmanCodes;

// Decodes Huffman-coded bytes (each byte gives its bits from the least significant up)
// and appends at most `limit` characters to `text`. Decoding ends with the bits, at the
// end-of-text character or at bits that match no pattern.
void DecodeHuffman(std::span<const std::uint8_t> bytes, std::size_t limit, std::u16string& text);

}  // namespace qf
