#include "device/device_client.h"

#include <chrono>
#include <thread>

#include "core/atomic_file.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "device/device_names.h"
#include "device/upload_body.h"

namespace qf {

namespace {

using namespace std::chrono_literals;

// A listing of ten thousand files is a few megabytes; anything far beyond is no listing.
constexpr std::size_t kLongestListing = std::size_t{64} << 20;
// The device's own error page, and a file too short to be one, are told by the first bytes.
constexpr std::size_t kFirstBytes = 5;
constexpr std::size_t kUploadAnswerBytes = 31;
constexpr long kFirstErrorStatus = 400;

HttpClient::Options DeviceOptions(std::chrono::milliseconds timeout, std::size_t bodyLimit) {
  return {.userAgent = Utf16ToUtf8(LoadString(kProgramTitle)),
          .connectTimeout = 2s,
          .timeout = timeout,
          .bodyLimit = bodyLimit};
}

bool BeginsWithError(std::string_view bytes) {
  constexpr std::string_view kError = "error";
  if (bytes.size() < kError.size()) return false;
  for (std::size_t i = 0; i < kError.size(); ++i) {
    const char c = bytes[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kError[i]) return false;
  }
  return true;
}

bool Refused(const HttpReply& reply) { return reply.status >= kFirstErrorStatus; }

std::string_view ScreenshotPath(ScreenshotKind kind) {
  return ListingPath(kind == ScreenshotKind::Dumps ? ListingPage::Dumps : ListingPage::ScreenDump);
}

std::string FilePath(std::string_view folder, std::u16string_view name, std::string_view extension) {
  std::string path(folder);
  path += '/';
  path += EncodeDeviceName(name);
  path += '.';
  path += extension;
  return path;
}

}  // namespace

DeviceClient::DeviceClient(std::string address)
    : address_(std::move(address)),
      http_(DeviceOptions(30s, kLongestListing + 1)),
      transfer_(DeviceOptions(30min, kUploadAnswerBytes)) {}

std::string DeviceClient::url(std::string_view path) const { return "http://" + address_ + std::string(path); }

bool DeviceClient::probe() {
  // The first bytes show that the request opened; the rest of the listing is not needed.
  const HttpReply reply = http_.get(url(ListingPath(ListingPage::Pois)), [](std::string_view) { return false; });
  return reply.delivered || reply.stopped;
}

bool DeviceClient::probeScreenshots(ScreenshotKind kind) {
  if (kind == ScreenshotKind::None) return false;
  const HttpReply reply = http_.get(url(ScreenshotPath(kind)));
  return reply.delivered && !Refused(reply) && reply.body.size() >= kFirstBytes && !BeginsWithError(reply.body);
}

DeviceResult DeviceClient::readListing(ListingPage page, std::string_view path, DeviceListing& listing) {
  const HttpReply reply = http_.get(url(path));
  if (!reply.delivered) return kCannotConnectDevice;
  if (Refused(reply) || reply.body.empty() || reply.body.size() > kLongestListing || BeginsWithError(reply.body)) {
    return kCannotReadDeviceList;
  }
  listing = ParseDeviceListing(reply.body, page);
  return 0;
}

DeviceResult DeviceClient::readPoiListing(DeviceListing& listing) {
  return readListing(ListingPage::Pois, std::string(ListingPath(ListingPage::Pois)) + "/?dd", listing);
}

DeviceResult DeviceClient::readScreenshotListing(ScreenshotKind kind, DeviceListing& listing) {
  if (kind == ScreenshotKind::None) return kCannotReadDeviceList;
  const ListingPage page = kind == ScreenshotKind::Dumps ? ListingPage::Dumps : ListingPage::ScreenDump;
  return readListing(page, ListingPath(page), listing);
}

DeviceResult DeviceClient::download(std::string_view path, const std::filesystem::path& local) {
  AtomicFile file;
  if (!file.open(local)) return kDeviceFileSystemError;
  std::string first;  // the first bytes, however the network splits them
  std::uint64_t received = 0;
  bool writeFailed = false;
  const HttpReply reply = transfer_.get(url(path), [&](std::string_view piece) {
    received += piece.size();
    if (first.size() < kFirstBytes) {
      first.append(piece.substr(0, kFirstBytes - first.size()));
      if (BeginsWithError(first)) return false;
    }
    if (!file.write(piece.data(), piece.size())) {
      writeFailed = true;
      return false;
    }
    if (progress_) progress_(received);
    return true;
  });
  // The temporary file goes with `file` unless committed.
  if (!reply.delivered) return received == 0 && !reply.stopped ? kCannotConnectDevice : kCannotReadDeviceFiles;
  if (writeFailed || Refused(reply) || first.size() < kFirstBytes) return kCannotReadDeviceFiles;
  return file.commit() ? 0 : kDeviceFileSystemError;
}

DeviceResult DeviceClient::downloadPoiFile(std::u16string_view name, DeviceFileKind kind,
                                           const std::filesystem::path& local) {
  return download(FilePath(ListingPath(ListingPage::Pois), name, kDeviceExtensions[static_cast<std::size_t>(kind)]),
                  local);
}

DeviceResult DeviceClient::downloadScreenshot(std::u16string_view name, ScreenshotKind kind,
                                              const std::filesystem::path& local) {
  if (kind == ScreenshotKind::None) return kCannotReadDeviceFiles;
  return download(FilePath(ScreenshotPath(kind), name, kind == ScreenshotKind::Dumps ? "bmp" : "png"), local);
}

DeviceResult DeviceClient::deletePoiFiles(std::u16string_view name, const DeviceListing& listing) {
  for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) {
    if (!listing.holds(static_cast<DeviceFileKind>(kind), name)) continue;
    const HttpReply reply =
        http_.send("DELETE", url(FilePath(ListingPath(ListingPage::Pois), name, kDeviceExtensions[kind])), {}, {});
    if (!reply.delivered || Refused(reply)) return kCannotDeleteDeviceFiles;
  }
  return 0;
}

DeviceResult DeviceClient::deleteAllScreenshots() {
  const HttpReply reply = http_.get(url(std::string(ListingPath(ListingPage::Dumps)) + "/delete"));
  if (!reply.delivered) return kCannotConnectDevice;
  if (Refused(reply)) return kCannotDeleteDeviceFiles;
  // The device needs a moment before its listing shows the screenshots gone.
  std::this_thread::sleep_for(1s);
  return 0;
}

DeviceResult DeviceClient::uploadPoiFiles(std::u16string_view name, const std::filesystem::path& local,
                                          DeviceFileMask mask) {
  std::string body;
  if (const int result = BuildUploadBody(name, local, mask, body); result != 0) return result;
  const HttpReply reply =
      transfer_.send("POST", url(ListingPath(ListingPage::Pois)), body, {std::string(kUploadContentType)});
  if (!reply.delivered || Refused(reply)) return kCannotSaveDeviceFiles;
  return UploadAnswerResult(reply.body);
}

}  // namespace qf
