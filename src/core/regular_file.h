#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace qf {

// Only regular files are read or replaced: a read from a pipe could wait for ever, and a save
// renamed over a device or a pipe would destroy it. Returns why a file of this st_mode is refused
// ("Is a directory", "Not a regular file"), or nothing for a regular file.
std::error_code IrregularFileError(mode_t mode);

// A regular file opened for reading, closed with the object. It is opened without waiting (a pipe
// would wait for a writer) and judged on what was opened, so that nothing can be put in the file's
// place between a look and the open.
class ReadableFile {
 public:
  explicit ReadableFile(const std::filesystem::path& path);
  ~ReadableFile();
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;

  // -1 when the file was refused or could not be opened.
  int fd() const { return fd_; }
  std::uint64_t size() const { return size_; }
  // Why there is no descriptor.
  const std::error_code& reason() const { return reason_; }
  // Refused for its kind: a folder, device or pipe.
  bool notRegular() const { return notRegular_; }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::error_code reason_;
  bool notRegular_ = false;
};

}  // namespace qf
