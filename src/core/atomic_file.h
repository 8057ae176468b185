#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/byte_sink.h"

namespace qf {

// Replaces a file all at once: the bytes go to a temporary file beside the target, which is renamed over the
// target only when everything was written and flushed to disk. A failure at any point leaves the old file as
// it was. An existing target's permission bits are carried over to the new file.
class AtomicFile : public ByteSink {
 public:
  AtomicFile() = default;
  ~AtomicFile() override;  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // What a symbolic link at the target stands for: the file it points at, which is then replaced,
  // or only itself, which is then replaced by the new file.
  enum class Links { Follow, Replace };
  // Creates the temporary file beside `target`; false when that is not possible.
  bool open(const std::filesystem::path& target, Links links = Links::Follow);
  // Buffered append; false after any failure (including a failed or missing open).
  bool write(const void* data, std::size_t size) override;
  // Flushes, syncs and renames over the target; false (target untouched) on any failure.
  bool commit();

 private:
  // Writes straight to the temporary file; sets failed_ on failure.
  void writeOut(const std::uint8_t* data, std::size_t size);
  bool flushBuffer();
  void discard();

  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;
  bool failed_ = false;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t written_ = 0;      // bytes in the temporary file
  std::uint64_t writtenBack_ = 0;  // of those, bytes already sent on their way to disk
};

}  // namespace qf
