#include "formats/file_buffer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "core/regular_file.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

fs::path Written(const std::string& bytes) {
  const fs::path path = test::TempDir() / "f.ov2";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string Read(const FileBuffer& buffer, std::size_t from = 0) {
  return {reinterpret_cast<const char*>(buffer.data()) + from, buffer.size() - from};
}

TEST(FileBufferTest, HoldsTheFileAndTheSpareBytesWhateverItsSize) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  // A file that fills its last page has its spare bytes on a page of their own.
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, page - 2, page - 1, page, 3 * page + 5}) {
    SCOPED_TRACE(size);
    const std::string bytes = Pattern(size);
    FileBuffer buffer;
    std::error_code reason;
    ASSERT_EQ(ReadWholeFile(Written(bytes), FileFormat::Gpx, buffer, reason), 0);
    EXPECT_EQ(Read(buffer), bytes);
    EXPECT_EQ(buffer.data()[size], 0);
    EXPECT_EQ(buffer.data()[size + 1], 0);
    EXPECT_FALSE(buffer.shrank());
  }
}

TEST(FileBufferTest, AFileCutShortWhileReadReadsAsZerosAndIsTold) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::string bytes = Pattern(8 * page);
  const fs::path path = Written(bytes);
  FileBuffer buffer;
  ASSERT_TRUE(buffer.map(ReadableFile(path).fd(), bytes.size()));
  EXPECT_EQ(Read(buffer, 7 * page), bytes.substr(7 * page));  // read before the cut: still there
  fs::resize_file(path, 2 * page + 10);
  EXPECT_EQ(Read(buffer).substr(0, 2 * page + 10), bytes.substr(0, 2 * page + 10));
  // The bytes past the cut are gone; touching them must not end the program.
  const std::string rest = Read(buffer, 2 * page + 10);
  EXPECT_EQ(rest, std::string(rest.size(), '\0'));
  EXPECT_TRUE(buffer.shrank());
}

TEST(FileBufferTest, MappedBytesGivenBackReadAgainFromTheFile) {
  const std::string bytes = Pattern(std::size_t{1} << 20);
  FileBuffer buffer;
  std::error_code reason;
  ASSERT_EQ(ReadWholeFile(Written(bytes), FileFormat::Ov2, buffer, reason), 0);
  ReleaseIfMapped(buffer.bytes());
  EXPECT_EQ(Read(buffer), bytes);
}

}  // namespace
}  // namespace qf
