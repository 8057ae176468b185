#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qf {

// How two programs of one user on this desktop reach each other: each listens on a local socket
// named after its class name and the user; a message is the three numbers of a window message,
// its answer one number; the rows lie in shared memory named after the sender's title and the user.

inline constexpr std::uint32_t kExchangeMessage = 0x8000;  // wParam 1: ready to receive? 0: read now
inline constexpr std::uint32_t kDragMessage = 0x8001;      // hover, drop, leave of another program's drag

struct ExchangeMessage {
  std::uint32_t message = 0;
  std::uint32_t wParam = 0;
  std::uint32_t lParam = 0;
  bool operator==(const ExchangeMessage&) const = default;
};
inline constexpr ExchangeMessage kAskReady{kExchangeMessage, 1, 0};
inline constexpr ExchangeMessage kReadNow{kExchangeMessage, 0, 0};

// Little-endian on the wire; every message is answered, "none used" with 0.
inline constexpr std::size_t kMessageSize = 12;
inline constexpr std::size_t kAnswerSize = 4;
std::array<std::uint8_t, kMessageSize> EncodeMessage(const ExchangeMessage& message);
ExchangeMessage DecodeMessage(std::span<const std::uint8_t, kMessageSize> bytes);
std::array<std::uint8_t, kAnswerSize> EncodeAnswer(std::int32_t answer);
std::int32_t DecodeAnswer(std::span<const std::uint8_t, kAnswerSize> bytes);

// What a received message asks for. Drags between programs come through the desktop's own drag
// and drop, so their messages ask for nothing here.
enum class ExchangeRequest { AskReady, ReadRows, Nothing };
ExchangeRequest RequestOf(const ExchangeMessage& message);

// The socket of a program of this class for this user, in `folder` (the user's runtime folder).
std::filesystem::path ExchangeSocketPath(const std::filesystem::path& folder, std::u16string_view className,
                                         unsigned user);
// The shared memory a program with this title sends from, for this user.
std::u16string SharedBlockName(std::u16string_view title, unsigned user);

// Whether a path is a socket that belongs to this user: the socket of another user is never opened.
bool IsUsersSocket(const std::filesystem::path& path, unsigned user);
// The user at the other end of a connected local socket; nothing when the system does not say.
std::optional<unsigned> PeerUser(int socketDescriptor);

}  // namespace qf
