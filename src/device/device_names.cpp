#include "device/device_names.h"

#include "core/unicode.h"

namespace qf {

namespace {

constexpr std::size_t kMaxNameBytes = 767;

bool TravelsAsItIs(unsigned char byte) { return byte < 0x80 && byte != ' ' && byte != '#' && byte != '?' && byte != '%'; }

}  // namespace

std::string EncodeDeviceName(std::u16string_view name) {
  std::string utf8 = Utf16ToUtf8(name);
  if (utf8.size() > kMaxNameBytes) {
    // Cut before a character's continuation bytes, so that no half character is sent.
    std::size_t end = kMaxNameBytes;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    utf8.resize(end);
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(utf8.size() * 3);
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (TravelsAsItIs(byte)) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0xF];
    }
  }
  return encoded;
}

}  // namespace qf
