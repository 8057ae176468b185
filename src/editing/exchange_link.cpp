#include "editing/exchange_link.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include "core/unicode.h"
#include "formats/little_endian.h"

namespace qf {

std::array<std::uint8_t, kMessageSize> EncodeMessage(const ExchangeMessage& message) {
  std::array<std::uint8_t, kMessageSize> bytes{};
  PutUint32(&bytes[0], message.message);
  PutUint32(&bytes[4], message.wParam);
  PutUint32(&bytes[8], message.lParam);
  return bytes;
}

ExchangeMessage DecodeMessage(std::span<const std::uint8_t, kMessageSize> bytes) {
  return {Uint32At(&bytes[0]), Uint32At(&bytes[4]), Uint32At(&bytes[8])};
}

std::array<std::uint8_t, kAnswerSize> EncodeAnswer(std::int32_t answer) {
  std::array<std::uint8_t, kAnswerSize> bytes{};
  PutInt32(bytes.data(), answer);
  return bytes;
}

std::int32_t DecodeAnswer(std::span<const std::uint8_t, kAnswerSize> bytes) { return Int32At(bytes.data()); }

ExchangeRequest RequestOf(const ExchangeMessage& message) {
  if (message.message != kExchangeMessage) return ExchangeRequest::Nothing;
  return message.wParam != 0 ? ExchangeRequest::AskReady : ExchangeRequest::ReadRows;
}

std::filesystem::path ExchangeSocketPath(const std::filesystem::path& folder, std::u16string_view className,
                                         unsigned user) {
  return folder / (Utf16ToUtf8(className) + '-' + std::to_string(user));
}

std::u16string SharedBlockName(std::u16string_view title, unsigned user) {
  std::u16string name(title);
  name += u'-';
  for (const char c : std::to_string(user)) name += static_cast<char16_t>(c);
  return name;
}

bool IsUsersSocket(const std::filesystem::path& path, unsigned user) {
  struct stat status {};
  // lstat: a link planted in a shared folder is not followed to somebody's socket.
  return ::lstat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode) && status.st_uid == user;
}

std::optional<unsigned> PeerUser(int socketDescriptor) {
  struct ucred credentials {};
  socklen_t size = sizeof credentials;
  if (::getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
  return credentials.uid;
}

}  // namespace qf
