// Arbitrary bytes as a KML file, written back and read again.
#include "kml_gpx_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CheckRoundTrip(qf::FileFormat::Kml, qf::ReadKml, static_cast<fuzz::Writer>(qf::WriteKml), data, size);
  return 0;
}
