#include "core/regular_file.h"

#include <sys/stat.h>

#include <string>

namespace qf {
namespace {

// The system has no error number that says "not a regular file".
class IrregularFileCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "file kind"; }
  std::string message(int) const override { return "Not a regular file"; }
};

}  // namespace

std::error_code IrregularFileError(mode_t mode) {
  static const IrregularFileCategory category;
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return std::make_error_code(std::errc::is_a_directory);
  return {1, category};
}

}  // namespace qf
