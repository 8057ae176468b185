#include "device/ephemeris.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/message_id.h"
#include "core/unicode.h"
#include "fakes/fake_ephemeris_server.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;
using test::CabinetOf;
using test::FakeEphemerisServer;

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> FolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::ranges::sort(names);
  return names;
}

const std::string kGoodCabinet = CabinetOf({{"lto.dat", std::string(70000, 'L')}, {"ee_meta.txt", "week 7\n"}});

TEST(MountedVolumes, BlockDevicesInMountOrderWithTheirDisksRemovability) {
  const fs::path dir = test::TempDir();
  const fs::path sys = dir / "sys";
  // sda: a fixed disk; sdb: a removable one; sdc: a disk on USB that calls itself fixed.
  WriteText(sys / "devices/pci/ata1/block/sda/removable", "0\n");
  WriteText(sys / "devices/pci/ata1/block/sda/sda2/partition", "2\n");
  WriteText(sys / "devices/pci/ata2/block/sdb/removable", "1\n");
  WriteText(sys / "devices/pci/ata2/block/sdb/sdb1/partition", "1\n");
  WriteText(sys / "devices/pci/usb1/1-1/host6/block/sdc/removable", "0\n");
  fs::create_directories(sys / "dev/block");
  fs::create_directory_symlink("../../devices/pci/ata1/block/sda/sda2", sys / "dev/block/8:2");
  fs::create_directory_symlink("../../devices/pci/ata2/block/sdb/sdb1", sys / "dev/block/8:17");
  fs::create_directory_symlink("../../devices/pci/usb1/1-1/host6/block/sdc", sys / "dev/block/8:32");
  WriteText(dir / "mountinfo",
            "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
            "1 0 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
            "25 1 0:23 / /run rw shared:5 - tmpfs tmpfs rw,size=100k\n"
            "40 1 7:3 / /snap/core/1 ro shared:9 - squashfs /dev/loop3 ro\n"
            "41 1 8:32 / /media/card rw shared:10 - vfat /dev/sdc rw\n"
            "42 1 8:17 / /media/u/TOM\\040TOM rw,nosuid shared:11 master:2 - vfat /dev/sdb1 rw\n"
            "43 41 8:2 /home /media/card rw shared:12 - ext4 /dev/sda2 rw\n");
  const std::vector<MountedVolume> volumes = MountedVolumes({dir / "mountinfo", sys});
  ASSERT_EQ(volumes.size(), 3u);
  EXPECT_EQ(volumes[0].root, "/");
  EXPECT_FALSE(volumes[0].removable);
  EXPECT_EQ(volumes[1].root, "/media/u/TOM TOM");
  EXPECT_TRUE(volumes[1].removable);
  EXPECT_EQ(volumes[2].root, "/media/card");  // mounted over by a fixed disk's folder
  EXPECT_FALSE(volumes[2].removable);
  ASSERT_EQ(MountedVolumes({dir / "none", sys}).size(), 0u);
  // On USB and fixed by its flag: removable all the same.
  WriteText(dir / "usb", "41 1 8:32 / /media/card rw shared:10 - vfat /dev/sdc rw\n");
  EXPECT_TRUE(MountedVolumes({dir / "usb", sys}).at(0).removable);
}

TEST(EphemerisChips, RecognisedOnRemovableDrivesFromTheLastWithGlobalLocateFirst) {
  const fs::path dir = test::TempDir();
  WriteText(dir / "both/ephem/lto.dat", "L");
  WriteText(dir / "both/ephem/packedephemeris.ee", "S");
  WriteText(dir / "sirf/ephem/packedephemeris.ee", "S");
  fs::create_directories(dir / "folder/ephem/lto.dat");  // a folder of the name is no data file
  WriteText(dir / "folder/ephem/packedephemeris.ee", "S");
  fs::create_directories(dir / "only-folder/ephem/lto.dat");
  fs::create_directories(dir / "empty");
  struct Case {
    std::vector<MountedVolume> volumes;
    std::optional<EphemerisChip> chip;
    std::string root;
  };
  const auto V = [&dir](const char* name, bool removable) { return MountedVolume{dir / name, removable}; };
  const Case cases[] = {
      {{V("both", true)}, EphemerisChip::GlobalLocate, "both"},
      {{V("sirf", true)}, EphemerisChip::SirfStar, "sirf"},
      {{V("folder", true)}, EphemerisChip::SirfStar, "folder"},
      {{V("only-folder", true), V("empty", true)}, std::nullopt, ""},
      {{V("both", true), V("sirf", true), V("empty", true)}, EphemerisChip::SirfStar, "sirf"},
      {{V("sirf", true), V("both", false)}, EphemerisChip::SirfStar, "sirf"},
  };
  for (const Case& c : cases) {
    const std::optional<FoundChip> found = RecogniseChip(c.volumes);
    ASSERT_EQ(found.has_value(), c.chip.has_value()) << c.root;
    if (!found) continue;
    EXPECT_EQ(found->chip, *c.chip) << c.root;
    EXPECT_EQ(found->root, dir / c.root);
  }
}

