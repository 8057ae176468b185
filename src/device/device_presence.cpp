#include "device/device_presence.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace qf {

std::string PresenceSocketPrefix(unsigned user) { return "Quillfern-presence-" + std::to_string(user) + '-'; }

std::filesystem::path PresenceSocketPath(const std::filesystem::path& folder, unsigned user, long process,
                                         int listener) {
  return folder / (PresenceSocketPrefix(user) + std::to_string(process) + '-' + std::to_string(listener));
}

std::vector<NetworkInterface> InterfacesUp() {
  std::vector<NetworkInterface> up;
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return up;
  for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
    if ((entry->ifa_flags & IFF_UP) == 0 || entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr ||
        entry->ifa_addr->sa_family != AF_INET) {
      continue;
    }
    up.push_back({reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr,
                  reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr});
  }
  ::freeifaddrs(interfaces);
  return up;
}

bool Reaches(std::string_view address, const std::vector<NetworkInterface>& interfaces) {
  const std::string host(address.substr(0, address.find(':')));
  in_addr device{};
  if (::inet_pton(AF_INET, host.c_str(), &device) != 1) return true;
  for (const NetworkInterface& interface : interfaces) {
    if ((interface.address & interface.mask) == (device.s_addr & interface.mask)) return true;
  }
  return false;
}

}  // namespace qf
