#include "device/ephemeris.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>

#include "core/atomic_file.h"
#include "core/http_client.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "device/cabinet.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

// Far above the few hundred kilobytes of a week's ephemeris; a bound for a service gone wrong.
constexpr std::uint64_t kCabinetSizeLimit = 64u << 20;

std::string Text(MessageId id) { return Utf16ToUtf8(LoadString(id)); }

std::string MetaFile() { return Text(kEphemerisMetaFile); }

}  // namespace

std::string ChipDataFile(EphemerisChip chip) {
  return Text(chip == EphemerisChip::GlobalLocate ? kGlobalLocateFile : kSirfFile);
}

fs::path EphemerisFolder(const fs::path& root) { return root / "ephem"; }

std::optional<EphemerisChip> ChipOn(const fs::path& root) {
  for (const EphemerisChip chip : {EphemerisChip::GlobalLocate, EphemerisChip::SirfStar}) {
    std::error_code error;
    if (fs::is_regular_file(EphemerisFolder(root) / ChipDataFile(chip), error)) return chip;
  }
  return std::nullopt;
}

std::optional<FoundChip> RecogniseChip(const std::vector<MountedVolume>& volumes) {
  for (auto volume = volumes.rbegin(); volume != volumes.rend(); ++volume) {
    if (!volume->removable) continue;
    if (const std::optional<EphemerisChip> chip = ChipOn(volume->root)) return FoundChip{*chip, volume->root};
  }
  return std::nullopt;
}

std::string EphemerisUrl(std::string_view host, EphemerisChip chip) {
  if (host.empty()) return {};
  std::string url = host.find("://") == std::string_view::npos ? "http://" + std::string(host) : std::string(host);
  while (url.ends_with('/')) url.pop_back();
  return url + Text(chip == EphemerisChip::GlobalLocate ? kEphemerisGlobalLocatePath : kEphemerisSirfPath);
}

int DownloadEphemeris(const std::string& url, const fs::path& cabinet,
                      const std::function<void(std::uint64_t)>& received, std::function<bool()> stopRequested) {
  if (url.empty()) return kCannotConnectHome;
  AtomicFile file;
  if (!file.open(cabinet, AtomicFile::Links::Replace)) return kCannotSaveEphemeris;
  HttpClient http(HttpClient::Options{.userAgent = Text(kProgramTitle),
                                      .timeout = std::chrono::minutes(5),
                                      .stopRequested = std::move(stopRequested)});
  std::uint64_t count = 0;
  bool writeFailed = false;
  const HttpReply reply = http.get(url, [&](std::string_view piece) {
    count += piece.size();
    if (count > kCabinetSizeLimit) return false;
    writeFailed = !file.write(piece.data(), piece.size());
    received(count);
    return !writeFailed;
  });
  if (writeFailed) return kCannotWrite;
  if (!reply.delivered && !reply.stopped && count == 0) return kCannotConnectHome;
  if (!reply.delivered || reply.status < 200 || reply.status > 299 || count == 0) return kCannotDownloadEphemeris;
  return file.commit() ? 0 : kCannotWrite;
}

std::u16string DownloadingText(std::uint64_t bytes) {
  std::u16string text = LoadString(kDownloadingEphemeris);
  const std::string digits = std::to_string(bytes);
  if (const std::size_t at = text.find(u"%u"); at != std::u16string::npos) {
    text.replace(at, 2, std::u16string(digits.begin(), digits.end()));
  }
  return text;
}

int ExpandEphemeris(const fs::path& cabinet, const fs::path& folder, EphemerisChip chip) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) return kCannotSaveEphemeris;
  const std::array<std::string, 2> required{ChipDataFile(chip), MetaFile()};
  return ExpandCabinet(cabinet, folder, required) ? 0 : kCannotUpdateEphemeris;
}

int StampEphemeris(const fs::path& folder, EphemerisChip chip) {
  for (const std::string& name : {ChipDataFile(chip), MetaFile()}) {
    const fs::path path = folder / name;
    std::error_code error;
    constexpr timespec kNow[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    if (!fs::is_regular_file(path, error) || utimensat(AT_FDCWD, path.c_str(), kNow, 0) != 0) {
      return kCannotUpdateEphemeris;
    }
  }
  return 0;
}

}  // namespace qf
