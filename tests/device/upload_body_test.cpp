#include "device/upload_body.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/message_id.h"
#include "support/test_support.h"

namespace qf {
namespace {

void Write(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(UploadBody, JoinsOnePartPerFileOfTheMask) {
  const std::filesystem::path folder = test::TempDir();
  Write(folder / "local.ov2", std::string("OV2\0\r\nbytes", 11));
  Write(folder / "local.bmp", "BM");
  Write(folder / "local.ogg", "not asked for");
  std::string body;
  ASSERT_EQ(BuildUploadBody(u"Caf\u00e9", folder / "local.kml", MaskOf(DeviceFileKind::Ov2) | MaskOf(DeviceFileKind::Bmp),
                            body),
            0);
  const std::string head = "--Quillfern\r\nContent-Disposition: form-data; name=\"file\"; filename=\"Caf\xC3\xA9.";
  const std::string type = "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
  const std::string expected = head + "ov2" + type + std::string("OV2\0\r\nbytes", 11) + "\r\n--Quillfern" + "\r\n" +
                               head + "bmp" + type + "BM" + "\r\n--Quillfern" + "--\r\n";
  EXPECT_EQ(body, expected);
  EXPECT_EQ(BuildUploadBody(u"Home", folder / "local", MaskOf(DeviceFileKind::Vif), body), kDeviceFileSystemError);
}

TEST(UploadBody, KeepsQuotesAndLineBreaksOutOfThePartHeader) {
  const std::filesystem::path folder = test::TempDir();
  Write(folder / "a.ov2", "12345");
  std::string body;
  ASSERT_EQ(BuildUploadBody(u"say \"hi\"\r\n", folder / "a.ov2", MaskOf(DeviceFileKind::Ov2), body), 0);
  EXPECT_NE(body.find("filename=\"say %22hi%22%0D%0A.ov2\""), std::string::npos) << body;
}

TEST(UploadBody, AnswerNumberAfterTheFirstSpaceDecides) {
  struct Case {
    std::string_view answer;
    int result;
  };
  const Case cases[] = {
      {"HTTP/1.1 200 OK", 0},
      {"Result 207 Multi-Status", kDeviceUnknownError},
      {"Result 507 Insufficient Storage", kDeviceNoMemory},
      {"507", 0},                                   // no space
      {"Status:  507", kDeviceNoMemory},            // more spaces
      {"abcdefghijklmnopqrstuvwxyz12 507", 0},      // cut by the 31 bytes read
      {"abcdefghijklmnopqrstuvwxyz1 507", kDeviceNoMemory},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(UploadAnswerResult(c.answer), c.result) << c.answer;
}

}  // namespace
}  // namespace qf
