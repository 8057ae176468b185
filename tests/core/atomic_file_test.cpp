#include "core/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "support/test_support.h"

namespace qf {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

int FileCount(const std::filesystem::path& folder) {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

mode_t Permissions(const std::filesystem::path& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  return status.st_mode & 07777;
}

TEST(AtomicFileTest, ReplacesTheFileAndKeepsItsPermissions) {
  const auto folder = TempDir();
  const auto target = folder / "data.ov2";
  WriteBytes(target, {1, 2, 3});
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

  // Small pieces that fill the buffer, then one piece larger than it.
  const auto content = Pattern(300'000);
  AtomicFile file;
  ASSERT_TRUE(file.open(target));
  for (std::size_t offset = 0; offset < 100'000; offset += 1000) ASSERT_TRUE(file.write(&content[offset], 1000));
  ASSERT_TRUE(file.write(&content[100'000], 200'000));
  EXPECT_EQ(ReadBytes(target), (std::vector<std::uint8_t>{1, 2, 3}));  // nothing visible before commit
  ASSERT_TRUE(file.commit());

  EXPECT_EQ(ReadBytes(target), content);
  EXPECT_EQ(Permissions(target), 0640u);
  EXPECT_EQ(FileCount(folder), 1);
}

TEST(AtomicFileTest, NewFileGetsTheUsualPermissions) {
  const auto target = TempDir() / "new.ini";
  const mode_t mask = ::umask(022);
  AtomicFile file;
  ASSERT_TRUE(file.open(target));
  ASSERT_TRUE(file.write("x", 1));
  ASSERT_TRUE(file.commit());
  ::umask(mask);
  EXPECT_EQ(Permissions(target), 0644u);
}

TEST(AtomicFileTest, AbandonedSaveLeavesTheOldFile) {
  const auto folder = TempDir();
  const auto target = folder / "data.ov2";
  WriteBytes(target, {9, 8, 7});
  {
    AtomicFile file;
    ASSERT_TRUE(file.open(target));
    ASSERT_TRUE(file.write("partial", 7));
  }
  EXPECT_EQ(ReadBytes(target), (std::vector<std::uint8_t>{9, 8, 7}));
  EXPECT_EQ(FileCount(folder), 1);
}

// The disk filling up halfway: a file size limit makes the writes fail as a full disk would.
TEST(AtomicFileTest, FailedWriteLeavesTheOldFileByteIdentical) {
  const auto folder = TempDir();
  const auto target = folder / "data.ov2";
  const auto old = Pattern(5000);
  WriteBytes(target, old);

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

  const auto content = Pattern(200'000);
  AtomicFile file;
  const bool opened = file.open(target);
  const bool written = file.write(content.data(), content.size());
  const bool writeAfterFailure = file.write("x", 1);
  const bool committed = file.commit();

  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_TRUE(opened);
  EXPECT_FALSE(written);
  EXPECT_FALSE(writeAfterFailure);
  EXPECT_FALSE(committed);
  EXPECT_EQ(ReadBytes(target), old);
  EXPECT_EQ(FileCount(folder), 1);
}

TEST(AtomicFileTest, ReportsTargetsThatCannotBeWritten) {
  const auto folder = TempDir();
  {
    AtomicFile file;
    EXPECT_FALSE(file.open(folder / "no such folder" / "a.ov2"));
    EXPECT_FALSE(file.write("x", 1));
    EXPECT_FALSE(file.commit());
  }
  {
    const auto directory = folder / "a folder";
    std::filesystem::create_directory(directory);
    AtomicFile file;
    ASSERT_TRUE(file.open(directory));
    ASSERT_TRUE(file.write("x", 1));
    EXPECT_FALSE(file.commit());
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_EQ(FileCount(folder), 1);
  }
  if (::geteuid() != 0) {
    const auto locked = folder / "read only";
    std::filesystem::create_directory(locked);
    WriteBytes(locked / "a.ov2", {1});
    ::chmod(locked.c_str(), 0555);
    AtomicFile file;
    EXPECT_FALSE(file.open(locked / "a.ov2"));
    EXPECT_FALSE(file.commit());
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(ReadBytes(locked / "a.ov2"), (std::vector<std::uint8_t>{1}));
  }
}

// Saves "new" to `link.ini`, a link to `real/settings.ini` holding {1}; returns the folder.
std::filesystem::path SaveThroughLink(AtomicFile::Links links) {
  const auto folder = TempDir();
  std::filesystem::create_directory(folder / "real");
  WriteBytes(folder / "real" / "settings.ini", {1});
  std::filesystem::create_symlink(folder / "real" / "settings.ini", folder / "link.ini");
  AtomicFile file;
  EXPECT_TRUE(file.open(folder / "link.ini", links));
  EXPECT_TRUE(file.write("new", 3));
  EXPECT_TRUE(file.commit());
  return folder;
}

TEST(AtomicFileTest, SavingThroughALinkReplacesTheLinkedFile) {
  const auto folder = SaveThroughLink(AtomicFile::Links::Follow);
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.ini"));
  EXPECT_EQ(ReadBytes(folder / "real" / "settings.ini"), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
}

TEST(AtomicFileTest, ReplacingALinkLeavesTheLinkedFileAlone) {
  const auto folder = SaveThroughLink(AtomicFile::Links::Replace);
  EXPECT_FALSE(std::filesystem::is_symlink(folder / "link.ini"));
  EXPECT_EQ(ReadBytes(folder / "link.ini"), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(ReadBytes(folder / "real" / "settings.ini"), (std::vector<std::uint8_t>{1}));
}

TEST(AtomicFileTest, WritersCanTargetMemory) {
  MemorySink sink;
  ByteSink& out = sink;
  EXPECT_TRUE(out.write("ab", 2));
  EXPECT_TRUE(out.write("c", 1));
  EXPECT_EQ(sink.bytes, (std::vector<std::uint8_t>{'a', 'b', 'c'}));
}

}  // namespace
}  // namespace qf
