#include "device/device_names.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

TEST(DeviceNames, EscapeSpacesAndEveryByteOutsideAscii) {
  EXPECT_EQ(EncodeDeviceName(u"Home"), "Home");
  EXPECT_EQ(EncodeDeviceName(u"My Caf\u00e9"), "My%20Caf%C3%A9");
  EXPECT_EQ(EncodeDeviceName(u"\u6771\u4eac"), "%E6%9D%B1%E4%BA%AC");
  EXPECT_EQ(EncodeDeviceName(u"a+b&c=(d)"), "a+b&c=(d)");
}

// Unescaped, these would end the path, start a query or read as an escape: another file is asked for.
TEST(DeviceNames, EscapeWhatWouldChangeThePath) {
  EXPECT_EQ(EncodeDeviceName(u"No #1?"), "No%20%231%3F");
  EXPECT_EQ(EncodeDeviceName(u"50%20off"), "50%2520off");
}

TEST(DeviceNames, LongNamesStopBeforeAHalfCharacter) {
  const std::u16string name(300, u'\u00e9');  // two bytes each: 600
  EXPECT_EQ(EncodeDeviceName(name).size(), 600u * 3);
  const std::u16string longer(400, u'\u00e9');  // 800 bytes: 383 whole characters fit in 767
  EXPECT_EQ(EncodeDeviceName(longer).size(), 383u * 6);
}

}  // namespace
}  // namespace qf
