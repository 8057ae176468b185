// Arbitrary bytes as a GPX file, written back and read again.
#include "kml_gpx_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CheckRoundTrip(qf::FileFormat::Gpx, qf::ReadGpx, static_cast<fuzz::Writer>(qf::WriteGpx), data, size);
  return 0;
}
