#include "formats/charcode.h"

#include <optional>

namespace qf {

namespace {

constexpr std::u16string_view kAlphabet = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ{-+=}";
constexpr char16_t kEscape = u'}';
constexpr unsigned kBase = 41;

std::uint16_t Wrap(unsigned value) { return static_cast<std::uint16_t>(value & 0xFFFF); }

std::optional<unsigned> DigitValue(char16_t c) {
  if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  const std::size_t digit = kAlphabet.find(c);
  if (digit == std::u16string_view::npos) return std::nullopt;
  return static_cast<unsigned>(digit);
}

std::size_t NameStart(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string_view::npos ? 0 : slash + 1;
}

// A decoded escape must stay a single name: it may not smuggle in a separator or end the path.
bool FitsInName(char16_t c) { return c != 0 && c != u'/' && c != u'\\'; }

}  // namespace

std::uint16_t EncodeCharCode(char16_t character) {
  if (character < 0x100) return Wrap(character + 0x2100u);
  unsigned u = character;
  if (u > 0xF000) u -= 0x5000;
  const unsigned v = (u + 0x1EEC) & 0xFFFF;
  const unsigned q = v / 213;
  const unsigned r = v % 213;
  unsigned code;
  if (r < 35) {
    code = q * 256 + r - 41;  // high byte q - 1, low byte r + 215
  } else if (r <= 37) {
    code = q * 256 + r;
  } else if (r <= 91) {
    code = q * 256 + r + 1;
  } else {
    code = q * 256 + r + 2;
  }
  std::uint16_t result = Wrap(code);
  if (result < 0x5E00) result = Wrap(result - 0x100u);
  if (result < 0x2700) result = Wrap(result - 0x100u);
  return result;
}

char16_t DecodeCharCode(std::uint16_t code) {
  if (Wrap(code - 0x2100u) <= 0xFF) return static_cast<char16_t>(Wrap(code - 0x2100u));
  unsigned w = code;
  if (w < 0x2600) w += 0x100;
  if (w < 0x5D00) w += 0x100;
  const unsigned high = w >> 8;
  const unsigned low = w & 0xFF;
  std::uint16_t c = Wrap(high * 213 + low - 0x1EEC);
  if (low > 92) {
    c = Wrap(c - 2u);
  } else if (low > 37) {
    c = Wrap(c - 1u);
  }
  if (c > 0xA000) c = Wrap(c + 0x5000u);
  return static_cast<char16_t>(c);
}

std::u16string ToTomTomCharCode(std::u16string_view path) {
  const std::size_t start = NameStart(path);
  std::u16string result(path.substr(0, start));
  for (char16_t c : path.substr(start)) {
    if (c < 0x100) {
      result += c;
      continue;
    }
    const unsigned code = EncodeCharCode(c);
    result += kEscape;
    result += kAlphabet[code / (kBase * kBase)];
    result += kAlphabet[code / kBase % kBase];
    result += kAlphabet[code % kBase];
  }
  return result;
}

std::u16string FromTomTomCharCode(std::u16string_view path) {
  const std::size_t start = NameStart(path);
  std::u16string result(path.substr(0, start));
  for (std::size_t i = start; i < path.size(); ++i) {
    if (path[i] == kEscape && i + 3 < path.size()) {
      const auto d1 = DigitValue(path[i + 1]);
      const auto d2 = DigitValue(path[i + 2]);
      const auto d3 = DigitValue(path[i + 3]);
      if (d1 && d2 && d3) {
        const char16_t c = DecodeCharCode(Wrap(*d1 * kBase * kBase + *d2 * kBase + *d3));
        if (FitsInName(c)) {
          result += c;
          i += 3;
          continue;
        }
      }
    }
    result += path[i];
  }
  return result;
}

}  // namespace qf