TEST(EphemerisUpdate, DownloadsExpandsAndStampsTheChipsFiles) {
  FakeEphemerisServer server;
  server.answer(kGoodCabinet);
  const fs::path dir = test::TempDir();
  const fs::path cabinet = dir / "Ephemeris.cab";
  std::uint64_t last = 0;
  int calls = 0;
  ASSERT_EQ(DownloadEphemeris(EphemerisUrl(server.url() + "/", EphemerisChip::GlobalLocate), cabinet,
                              [&](std::uint64_t count) { ++calls, last = count; }, [] { return false; }),
            0);
  EXPECT_EQ(server.targets(),
            std::vector<std::string>{"/download/Ephemeris.cab?type=ephemeris&eeProvider=globalLocate&devicecode=1"});
  EXPECT_GE(calls, 1);
  EXPECT_EQ(last, kGoodCabinet.size());
  EXPECT_EQ(DownloadingText(last), u"Downloading the ephemeris file... " + Utf8ToUtf16(std::to_string(last)) + u" bytes");
  EXPECT_EQ(ReadText(cabinet), kGoodCabinet);

  const fs::path folder = dir / "drive/ephem";  // made by the expansion
  ASSERT_EQ(ExpandEphemeris(cabinet, folder, EphemerisChip::GlobalLocate), 0);
  EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"ee_meta.txt", "lto.dat"}));
  EXPECT_EQ(ReadText(folder / "lto.dat"), std::string(70000, 'L'));
  EXPECT_EQ(ReadText(folder / "ee_meta.txt"), "week 7\n");

  for (const char* name : {"lto.dat", "ee_meta.txt"}) fs::last_write_time(folder / name, fs::file_time_type{});
  ASSERT_EQ(StampEphemeris(folder, EphemerisChip::GlobalLocate), 0);
  for (const char* name : {"lto.dat", "ee_meta.txt"}) {
    struct stat info {};
    ASSERT_EQ(stat((folder / name).c_str(), &info), 0);
    EXPECT_LT(std::abs(std::time(nullptr) - info.st_mtime), 5) << name;
    EXPECT_LT(std::abs(std::time(nullptr) - info.st_atime), 5) << name;
  }
  fs::remove(folder / "ee_meta.txt");
  EXPECT_EQ(StampEphemeris(folder, EphemerisChip::GlobalLocate), kCannotUpdateEphemeris);
}

TEST(EphemerisUpdate, ACompressedCabinetExpandsToo) {
  const fs::path dir = test::TempDir();
  WriteText(dir / "in/packedephemeris.ee", std::string(100000, 'S') + "end");
  WriteText(dir / "in/ee_meta.txt", "meta");
  const std::string command = "cd '" + (dir / "in").string() + "' && gcab -c -z ../packed.cab packedephemeris.ee ee_meta.txt";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ASSERT_EQ(ExpandEphemeris(dir / "packed.cab", dir / "ephem", EphemerisChip::SirfStar), 0);
  EXPECT_EQ(ReadText(dir / "ephem/packedephemeris.ee"), std::string(100000, 'S') + "end");
  EXPECT_EQ(ReadText(dir / "ephem/ee_meta.txt"), "meta");
}

