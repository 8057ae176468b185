#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>

#include "core/poi_document.h"

namespace qf {

// A whole file with the two bytes after it that the format's reader expects. The file is mapped
// rather than copied where the system allows: its pages come from the system's cache as a reader
// gets to them and go back as it passes them, so a large file is never held whole and never
// copied. Elsewhere it is read into memory.
class FileBuffer {
 public:
  FileBuffer() = default;
  FileBuffer(FileBuffer&&) = delete;
  ~FileBuffer();

  // Maps the first `size` bytes of the open file `fd`; false when the system does not allow it.
  bool map(int fd, std::size_t size);
  // Room for `size` bytes and the two spare ones; false when there is not enough memory.
  bool allocate(std::size_t size);
  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  // The file's bytes, without the spare ones.
  std::span<std::uint8_t> bytes() const { return {data_, size_}; }
  // Whether the mapped file was cut short by someone else while it was read. What was read after
  // the cut were zeros, and must be thrown away.
  bool shrank() const;

 private:
  void release();
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;  // bytes of the mapping, 0 for the heap
  int guard_ = -1;          // the slot watching a mapped file
};

// Gives back the whole pages inside `bytes` when they lie in a mapped file, which reads them again
// from the file should they be looked at later; other memory is kept.
void ReleaseIfMapped(std::span<const std::uint8_t> bytes);

// Returns 0, kCannotOpen, kCannotRead or kNoMemory. Anything but a regular file is refused with
// kCannotOpen. `reason` tells what the system said about a failure, where it said something.
int ReadWholeFile(const std::filesystem::path& path, FileFormat format, FileBuffer& buffer,
                  std::error_code& reason);

}  // namespace qf
