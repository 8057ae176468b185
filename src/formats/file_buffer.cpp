#include "formats/file_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <new>

#include "core/every_core.h"
#include "core/message_id.h"
#include "core/regular_file.h"
#include "formats/format_table.h"
#include "formats/passed_bytes.h"

namespace fs = std::filesystem;

namespace qf {

namespace {

// A mapped file that someone cuts short faults with SIGBUS when its lost pages are touched. The
// mappings being read are watched, so that such a fault inside one is told apart from any other:
// the rest of that mapping is replaced by zeros and the read marked as spoilt.
struct Watched {
  std::atomic<std::uintptr_t> begin = 0;
  std::atomic<std::uintptr_t> end = 0;
  std::atomic<bool> shrank = false;
};
std::array<Watched, 8> watched;
struct sigaction previousAction {};

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (Watched& mapping : watched) {
    const std::uintptr_t end = mapping.end.load();
    if (address < mapping.begin.load() || address >= end) continue;
    const std::uintptr_t page = address & ~static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE) - 1);
    ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ | PROT_WRITE,
           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    mapping.shrank = true;
    return;
  }
  // Not ours: whoever handled it before does, or the fault comes again and ends the program.
  if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
    previousAction.sa_sigaction(signal, info, context);
  } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(signal);
  } else {
    std::signal(SIGBUS, SIG_DFL);
  }
}

// The slot now watching [begin, end), or -1 when every slot is taken.
int Watch(std::uintptr_t begin, std::uintptr_t end) {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
  });
  for (std::size_t slot = 0; slot < watched.size(); ++slot) {
    std::uintptr_t free = 0;
    if (!watched[slot].begin.compare_exchange_strong(free, begin)) continue;
    watched[slot].shrank = false;
    watched[slot].end = end;
    return static_cast<int>(slot);
  }
  return -1;
}

void Unwatch(int slot) {
  watched[static_cast<std::size_t>(slot)].end = 0;
  watched[static_cast<std::size_t>(slot)].begin = 0;
}

bool ReadRange(int fd, std::uint8_t* data, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t count = ::pread(fd, data, size, offset);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    data += count;
    size -= static_cast<std::size_t>(count);
    offset += count;
  }
  return true;
}

// Copying from the page cache into fresh pages costs as much as parsing, so large files are
// read on every core, a piece at a time.
bool ReadAt(int fd, std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kPieceBytes = std::size_t{4} << 20;
  std::atomic<bool> good = true;
  RunOnEveryCore((size + kPieceBytes - 1) / kPieceBytes, [&](std::size_t k, bool) {
    const std::size_t offset = k * kPieceBytes;
    if (good && !ReadRange(fd, data + offset, std::min(kPieceBytes, size - offset), static_cast<off_t>(offset))) {
      good = false;
    }
  });
  return good;
}

std::size_t RoundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

}  // namespace

FileBuffer::~FileBuffer() { release(); }

void FileBuffer::release() {
  if (guard_ >= 0) Unwatch(guard_);
  if (mapped_ != 0) {
    ::munmap(data_, mapped_);
  } else {
    delete[] data_;
  }
  data_ = nullptr;
  size_ = mapped_ = 0;
  guard_ = -1;
}

bool FileBuffer::map(int fd, std::size_t size) {
  release();
  // The spare bytes lie in the file's last page past its end, or in a page of zeros after it.
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t length = RoundUp(size + 2, page);
  void* area = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) return false;
  if (size > 0 && ::mmap(area, RoundUp(size, page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED) {
    ::munmap(area, length);
    return false;
  }
  const auto begin = reinterpret_cast<std::uintptr_t>(area);
  guard_ = Watch(begin, begin + length);
  data_ = static_cast<std::uint8_t*>(area);
  mapped_ = length;
  size_ = size;
  if (guard_ < 0) {  // unwatched, a file cut short would end the program
    release();
    return false;
  }
  return true;
}

bool FileBuffer::allocate(std::size_t size) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  release();
  if (size + 2 < kHugePage) {
    data_ = new (std::nothrow) std::uint8_t[size + 2];
  } else {
    const std::size_t length = RoundUp(size + 2, kHugePage);
    void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping != MAP_FAILED) {
      // Transparent huge pages: filling hundreds of megabytes page by page costs more than reading them.
      ::madvise(mapping, length, MADV_HUGEPAGE);  // only advice: without it the pages are small
      data_ = static_cast<std::uint8_t*>(mapping);
      mapped_ = length;
    }
  }
  size_ = data_ == nullptr ? 0 : size;
  return data_ != nullptr;
}

bool FileBuffer::shrank() const { return guard_ >= 0 && watched[static_cast<std::size_t>(guard_)].shrank; }

void ReleaseIfMapped(std::span<const std::uint8_t> bytes) {
  const auto begin = reinterpret_cast<std::uintptr_t>(bytes.data());
  for (const Watched& mapping : watched) {
    if (begin >= mapping.begin.load() && begin + bytes.size() <= mapping.end.load()) ReleasePassedBytes(bytes);
  }
}

int ReadWholeFile(const fs::path& path, FileFormat format, FileBuffer& buffer, std::error_code& reason) {
  const ReadableFile file(path);
  reason = file.reason();
  if (file.fd() < 0) return kCannotOpen;
  const auto size = static_cast<std::size_t>(file.size());
  if (!buffer.map(file.fd(), size)) {
    if (!buffer.allocate(size)) return kNoMemory;
    if (!ReadAt(file.fd(), buffer.data(), size)) return kCannotRead;
  }
  const auto [first, second] = SpareBytes(format);
  buffer.data()[size] = first;
  buffer.data()[size + 1] = second;
  return 0;
}

}  // namespace qf
