#include "device/bitmap_repair.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/atomic_file.h"

namespace qf {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::size_t kImageSizeField = 34;
// Icons are small; anything far larger is no icon and is left alone.
constexpr std::uintmax_t kLargestBitmap = 64u << 20;

std::uint32_t ReadLittle32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void WriteLittle32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes[at++] = static_cast<std::uint8_t>(value >> shift);
}

}  // namespace

bool RepairBitmap(const std::filesystem::path& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kLargestBitmap) return false;
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  if (bytes.size() != size || bytes.size() < kFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  WriteLittle32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
  if (ReadLittle32(bytes, kFileHeaderSize) != kCoreHeaderSize) {
    if (bytes.size() < kImageSizeField + 4) return false;
    WriteLittle32(bytes, kImageSizeField, 0);
  }
  AtomicFile out;
  return out.open(path) && out.write(bytes.data(), bytes.size()) && out.commit();
}

}  // namespace qf
