#include "startup/huge_pages.h"

#include <cstdlib>
#include <string>
#include <string_view>

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>
#endif

namespace qf {

#if defined(__linux__) && defined(__GLIBC__)

namespace {

constexpr const char* kVariable = "GLIBC_TUNABLES";
// Address space only: pages are still taken when first touched.
constexpr std::string_view kHeapTunables = "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864";

// The user's tunables with the heap's after them.
std::string WithHeapTunables(std::string_view user) {
  return user.empty() ? std::string(kHeapTunables) : std::string(user) + ":" + std::string(kHeapTunables);
}

// The user's tunables in a value of WithHeapTunables.
std::string_view UserPart(std::string_view tunables) {
  tunables.remove_suffix(kHeapTunables.size());
  if (!tunables.empty()) tunables.remove_suffix(1);  // the ':' before the heap's
  return tunables;
}

// Sets the variable to the user's tunables again; none leaves it unset.
void RestoreTunables(std::string_view user) {
  if (user.empty()) {
    ::unsetenv(kVariable);
  } else {
    ::setenv(kVariable, std::string(user).c_str(), 1);
  }
}

}  // namespace

void UseHugePagesForHeap(char** argv) {
  const char* set = std::getenv(kVariable);
  const std::string tunables = set == nullptr ? "" : set;
  if (tunables.ends_with(kHeapTunables)) {  // started again by the call below
    RestoreTunables(UserPart(tunables));
    return;
  }
  if (tunables.find("glibc.malloc.hugetlb") != std::string::npos) return;  // the user's choice
  if (::setenv(kVariable, WithHeapTunables(tunables).c_str(), 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  RestoreTunables(tunables);  // not started again: nothing changes
}

#else

void UseHugePagesForHeap(char**) {}

#endif

}  // namespace qf
