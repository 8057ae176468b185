#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/byte_sink.h"

namespace qf {

// Replaces a file all at once: the bytes go to a temporary file beside the target, which is renamed over the
// target only when everything was written and flushed to disk. A failure at any point leaves the old file as
// it was. Where the file system allows, the temporary file has no name until the commit, so that a process
// killed halfway leaves nothing behind. An existing target's permission bits, owner and group are carried
// over to the new file as far as the process may set them; set-user-ID and similar bits are not.
class AtomicFile : public ByteSink {
 public:
  AtomicFile() = default;
  ~AtomicFile() override;  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // What a symbolic link at the target stands for: the file it points at, which is then replaced,
  // or only itself, which is then replaced by the new file.
  enum class Links { Follow, Replace };
  // Creates the temporary file beside `target`; false when that is not possible. Only a regular file
  // or a name where nothing is yet can be a target: a folder, a device or a pipe is refused, and a
  // link is followed only to a regular file.
  bool open(const std::filesystem::path& target, Links links = Links::Follow);
  // Buffered append; false after any failure (including a failed or missing open).
  bool write(const void* data, std::size_t size) override;
  bool rewrite(std::uint64_t offset, const void* data, std::size_t size) override;
  // Flushes, syncs and renames over the target; false (target untouched) on any failure.
  bool commit();
  // What the system said about the first failure since open; empty when there was none, or when
  // the failure was a write or commit without a successful open.
  std::error_code error() const { return error_; }

 private:
  // Records the first failure, discards the temporary file and returns false.
  bool fail(std::error_code error);
  bool failWithErrno() { return fail({errno, std::system_category()}); }
  // Creates a named temporary file, where the file system has no unnamed ones.
  bool openNamed();
  // Gives the unnamed temporary file a name beside the target.
  bool linkUnnamed();
  void keepOwnerAndPermissions();
  // Writes straight to the temporary file; sets failed_ on failure.
  void writeOut(const std::uint8_t* data, std::size_t size);
  bool flushBuffer();
  void discard();

  std::filesystem::path target_;
  Links links_ = Links::Follow;
  std::filesystem::path temp_;  // the temporary file's name while it has one
  int pendingSlot_ = -1;        // where a signal handler finds that name
  int fd_ = -1;
  bool failed_ = false;
  std::error_code error_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t written_ = 0;      // bytes in the temporary file
  std::uint64_t writtenBack_ = 0;  // of those, bytes already sent on their way to disk
};

// Removes the named temporary files of saves still under way. Async-signal-safe: for the handler
// of a signal that ends the process, so that the process leaves no temporary file behind even on
// a file system where temporary files must be created with a name.
void RemoveUnfinishedTemporaryFiles();

}  // namespace qf