TEST(EphemerisUpdate, DownloadFailuresLeaveNoCabinet) {
  FakeEphemerisServer server;
  const fs::path dir = test::TempDir();
  std::string closedUrl;
  {
    FakeEphemerisServer gone;
    closedUrl = gone.url();
  }
  struct Case {
    const char* what;
    std::string body;
    int status;
    std::string host;
    fs::path cabinet;
    int result;
  };
  const Case cases[] = {
      {"no bytes", "", 200, server.url(), dir / "a.cab", kCannotDownloadEphemeris},
      {"refused", "<html>not here</html>", 404, server.url(), dir / "b.cab", kCannotDownloadEphemeris},
      {"no host", kGoodCabinet, 200, "", dir / "c.cab", kCannotConnectHome},
      {"nobody answers", kGoodCabinet, 200, closedUrl, dir / "d.cab", kCannotConnectHome},
      {"no folder", kGoodCabinet, 200, server.url(), dir / "missing/e.cab", kCannotSaveEphemeris},
  };
  for (const Case& c : cases) {
    server.answer(c.body, c.status);
    EXPECT_EQ(DownloadEphemeris(EphemerisUrl(c.host, EphemerisChip::SirfStar), c.cabinet, [](std::uint64_t) {},
                                [] { return false; }),
              c.result)
        << c.what;
  }
  EXPECT_TRUE(FolderNames(dir).empty());
}

// A silent service holds no one: the stop is heard while nothing arrives.
TEST(EphemerisUpdate, AStoppedDownloadEndsPromptlyWithoutACabinet) {
  FakeEphemerisServer server;
  server.answerSlowly();
  const fs::path dir = test::TempDir();
  std::atomic<std::uint64_t> received = 0;
  std::atomic<bool> stop = false;
  std::thread stopper([&] {
    while (received == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DownloadEphemeris(EphemerisUrl(server.url(), EphemerisChip::GlobalLocate), dir / "Ephemeris.cab",
                              [&](std::uint64_t count) { received = count; }, [&] { return stop.load(); }),
            kCannotDownloadEphemeris);
  stopper.join();
  EXPECT_EQ(received, 4u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(FolderNames(dir).empty());
}

// A cabinet that cannot be expanded whole changes nothing in the folder.
TEST(EphemerisUpdate, AFailedExpansionKeepsTheOldDataFile) {
  const fs::path dir = test::TempDir();
  const fs::path folder = dir / "drive/ephem";
  WriteText(folder / "lto.dat", "old data");
  struct Case {
    const char* what;
    std::string cabinet;
  };
  const std::string damaged = kGoodCabinet.substr(0, kGoodCabinet.size() - 100);
  const Case cases[] = {
      {"without metadata", CabinetOf({{"lto.dat", "new data"}})},
      {"leaving the folder", CabinetOf({{"lto.dat", "new"}, {"ee_meta.txt", "m"}, {"../x", "outside"}})},
      {"into a subfolder", CabinetOf({{"lto.dat", "new"}, {"ee_meta.txt", "m"}, {"sub\\x", "inside"}})},
      {"hidden", CabinetOf({{"lto.dat", "new"}, {"ee_meta.txt", "m"}, {".x", "hidden"}})},
      {"cut short", damaged},
      {"not a cabinet", "<html>moved</html>"},
  };
  for (const Case& c : cases) {
    WriteText(dir / "Ephemeris.cab", c.cabinet);
    EXPECT_EQ(ExpandEphemeris(dir / "Ephemeris.cab", folder, EphemerisChip::GlobalLocate), kCannotUpdateEphemeris)
        << c.what;
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"lto.dat"}) << c.what;
    EXPECT_EQ(ReadText(folder / "lto.dat"), "old data") << c.what;
  }
  EXPECT_EQ(FolderNames(dir / "drive"), std::vector<std::string>{"ephem"});
  WriteText(dir / "file/ephem", "a file where the folder goes");
  WriteText(dir / "Ephemeris.cab", kGoodCabinet);
  EXPECT_EQ(ExpandEphemeris(dir / "Ephemeris.cab", dir / "file/ephem", EphemerisChip::GlobalLocate),
            kCannotSaveEphemeris);
}

}  // namespace
}  // namespace qf
