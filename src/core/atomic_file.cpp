#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

namespace qf {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// A link to the file being saved is kept: the file it points at is the one replaced.
std::filesystem::path ResolveLinks(const std::filesystem::path& target) {
  std::error_code error;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
    std::filesystem::path real = std::filesystem::canonical(target, error);
    if (!error) return real;
  }
  return target;
}

std::string RandomSuffix() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string suffix(8, '0');
  for (char& c : suffix) c = kDigits[generator() % (sizeof(kDigits) - 1)];
  return suffix;
}

// Bytes after which what was written so far starts on its way to disk, so that the sync at the
// end of a large save waits only for the last of it.
constexpr std::uint64_t kWritebackBytes = std::uint64_t{4} << 20;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Makes the rename itself durable; a folder that cannot be synced does not undo a completed save.
void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(const std::filesystem::path& target, Links links) {
  discard();
  target_ = links == Links::Follow ? ResolveLinks(target) : target;
  failed_ = false;
  buffer_.clear();
  written_ = writtenBack_ = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    // A name of its own rather than one derived from the target, which may already be as long as names get.
    std::filesystem::path temp = target_;
    temp.replace_filename(".quillfern-" + RandomSuffix() + ".tmp");
    // Created with 0666 so that the umask decides a new file's permissions, as for any other new file.
    fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temp_ = std::move(temp);
      buffer_.reserve(kBufferSize);
      return true;
    }
    if (errno != EEXIST) break;
  }
  failed_ = true;
  return false;
}

bool AtomicFile::write(const void* data, std::size_t size) {
  if (fd_ < 0 || failed_) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (buffer_.size() + size > kBufferSize && !flushBuffer()) return false;
  if (size >= kBufferSize) {
    writeOut(bytes, size);
  } else {
    buffer_.insert(buffer_.end(), bytes, bytes + size);
  }
  return !failed_;
}

bool AtomicFile::commit() {
  if (fd_ < 0 || failed_ || !flushBuffer()) {
    discard();
    return false;
  }
  struct stat existing {};
  if (::stat(target_.c_str(), &existing) == 0 && ::fchmod(fd_, existing.st_mode & 07777) != 0) failed_ = true;
  if (!failed_ && ::fsync(fd_) != 0) failed_ = true;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) failed_ = true;
  if (failed_ || ::rename(temp_.c_str(), target_.c_str()) != 0) {
    discard();
    return false;
  }
  temp_.clear();
  SyncFolder(target_.parent_path());
  return true;
}

void AtomicFile::writeOut(const std::uint8_t* data, std::size_t size) {
  if (failed_ || size == 0) return;
  failed_ = !WriteAll(fd_, data, size);
  written_ += size;
#ifdef __linux__
  if (!failed_ && written_ - writtenBack_ >= kWritebackBytes) {
    ::sync_file_range(fd_, static_cast<off_t>(writtenBack_), static_cast<off_t>(written_ - writtenBack_),
                      SYNC_FILE_RANGE_WRITE);
    writtenBack_ = written_;
  }
#endif
}

bool AtomicFile::flushBuffer() {
  writeOut(buffer_.data(), buffer_.size());
  buffer_.clear();
  return !failed_;
}

void AtomicFile::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  buffer_.clear();
  failed_ = true;
}

}  // namespace qf
