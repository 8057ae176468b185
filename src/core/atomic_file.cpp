#include "core/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>

#include "core/regular_file.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBufferSize = 64 * 1024;

// A link to the file being saved is kept: the file it points at is the one replaced.
fs::path ResolveLinks(const fs::path& target) {
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(target, error))) {
    fs::path real = fs::canonical(target, error);
    if (!error) return real;
  }
  return target;
}

// Why the target must not be renamed over; nothing when it is a regular file, a link that is to be
// replaced, or when nothing is there yet (a missing folder shows once the temporary file is created).
std::error_code Unreplaceable(const fs::path& target, AtomicFile::Links links) {
  struct stat status {};
  if (::lstat(target.c_str(), &status) != 0) return {};
  if (S_ISLNK(status.st_mode) && links == AtomicFile::Links::Replace) return {};
  return IrregularFileError(status.st_mode);
}

std::string RandomSuffix() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string suffix(8, '0');
  for (char& c : suffix) c = kDigits[generator() % (sizeof(kDigits) - 1)];
  return suffix;
}

// A name of its own rather than one derived from the target, which may already be as long as names get.
fs::path TemporaryName(const fs::path& target) {
  fs::path temp = target;
  temp.replace_filename(".quillfern-" + RandomSuffix() + ".tmp");
  return temp;
}

// The temporary files that have a name, for a signal handler to remove. The saving thread claims a
// slot, fills it and marks it named; the handler reads only named slots.
enum SlotState : int { kFree, kFilling, kNamed };
struct PendingName {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");
std::array<PendingName, 16> pendingNames;

// The slot that holds the name; -1 when the name is too long or every slot is taken, and a signal
// then leaves this one file behind.
int RememberName(const fs::path& path) {
  const std::string& name = path.native();
  if (name.size() >= PATH_MAX) return -1;
  for (int slot = 0; slot < static_cast<int>(pendingNames.size()); ++slot) {
    PendingName& pending = pendingNames[static_cast<std::size_t>(slot)];
    int expected = kFree;
    if (!pending.state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(pending.path, name.c_str(), name.size() + 1);
    pending.state.store(kNamed);
    return slot;
  }
  return -1;
}

void ForgetName(int slot) {
  if (slot >= 0) pendingNames[static_cast<std::size_t>(slot)].state.store(kFree);
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
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void RemoveUnfinishedTemporaryFiles() {
  for (const PendingName& pending : pendingNames) {
    if (pending.state.load() == kNamed) ::unlink(pending.path);
  }
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(const fs::path& target, Links links) {
  discard();
  target_ = links == Links::Follow ? ResolveLinks(target) : target;
  links_ = links;
  failed_ = false;
  error_.clear();
  written_ = writtenBack_ = 0;
  if (const std::error_code refused = Unreplaceable(target_, links)) return fail(refused);
  const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
  // Unnamed until the commit. Created with 0666 so that the umask decides a new file's
  // permissions, as for any other new file.
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  // File systems without unnamed files (FAT, as on the devices) get a named one.
  if (fd_ < 0 && !openNamed()) return false;
  buffer_.reserve(kBufferSize);
  return true;
}

bool AtomicFile::openNamed() {
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path temp = TemporaryName(target_);
    fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temp_ = std::move(temp);
      pendingSlot_ = RememberName(temp_);
      return true;
    }
    if (errno != EEXIST) break;
  }
  return failWithErrno();
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

bool AtomicFile::rewrite(std::uint64_t offset, const void* data, std::size_t size) {
  if (fd_ < 0 || failed_ || !flushBuffer()) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return failWithErrno();
    bytes += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

bool AtomicFile::commit() {
  if (fd_ < 0 || failed_ || !flushBuffer()) {
    discard();
    return false;
  }
  keepOwnerAndPermissions();
  if (failed_) return false;
  if (::fsync(fd_) != 0) return failWithErrno();
  if (temp_.empty() && !linkUnnamed()) return false;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return failWithErrno();
  // Something else may have taken the target's name since the open.
  if (const std::error_code refused = Unreplaceable(target_, links_)) return fail(refused);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return failWithErrno();
  temp_.clear();
  ForgetName(pendingSlot_);
  pendingSlot_ = -1;
  SyncFolder(target_.parent_path());
  return true;
}

bool AtomicFile::linkUnnamed() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path temp = TemporaryName(target_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temp_ = std::move(temp);
      pendingSlot_ = RememberName(temp_);
      return true;
    }
    if (errno != EEXIST) break;
  }
  return failWithErrno();
}

void AtomicFile::keepOwnerAndPermissions() {
  struct stat existing {};
  if (::stat(target_.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return;
  // The owner first, since a change of owner may clear permission bits. A user who may not give the
  // file away keeps at least its group, where they belong to it; neither refusal fails the save.
  if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0) {
    [[maybe_unused]] const int ignored = ::fchown(fd_, static_cast<uid_t>(-1), existing.st_gid);
  }
  // Only the permission bits: set-user-ID on a file now owned by someone else would be a gift.
  if (::fchmod(fd_, existing.st_mode & 0777) != 0) failWithErrno();
}

void AtomicFile::writeOut(const std::uint8_t* data, std::size_t size) {
  if (failed_ || size == 0) return;
  if (!WriteAll(fd_, data, size)) {
    failWithErrno();
    return;
  }
  written_ += size;
#ifdef __linux__
  if (written_ - writtenBack_ >= kWritebackBytes) {
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

bool AtomicFile::fail(std::error_code error) {
  if (!error_) error_ = error;
  discard();
  return false;
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
  ForgetName(pendingSlot_);
  pendingSlot_ = -1;
  buffer_.clear();
  failed_ = true;
}

}  // namespace qf
