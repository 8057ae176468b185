// Arbitrary bytes as a listing page of the device, read as each of its three pages: every entry must
// name a file within the limits of the page, point inside the text, and have its cells read there.
#include <cstdint>
#include <string_view>

#include "device/device_listing.h"

namespace {

constexpr std::size_t kLongestLinkText = 255;

void Check(const qf::DeviceListing& listing, qf::ListingPage page) {
  for (std::size_t kind = 0; kind < qf::kDeviceFileKinds; ++kind) {
    if (page != qf::ListingPage::Pois && kind > 0 && !listing.lists[kind].empty()) __builtin_trap();
    for (const qf::DeviceListingEntry& entry : listing.lists[kind]) {
      if (entry.name.size() > kLongestLinkText || entry.after > listing.text.size()) __builtin_trap();
      if (!listing.holds(static_cast<qf::DeviceFileKind>(kind), entry.name)) __builtin_trap();
      const qf::DeviceEntryCells cells = qf::CellsAfter(listing, entry.after);
      if (cells.date.size() >= 64 || cells.size.size() > 31) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  for (const qf::ListingPage kind : {qf::ListingPage::Pois, qf::ListingPage::Dumps, qf::ListingPage::ScreenDump}) {
    Check(qf::ParseDeviceListing(page, kind), kind);
  }
  return 0;
}
