#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qf {

// Running editors tell each other when the device comes or goes: each listens on a socket of its own
// in the user's runtime folder, and an announcement goes to every other such socket as the message
// below with the present flag as its first argument.
inline constexpr std::uint32_t kDevicePresenceMessage = 0x8002;

// The start of the names of the presence sockets of this user's editors.
std::string PresenceSocketPrefix(unsigned user);
// The socket of one editor: its process, and which of the process's listeners it is.
std::filesystem::path PresenceSocketPath(const std::filesystem::path& folder, unsigned user, long process,
                                         int listener);

// An IPv4 network interface that is up: its address and its subnet mask, in network byte order.
struct NetworkInterface {
  std::uint32_t address = 0;
  std::uint32_t mask = 0;
};
std::vector<NetworkInterface> InterfacesUp();

// Whether the device at `address` (a host, or host:port) can be reached through one of the
// interfaces: an IPv4 address needs one on its subnet (a device plugged in brings one up, and
// without it nothing is sent); a host name is taken as reachable.
bool Reaches(std::string_view address, const std::vector<NetworkInterface>& interfaces);
inline bool InterfaceUpFor(std::string_view address) { return Reaches(address, InterfacesUp()); }

}  // namespace qf
