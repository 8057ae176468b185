// Writes the generated benchmark document to a file, in the format its extension names.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/app_settings.h"
#include "core/user_port.h"
#include "formats/file_format.h"
#include "formats/file_pipeline.h"
#include "poi_generator.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_big_file COUNT OUTPUT\n");
    return 2;
  }
  qf::PoiDocument document = qf::bench::GeneratePois(std::strtoull(argv[1], nullptr, 10));
  std::filesystem::path output = argv[2];
  qf::AppSettings settings;
  settings.set(qf::Switch::OptimisePoi, false);
  qf::SilentUserPort port;
  const qf::FileFormat format = qf::WriteFormatForPath(output, qf::TextEncoding::Utf8);
  return qf::RunFileOperation(document, qf::FileOperation::Save, format, output, settings, port) == 0 ? 0 : 1;
}
