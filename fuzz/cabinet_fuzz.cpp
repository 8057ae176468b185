// Arbitrary bytes as a downloaded ephemeris cabinet: expanded into an empty folder, it fills that
// folder with plain files, the two it must hold among them, or leaves it empty; nothing is written
// beside it.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "device/cabinet.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Scratch() {
  static const fuzz::ScratchFolder folder;
  return folder.path();
}

void CheckExpanded(const fs::path& folder, bool expanded) {
  bool data = false;
  bool meta = false;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (!expanded || !entry.is_regular_file() || entry.is_symlink()) __builtin_trap();
    data = data || entry.path().filename() == "lto.dat";
    meta = meta || entry.path().filename() == "ee_meta.txt";
  }
  if (expanded && !(data && meta)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path cabinet = Scratch() / "Ephemeris.cab";
  const fs::path folder = Scratch() / "ephem";
  fs::remove_all(folder);
  fs::create_directory(folder);
  std::ofstream(cabinet, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  const std::string required[] = {"lto.dat", "ee_meta.txt"};
  CheckExpanded(folder, qf::ExpandCabinet(cabinet, folder, required));
  // Only the cabinet and the folder: no file escaped it.
  if (std::distance(fs::directory_iterator(Scratch()), fs::directory_iterator()) != 2) __builtin_trap();
  return 0;
}
