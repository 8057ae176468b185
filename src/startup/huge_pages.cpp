#include "startup/huge_pages.h"

#include <cstdlib>
#include <string>

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>
#endif

namespace qf {

void UseHugePagesForHeap([[maybe_unused]] char** argv) {
#if defined(__linux__) && defined(__GLIBC__)
  constexpr const char* kTunable = "glibc.malloc.hugetlb";
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  std::string value = tunables == nullptr ? "" : tunables;
  if (value.find(kTunable) != std::string::npos) return;  // chosen already, by us or the user
  value += value.empty() ? "" : ":";
  // Address space only: pages are still taken when first touched.
  value += std::string(kTunable) + "=1:glibc.malloc.top_pad=67108864";
  if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
  ::execv("/proc/self/exe", argv);
#endif
}

}  // namespace qf
