#include "device/device_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "core/message_id.h"
#include "fakes/fake_device.h"
#include "support/test_support.h"

namespace qf {
namespace {

using Fake = test::FakeDevice;

std::string Read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void Write(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::size_t FilesIn(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// An address where nothing listens: the port of a device that is gone.
std::string NobodyThere() { return Fake().address(); }

TEST(DeviceClient, ListsThePoiFolder) {
  Fake device;
  device.setFile("Home.ov2", "HOME-OV2");
  device.setFile("Home.bmp", "BMHOME");
  device.setFile("notes.txt", "text");
  device.setFile("Work.ov2", "WORK-OV2");
  DeviceClient client(device.address());
  DeviceListing listing;
  ASSERT_EQ(client.readPoiListing(listing), 0);
  ASSERT_EQ(listing.lists[0].size(), 2u);
  EXPECT_EQ(listing.lists[0][0].name, u"Work");  // the reverse of the page's order
  EXPECT_EQ(listing.lists[0][1].name, u"Home");
  EXPECT_TRUE(listing.holds(DeviceFileKind::Bmp, u"home"));
  const DeviceEntryCells cells = CellsAfter(listing, listing.lists[0][1].after);
  EXPECT_EQ(cells.date, u"2024-05-01 12:00");
  EXPECT_EQ(cells.size, u"8 bytes");
  const Fake::Request request = device.requests().back();
  EXPECT_EQ(request.path, "/personal/pois/?dd");
  EXPECT_EQ(request.userAgent, "Quillfern for TomTom");

  device.setListingError(true);
  EXPECT_EQ(client.readPoiListing(listing), kCannotReadDeviceList);
}

TEST(DeviceClient, AnAbsentDeviceFailsAtOnce) {
  DeviceClient client(NobodyThere());
  const auto start = std::chrono::steady_clock::now();
  DeviceListing listing;
  EXPECT_FALSE(client.probe());
  EXPECT_EQ(client.readPoiListing(listing), kCannotConnectDevice);
  const std::filesystem::path local = test::TempDir() / "x.ov2";
  EXPECT_EQ(client.downloadPoiFile(u"x", DeviceFileKind::Ov2, local), kCannotConnectDevice);
  EXPECT_FALSE(std::filesystem::exists(local));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// The name travels escaped, and reaches the file of that very name.
TEST(DeviceClient, DownloadsByEscapedName) {
  Fake device;
  const struct {
    std::u16string name;
    std::string file;
    std::string path;
  } cases[] = {
      {u"My Caf\u00e9", "My Caf\xC3\xA9.ov2", "/personal/pois/My%20Caf%C3%A9.ov2"},
      {u"No #1?", "No #1?.ov2", "/personal/pois/No%20%231%3F.ov2"},
      {u"No", "No.ov2", "/personal/pois/No.ov2"},
  };
  for (const auto& c : cases) device.setFile(c.file, "bytes of " + c.file);
  DeviceClient client(device.address());
  const std::filesystem::path folder = test::TempDir();
  for (const auto& c : cases) {
    const std::filesystem::path local = folder / "download.ov2";
    ASSERT_EQ(client.downloadPoiFile(c.name, DeviceFileKind::Ov2, local), 0) << c.file;
    EXPECT_EQ(Read(local), "bytes of " + c.file);
    EXPECT_EQ(device.requests().back().path, c.path);
  }
  EXPECT_EQ(FilesIn(folder), 1u);
}

// A failed download leaves neither a part of the file nor a temporary file, and an older file as it was.
TEST(DeviceClient, AFailedDownloadLeavesNoFile) {
  Fake device;
  device.setFile("Tiny.ov2", "abcd");
  device.setFile("Page.ov2", "ERROR: the device says no");
  device.setFile("Big.ov2", std::string(200'000, 'x'));
  DeviceClient client(device.address());
  const struct {
    std::u16string name;
    std::optional<std::size_t> dropAfter;
  } cases[] = {{u"Tiny", {}}, {u"Page", {}}, {u"Missing", {}}, {u"Big", 100'000}};
  const std::filesystem::path folder = test::TempDir();
  const std::filesystem::path older = folder / "older.ov2";
  for (const auto& c : cases) {
    device.setDropDownloadsAfter(c.dropAfter);
    EXPECT_EQ(client.downloadPoiFile(c.name, DeviceFileKind::Ov2, folder / "new.ov2"), kCannotReadDeviceFiles);
    Write(older, "older");
    EXPECT_EQ(client.downloadPoiFile(c.name, DeviceFileKind::Ov2, older), kCannotReadDeviceFiles);
    EXPECT_EQ(Read(older), "older");
    EXPECT_EQ(FilesIn(folder), 1u);
  }
}

TEST(DeviceClient, StreamsALargeDownloadToDisk) {
  Fake device;
  constexpr std::uint64_t kSize = 100ull << 20;
  device.setGeneratedFile("Huge.ov2", kSize);
  DeviceClient client(device.address());
  std::uint64_t reported = 0;
  client.setProgress([&](std::uint64_t received) { reported = received; });
  const std::filesystem::path local = test::TempDir() / "huge.ov2";
  ASSERT_EQ(client.downloadPoiFile(u"Huge", DeviceFileKind::Ov2, local), 0);
  EXPECT_EQ(std::filesystem::file_size(local), kSize);
  EXPECT_EQ(reported, kSize);
  std::ifstream file(local, std::ios::binary);
  file.seekg(static_cast<std::streamoff>(kSize - 1));
  EXPECT_EQ(file.get(), 'A' + static_cast<int>((kSize - 1) % 26));
}

TEST(DeviceClient, DeletesEveryKindOfTheName) {
  Fake device;
  for (const char* name : {"Home.ov2", "Home.bmp", "Home.vif", "Other.bmp"}) device.setFile(name, "12345");
  DeviceClient client(device.address());
  DeviceListing listing;
  ASSERT_EQ(client.readPoiListing(listing), 0);
  auto deletes = [&] {
    std::vector<std::string> paths;
    for (const Fake::Request& request : device.requests()) {
      if (request.method == "DELETE") paths.push_back(request.path);
    }
    return paths;
  };
  device.setDeletesFail(true);
  EXPECT_EQ(client.deletePoiFiles(u"Home", listing), kCannotDeleteDeviceFiles);
  EXPECT_EQ(deletes(), std::vector<std::string>{"/personal/pois/Home.ov2"});  // no kind tried after it
  EXPECT_EQ(device.files().size(), 4u);

  device.setDeletesFail(false);
  ASSERT_EQ(client.deletePoiFiles(u"Home", listing), 0);
  EXPECT_EQ(deletes(), (std::vector<std::string>{"/personal/pois/Home.ov2", "/personal/pois/Home.ov2",
                                                 "/personal/pois/Home.bmp", "/personal/pois/Home.vif"}));
  EXPECT_EQ(device.files().size(), 1u);
}

TEST(DeviceClient, UploadsTheFilesOfTheMaskInOneRequest) {
  Fake device;
  const std::filesystem::path folder = test::TempDir();
  Write(folder / "doc.ov2", std::string("OV2\0 bytes\r\n", 12));
  Write(folder / "doc.bmp", "BM icon");
  DeviceClient client(device.address());
  ASSERT_EQ(client.uploadPoiFiles(u"Caf\u00e9 Stop", folder / "doc.ov2",
                                  MaskOf(DeviceFileKind::Ov2) | MaskOf(DeviceFileKind::Bmp)),
            0);
  const std::vector<Fake::Upload> uploads = device.uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_EQ(uploads[0].contentType, "multipart/form-data; boundary=Quillfern");
  ASSERT_EQ(uploads[0].parts.size(), 2u);
  EXPECT_EQ(uploads[0].parts[0].fileName, "Caf\xC3\xA9 Stop.ov2");
  EXPECT_EQ(uploads[0].parts[0].contentType, "application/octet-stream");
  EXPECT_EQ(uploads[0].parts[1].fileName, "Caf\xC3\xA9 Stop.bmp");
  EXPECT_EQ(uploads[0].parts[1].bytes, "BM icon");
  EXPECT_EQ(device.requests().back().method, "POST");
  EXPECT_EQ(device.requests().back().path, "/personal/pois");
  // What was sent is listed and read back.
  DeviceListing listing;
  ASSERT_EQ(client.readPoiListing(listing), 0);
  EXPECT_TRUE(listing.holds(DeviceFileKind::Bmp, u"caf\u00e9 stop"));
  ASSERT_EQ(client.downloadPoiFile(u"Caf\u00e9 Stop", DeviceFileKind::Ov2, folder / "back.ov2"), 0);
  EXPECT_EQ(Read(folder / "back.ov2"), std::string("OV2\0 bytes\r\n", 12));
}

TEST(DeviceClient, UploadResults) {
  Fake device;
  const std::filesystem::path folder = test::TempDir();
  Write(folder / "doc.ov2", "12345");
  const DeviceFileMask ov2 = MaskOf(DeviceFileKind::Ov2);
  const struct {
    std::string answer;
    int status;
    int result;
  } cases[] = {
      {"Result 200 OK", 200, 0},
      {"Result 207 Multi-Status", 200, kDeviceUnknownError},
      {"Result 507 Insufficient Storage", 200, kDeviceNoMemory},
      {"Internal error", 500, kCannotSaveDeviceFiles},
  };
  DeviceClient client(device.address());
  for (const auto& c : cases) {
    device.setUploadAnswer(c.answer, c.status);
    EXPECT_EQ(client.uploadPoiFiles(u"doc", folder / "doc.ov2", ov2), c.result) << c.answer;
  }
  const std::size_t sent = device.uploads().size();
  EXPECT_EQ(client.uploadPoiFiles(u"doc", folder / "doc.ov2", ov2 | MaskOf(DeviceFileKind::Ogg)),
            kDeviceFileSystemError);
  EXPECT_EQ(device.uploads().size(), sent);  // nothing was sent
  EXPECT_EQ(DeviceClient(NobodyThere()).uploadPoiFiles(u"doc", folder / "doc.ov2", ov2), kCannotSaveDeviceFiles);
}

TEST(DeviceClient, ReadsTheScreenshotsOfEachInterface) {
  Fake device;
  DeviceClient client(device.address());
  const std::filesystem::path folder = test::TempDir();
  EXPECT_FALSE(client.probeScreenshots(ScreenshotKind::Dumps));
  EXPECT_FALSE(client.probeScreenshots(ScreenshotKind::ScreenDump));

  device.setScreenshots(Fake::Screenshots::ScreenDump);
  device.setScreenshot("s 1.png", "PNG one");
  EXPECT_FALSE(client.probeScreenshots(ScreenshotKind::Dumps));
  EXPECT_TRUE(client.probeScreenshots(ScreenshotKind::ScreenDump));
  DeviceListing listing;
  ASSERT_EQ(client.readScreenshotListing(ScreenshotKind::ScreenDump, listing), 0);
  ASSERT_EQ(listing.lists[0].size(), 1u);
  ASSERT_EQ(client.downloadScreenshot(listing.lists[0][0].name, ScreenshotKind::ScreenDump, folder / "s.png"), 0);
  EXPECT_EQ(Read(folder / "s.png"), "PNG one");
  EXPECT_EQ(device.requests().back().path, "/personal/screendump/s%201.png");

  device.setScreenshots(Fake::Screenshots::Dumps);
  device.setScreenshot("a.bmp", "BMP a");
  device.setScreenshot("b.bmp", "BMP b");
  EXPECT_TRUE(client.probeScreenshots(ScreenshotKind::Dumps));
  ASSERT_EQ(client.readScreenshotListing(ScreenshotKind::Dumps, listing), 0);
  std::vector<std::u16string> names;
  for (const DeviceListingEntry& entry : listing.lists[0]) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"b", u"a"}));  // never "latest", nor the PNG file
  ASSERT_EQ(client.downloadScreenshot(u"a", ScreenshotKind::Dumps, folder / "a.bmp"), 0);
  EXPECT_EQ(Read(folder / "a.bmp"), "BMP a");

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.deleteAllScreenshots(), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));  // the device's moment to settle
  EXPECT_EQ(device.requests().back().path, "/dumps/delete");
  EXPECT_TRUE(device.screenshots().empty());
  EXPECT_EQ(DeviceClient(NobodyThere()).deleteAllScreenshots(), kCannotConnectDevice);
}

}  // namespace
}  // namespace qf
