// Arbitrary bytes as a device's favourites file, read with and without the home and recent
// destinations: the scan must stay inside the bytes and come to an end, the rows must keep the
// document's rules, and they must save to a TomTom POI file that reads back with the same rows.
#include <cstdint>
#include <vector>

#include "core/app_settings.h"
#include "document_checks.h"
#include "formats/favourites.h"
#include "formats/file_session.h"
#include "ov2_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qf::AppSettings settings;
  qf::SilentUserPort port;
  for (const bool includeHome : {false, true}) {
    // An exact copy, so that any read past the end is caught.
    std::vector<std::uint8_t> bytes(data, data + size);
    qf::PoiDocument document;
    qf::FileSession session(document, qf::FileOperation::Open, qf::FileFormat::Favourites, settings, port);
    if (qf::ReadFavourites(session, bytes, includeHome) != 0) __builtin_trap();
    fuzz::CheckDocumentRules(document);
    fuzz::CheckOv2RoundTrip(document, false);
  }
  return 0;
}
