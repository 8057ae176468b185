// Arbitrary bytes as a device's favourites file, read with and without the home and recent
// destinations; the scan must stay inside the bytes and come to an end.
#include <cstdint>
#include <vector>

#include "core/app_settings.h"
#include "formats/favourites.h"
#include "formats/file_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qf::AppSettings settings;
  qf::SilentUserPort port;
  for (const bool includeHome : {false, true}) {
    // An exact copy, so that any read past the end is caught.
    std::vector<std::uint8_t> bytes(data, data + size);
    qf::PoiDocument document;
    qf::FileSession session(document, qf::FileOperation::Open, qf::FileFormat::Favourites, settings, port);
    if (qf::ReadFavourites(session, bytes, includeHome) != 0) __builtin_trap();
  }
  return 0;
}
