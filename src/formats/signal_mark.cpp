#include "formats/signal_mark.h"

#include <chrono>
#include <random>

#include "formats/ov2_record.h"

namespace qf {

namespace {

constexpr auto kMarkType = static_cast<std::uint8_t>(ov2::RecordType::kSignalMark);
constexpr auto kMarkLength = static_cast<std::uint8_t>(std::tuple_size_v<SignalMark>);
// r1 + r2 + r3 + r4 + b: with k = 255 - b at offset 16 and 0x80 at offset 14 the check sum is 391.
constexpr int kRandomAndBalance = 518;

}  // namespace

int MarkCheckSum(const SignalMark& mark) {
  int sum = 0;
  for (std::size_t offset = 5; offset <= 14; ++offset) sum += mark[offset];
  return sum - mark[16];
}

bool IsValidMark(const SignalMark& mark, int checkSum) {
  return mark[0] == kMarkType && mark[1] == kMarkLength && mark[2] == 0 && mark[3] == 0 && mark[4] == 0 &&
         MarkCheckSum(mark) == checkSum;
}

SignalMark NewSignalMark(std::uint32_t seed) {
  std::minstd_rand random(seed);
  SignalMark mark{};
  int balance = 0;
  do {
    int sum = 0;
    for (std::size_t offset = 5; offset <= 8; ++offset) {
      mark[offset] = static_cast<std::uint8_t>(random() % 255 + 1);
      sum += mark[offset];
    }
    balance = kRandomAndBalance - sum;
  } while (balance < 0 || balance > 254);
  mark[0] = kMarkType;
  mark[1] = kMarkLength;
  mark[14] = 0x80;
  mark[16] = static_cast<std::uint8_t>(255 - balance);
  return mark;
}

std::optional<SignalMark> MarkForSave(PoiDocument& document, bool signalMarkOption) {
  if (document.kind == DocumentKind::SafetyCamera) {
    return IsValidMark(document.signalMark, kCameraMarkSum) ? document.signalMark : kCameraSignalMark;
  }
  if (!signalMarkOption) return std::nullopt;
  if (!IsValidMark(document.signalMark, kPoiMarkSum)) {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch();
    document.signalMark =
        NewSignalMark(static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(ticks).count()));
  }
  return document.signalMark;
}

}  // namespace qf
