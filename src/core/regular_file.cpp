#include "core/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

ReadableFile::ReadableFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    reason_.assign(errno, std::system_category());
    return;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    reason_.assign(errno, std::system_category());
  } else {
    reason_ = IrregularFileError(status.st_mode);
    notRegular_ = static_cast<bool>(reason_);
  }
  if (reason_) {
    ::close(fd);
    return;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(status.st_size);
}

ReadableFile::~ReadableFile() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace qf
