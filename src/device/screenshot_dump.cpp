#include "device/screenshot_dump.h"

#include <condition_variable>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

#include "core/atomic_file.h"
#include "core/private_folder.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "device/dump_names.h"
#include "device/screenshot_image.h"

namespace fs = std::filesystem;

namespace qf {
namespace {

// Screenshots are a few hundred kilobytes; a download far larger is no screenshot.
constexpr std::uintmax_t kMaxScreenshotBytes = 64 * 1024 * 1024;

ImageFormat DeviceFormat(ScreenshotKind kind) {
  return kind == ScreenshotKind::Dumps ? ImageFormat::Bmp : ImageFormat::Png;
}

std::optional<std::vector<std::uint8_t>> ReadBytes(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > kMaxScreenshotBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
  return bytes;
}

bool WriteBytes(const fs::path& path, std::span<const std::uint8_t> bytes) {
  AtomicFile file;
  // A link in the destination is replaced, never written through.
  return file.open(path, AtomicFile::Links::Replace) && file.write(bytes.data(), bytes.size()) && file.commit();
}

// A read-only file that the user agreed to replace is replaced by a writable one.
void MakeWritable(const fs::path& path) {
  std::error_code error;
  if (fs::is_regular_file(fs::symlink_status(path, error))) {
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, error);
  }
}

// The second half of the dump: writes each downloaded screenshot, converted when it must be, on a
// thread of its own, so that decoding and encoding one overlaps the download of the next.
class Writer {
 public:
  struct Job {
    fs::path download;
    fs::path output;
    std::u16string shownPath;
  };

  explicit Writer(const DumpRequest& request)
      : request_(request),
        convert_(request.target || request.quarterTurns % kRotationCount != 0 ||
                 request.format != DeviceFormat(request.kind)),
        thread_([this] { work(); }) {}

  ~Writer() { finish(); }

  // Hands a downloaded screenshot over; waits while the writer is still two behind.
  void push(Job job) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.size() < kQueued; });
    jobs_.push_back(std::move(job));
    changed_.notify_all();
  }

  // Writes what was handed over and ends the thread.
  void finish() {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
      closed_ = true;
      changed_.notify_all();
    }
    thread_.join();
  }

  bool failed() {
    std::lock_guard lock(mutex_);
    return failure_.has_value();
  }
  // Call after finish: the files written, and the one that could not be.
  int written() const { return written_; }
  const std::optional<std::u16string>& failure() const { return failure_; }

 private:
  static constexpr std::size_t kQueued = 2;

  void work() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !jobs_.empty() || closed_; });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
        changed_.notify_all();
        // After a failure the dump has ended: later screenshots are dropped.
        if (failure_) continue;
      }
      const bool done = write(job);
      std::error_code ignored;
      fs::remove(job.download, ignored);
      std::lock_guard lock(mutex_);
      if (done) {
        ++written_;
      } else {
        failure_ = job.shownPath;
      }
    }
  }

  bool write(const Job& job) const {
    const std::optional<std::vector<std::uint8_t>> bytes = ReadBytes(job.download);
    if (!bytes) return false;
    if (!convert_) return WriteBytes(job.output, *bytes);
    std::vector<std::uint8_t> encoded;
    return ConvertImage(*bytes, request_.target, request_.quarterTurns, request_.format, encoded) &&
           WriteBytes(job.output, encoded);
  }

  const DumpRequest& request_;
  const bool convert_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  bool closed_ = false;
  int written_ = 0;
  std::optional<std::u16string> failure_;
  std::thread thread_;  // last: it starts working at once
};

}  // namespace

std::vector<Screenshot> ScreenshotsOf(const DeviceListing& listing) {
  std::vector<Screenshot> screenshots;
  for (const DeviceListingEntry& entry : listing.lists[0]) {
    screenshots.push_back({entry.name, CellsAfter(listing, entry.after).date});
  }
  return screenshots;
}

ImageSize MeasureScreenshots(DeviceClient& client, ScreenshotKind kind, const std::vector<Screenshot>& screenshots) {
  if (screenshots.empty()) return kDefaultScreenSize;
  PrivateFolder scratch;
  std::error_code error;
  const fs::path folder = scratch.get(error);
  if (folder.empty()) return kDefaultScreenSize;
  const fs::path download = folder / "first";
  if (client.downloadScreenshot(screenshots.front().name, kind, download) != 0) return kDefaultScreenSize;
  const std::optional<std::vector<std::uint8_t>> bytes = ReadBytes(download);
  if (!bytes) return kDefaultScreenSize;
  const std::optional<ImageSize> size =
      kind == ScreenshotKind::Dumps ? BmpHeaderSize(*bytes) : DecodedImageSize(*bytes);
  return size.value_or(kDefaultScreenSize);
}

DumpResult DumpScreenshots(DeviceClient& client, const DumpRequest& request, UserPort& port, const StatusLine& status) {
  DumpResult result;
  PrivateFolder scratch;
  std::error_code error;
  const fs::path folder = scratch.get(error);
  if (folder.empty()) {
    result.message = kDeviceFileSystemError;
    return result;
  }
  const bool withTimestamp = request.appendTimestamp && request.kind == ScreenshotKind::ScreenDump;
  Writer writer(request);
  std::optional<OverwriteAnswer> forAll;
  std::set<fs::path> taken;  // outputs of this run, which count as existing for the ones after
  int handed = 0;
  bool stopped = false;
  for (const Screenshot& screenshot : request.screenshots) {
    if (writer.failed() || port.cancelRequested()) {
      stopped = true;
      break;
    }
    const fs::path output =
        request.destination / Utf16ToUtf8(DumpFileName(screenshot.name, screenshot.date, withTimestamp, request.format));
    const std::u16string shownPath = Utf8ToUtf16(output.string());
    if (status) status(FormatMessage(kConvertingFile, handed, shownPath));
    if (taken.contains(output) || fs::exists(fs::symlink_status(output, error))) {
      const OverwriteAnswer answer = forAll ? *forAll : port.askOverwrite(shownPath);
      if (answer == OverwriteAnswer::YesToAll || answer == OverwriteAnswer::NoToAll) forAll = answer;
      if (answer == OverwriteAnswer::Cancel) {
        stopped = true;
        break;
      }
      if (answer == OverwriteAnswer::No || answer == OverwriteAnswer::NoToAll) continue;
      MakeWritable(output);
    }
    const fs::path download = folder / std::to_string(handed);
    if (const DeviceResult failed = client.downloadScreenshot(screenshot.name, request.kind, download); failed != 0) {
      result.message = failed;
      break;
    }
    writer.push({download, output, shownPath});
    taken.insert(output);
    ++handed;
  }
  writer.finish();
  result.written = writer.written();
  if (writer.failure()) {
    result.message = kCannotSave;
    result.path = *writer.failure();
  }
  result.complete = !stopped && result.message == 0;
  return result;
}

}  // namespace qf
