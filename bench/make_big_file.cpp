// Writes a generated benchmark document to a file, in the format its extension names.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/app_settings.h"
#include "core/user_port.h"
#include "formats/file_format.h"
#include "formats/file_pipeline.h"
#include "poi_generator.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: make_big_file COUNT OUTPUT [--shape SHAPE] [--optimised]\n"
               "  SHAPE: europe (default), world, city, south-west, no-position, duplicates, similar, rich,\n"
               "         camera, compact (OV2 only)\n"
               "  --optimised: an OV2 file in skipper blocks\n");
  return 2;
}

bool WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  qf::bench::Shape shape = qf::bench::Shape::Europe;
  bool optimised = false;
  for (int i = 3; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--optimised") {
      optimised = true;
    } else if (option == "--shape" && i + 1 < argc) {
      const auto named = qf::bench::ShapeNamed(argv[++i]);
      if (!named) return Usage();
      shape = *named;
    } else {
      return Usage();
    }
  }
  qf::PoiDocument document = qf::bench::GeneratePois(std::strtoull(argv[1], nullptr, 10), shape);
  std::filesystem::path output = argv[2];  // the format may add its extension
  const qf::FileFormat format = qf::WriteFormatForPath(output, qf::TextEncoding::Utf8);
  if (shape == qf::bench::Shape::Compact) {
    if (format != qf::FileFormat::Ov2) return Usage();
    return WriteBytes(output, qf::bench::WriteCompactOv2(document)) ? 0 : 1;
  }
  qf::AppSettings settings;
  settings.set(qf::Switch::OptimisePoi, optimised);
  qf::SilentUserPort port;
  return qf::RunFileOperation(document, qf::FileOperation::Save, format, output, settings, port) == 0 ? 0 : 1;
}
