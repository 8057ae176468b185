#include "core/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string_view>

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

// Bytes already written can be put over again, also while some are still held in the buffer.
TEST(AtomicFileTest, RewritesBytesAlreadyWritten) {
  const auto target = TempDir() / "data.ov2";
  auto content = Pattern(200'000);
  AtomicFile file;
  ASSERT_TRUE(file.open(target));
  ASSERT_TRUE(file.write(content.data(), 150'000));
  ASSERT_TRUE(file.write(&content[150'000], 50'000));
  const std::vector<std::uint8_t> patch = {0xAA, 0xBB, 0xCC};
  ASSERT_TRUE(file.rewrite(5, patch.data(), patch.size()));
  ASSERT_TRUE(file.rewrite(199'998, patch.data(), 2));
  ASSERT_TRUE(file.commit());
  std::copy(patch.begin(), patch.end(), content.begin() + 5);
  std::copy(patch.begin(), patch.begin() + 2, content.begin() + 199'998);
  EXPECT_EQ(ReadBytes(target), content);
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
  EXPECT_EQ(file.error(), std::errc::file_too_large);
  EXPECT_EQ(ReadBytes(target), old);
  EXPECT_EQ(FileCount(folder), 1);
}

TEST(AtomicFileTest, ReportsWhyATargetCannotBeWritten) {
  const auto folder = TempDir();
  std::filesystem::create_directory(folder / "a folder");
  std::filesystem::create_directory(folder / "read only");
  WriteBytes(folder / "read only" / "a.ov2", {1});
  ::chmod((folder / "read only").c_str(), 0555);
  const struct {
    const char* target;
    std::errc reason;
  } cases[] = {
      {"no such folder/a.ov2", std::errc::no_such_file_or_directory},
      {"a folder", std::errc::is_a_directory},
      {"read only/a.ov2", std::errc::permission_denied},  // root may write anywhere
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    if (c.reason == std::errc::permission_denied && ::geteuid() == 0) continue;
    AtomicFile file;
    EXPECT_FALSE(file.open(folder / c.target));
    EXPECT_FALSE(file.write("x", 1));
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(file.error(), std::make_error_condition(c.reason));
  }
  ::chmod((folder / "read only").c_str(), 0755);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "a folder"));
  EXPECT_EQ(ReadBytes(folder / "read only" / "a.ov2"), (std::vector<std::uint8_t>{1}));
  EXPECT_EQ(FileCount(folder), 2);
  EXPECT_EQ(FileCount(folder / "read only"), 1);
}

// A device, a pipe or a link to one is never renamed over: that would destroy it.
TEST(AtomicFileTest, RefusesTargetsThatAreNotRegularFiles) {
  const auto folder = TempDir();
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
  std::filesystem::create_symlink(folder / "pipe", folder / "pipe link");
  // A device of its own: a test that failed must not destroy a device the system uses.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::mknod((folder / "device").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    std::filesystem::create_symlink(folder / "device", folder / "device link");
  }
  const struct {
    const char* target;
    AtomicFile::Links links;
  } cases[] = {
      {"pipe", AtomicFile::Links::Follow},
      {"pipe", AtomicFile::Links::Replace},
      {"pipe link", AtomicFile::Links::Follow},
      {"device", AtomicFile::Links::Follow},
      {"device link", AtomicFile::Links::Follow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    if (!root && std::string_view(c.target).starts_with("device")) continue;
    AtomicFile file;
    EXPECT_FALSE(file.open(folder / c.target, c.links));
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(file.error().message(), "Not a regular file");
  }
  // One that takes the name while the new file is being written.
  AtomicFile file;
  ASSERT_TRUE(file.open(folder / "late pipe"));
  ASSERT_TRUE(file.write("x", 1));
  ASSERT_EQ(::mkfifo((folder / "late pipe").c_str(), 0644), 0);
  EXPECT_FALSE(file.commit());
  EXPECT_EQ(file.error().message(), "Not a regular file");

  EXPECT_TRUE(std::filesystem::is_fifo(folder / "pipe"));
  EXPECT_TRUE(std::filesystem::is_fifo(folder / "late pipe"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "pipe link"));
  if (root) {
    EXPECT_TRUE(std::filesystem::is_character_file(folder / "device"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "device link"));
  }
  EXPECT_EQ(FileCount(folder), root ? 5 : 3);
}

// Someone else's program, replaced by root: the new file stays theirs and loses set-user-ID.
TEST(AtomicFileTest, KeepsOwnerAndGroupButOnlyThePermissionBits) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  const auto target = TempDir() / "tool";
  WriteBytes(target, {1});
  ASSERT_EQ(::chown(target.c_str(), 1234, 5678), 0);
  ASSERT_EQ(::chmod(target.c_str(), 06755), 0);
  AtomicFile file;
  ASSERT_TRUE(file.open(target));
  ASSERT_TRUE(file.write("x", 1));
  ASSERT_TRUE(file.commit());
  struct stat status {};
  ASSERT_EQ(::stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0755u);
  EXPECT_EQ(status.st_uid, 1234u);
  EXPECT_EQ(status.st_gid, 5678u);
}

// A save that never ends, as when the process is killed, leaves no temporary file behind.
TEST(AtomicFileTest, KilledSaveLeavesNothingBeside) {
  const auto folder = TempDir();
  const auto target = folder / "data.ov2";
  WriteBytes(target, {9, 8, 7});
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const auto content = Pattern(3'000'000);
    AtomicFile file;
    const char written = file.open(target) && file.write(content.data(), content.size()) ? 'y' : 'n';
    if (::write(ready[1], &written, 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char written = 0;
  EXPECT_EQ(::read(ready[0], &written, 1), 1);
  ::close(ready[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(written, 'y');
  EXPECT_EQ(ReadBytes(target), (std::vector<std::uint8_t>{9, 8, 7}));
  EXPECT_EQ(FileCount(folder), 1);
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
