// Arbitrary bytes as every row exchange layout: whatever decodes must encode to bytes that decode
// to the same rows. The same bytes as UTF-16 text go through Paste Coordinates.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "editing/row_exchange.h"

namespace {

using Decoder = qf::ExchangeRows (*)(std::span<const std::uint8_t>);
using Encoder = std::vector<std::uint8_t> (*)(std::span<const qf::ExchangeRow>);

void CheckRoundTrip(Decoder decode, Encoder encode, std::span<const std::uint8_t> bytes) {
  const qf::ExchangeRows rows = decode(bytes);
  if (decode(encode(rows)) != rows) __builtin_trap();
}

std::vector<std::uint8_t> EncodeDrag(std::span<const qf::ExchangeRow> rows) {
  return qf::EncodeDragRecords(rows, false);
}

// The display order only decides between two values without letters, so it can only swap them.
void CheckPaste(std::u16string_view text) {
  const qf::PastedCoordinates latFirst = qf::ParsePastedCoordinates(text, false);
  const qf::PastedCoordinates lngFirst = qf::ParsePastedCoordinates(text, true);
  if (latFirst != lngFirst && latFirst != qf::PastedCoordinates{lngFirst.lat, lngFirst.lng}) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  CheckRoundTrip(qf::DecodeRowBlock, qf::EncodeRowBlock, bytes);
  CheckRoundTrip(qf::DecodeRouteRows, qf::EncodeRouteRows, bytes);
  CheckRoundTrip(qf::DecodePositionRecords, qf::EncodePositionRecords, bytes);
  CheckRoundTrip(qf::DecodeDragRecords, EncodeDrag, bytes);
  CheckRoundTrip(qf::DecodeRouteDragRecords, qf::EncodeRouteDragRecords, bytes);

  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  CheckPaste(text);
  return 0;
}
