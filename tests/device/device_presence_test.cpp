#include "device/device_presence.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

namespace qf {
namespace {

TEST(DevicePresence, EachEditorHasASocketOfItsOwn) {
  const auto path = PresenceSocketPath("/run/user/1000", 1000, 4321, 2);
  EXPECT_EQ(path, std::filesystem::path("/run/user/1000/Quillfern-presence-1000-4321-2"));
  EXPECT_TRUE(path.filename().string().starts_with(PresenceSocketPrefix(1000)));
  EXPECT_FALSE(path.filename().string().starts_with(PresenceSocketPrefix(100)));
}

NetworkInterface Interface(const char* address, const char* mask) {
  in_addr a{}, m{};
  inet_pton(AF_INET, address, &a);
  inet_pton(AF_INET, mask, &m);
  return {a.s_addr, m.s_addr};
}

// Nothing is sent to an address that no interface that is up leads to.
TEST(DevicePresence, TheDeviceIsLookedForOnlyOverALinkThatIsUp) {
  const std::vector<NetworkInterface> usbLink = {Interface("127.0.0.1", "255.0.0.0"),
                                                 Interface("169.254.7.9", "255.255.0.0")};
  const std::vector<NetworkInterface> noLink = {Interface("127.0.0.1", "255.0.0.0"),
                                                Interface("192.168.1.20", "255.255.255.0")};
  EXPECT_TRUE(Reaches("169.254.255.1", usbLink));
  EXPECT_TRUE(Reaches("169.254.255.1:8080", usbLink));
  EXPECT_FALSE(Reaches("169.254.255.1", noLink));
  EXPECT_FALSE(Reaches("169.254.255.1", {}));
  EXPECT_TRUE(Reaches("127.0.0.1:8080", noLink));
  EXPECT_TRUE(Reaches("device.example", {}));
  // This machine's own loopback is up.
  EXPECT_TRUE(InterfaceUpFor("127.0.0.1"));
}

}  // namespace
}  // namespace qf
