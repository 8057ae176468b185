#include "formats/passed_bytes.h"

#include <sys/mman.h>
#include <unistd.h>

namespace qf {

void ReleasePassedBytes(std::span<const std::uint8_t> bytes) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(bytes.data());
  const std::uintptr_t first = (start + page - 1) / page * page;
  const std::uintptr_t end = (start + bytes.size()) / page * page;
  // Only advice: where it fails, the memory is merely held longer.
  if (first < end) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

}  // namespace qf
