#include "device/ui/presence_channel.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

#include <atomic>

#include "core/runtime_folder.h"
#include "device/device_presence.h"
#include "editing/exchange_link.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

// A running editor accepts at once; one that does not within this is hung and is not waited for.
constexpr int kConnectLimitMs = 250;

unsigned CurrentUser() { return ::getuid(); }

QString NativeName(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.string())); }

// Which of this process's listeners a new channel is: tests run several in one process.
int NextListener() {
  static std::atomic<int> listeners{0};
  return listeners++;
}

void Send(const fs::path& path, bool present) {
  QLocalSocket socket;
  socket.connectToServer(NativeName(path));
  if (!socket.waitForConnected(kConnectLimitMs)) {
    const auto error = socket.error();
    // Nobody listens there any more: the editor ended without closing its socket.
    if (error == QLocalSocket::ConnectionRefusedError || error == QLocalSocket::ServerNotFoundError) {
      std::error_code ignored;
      fs::remove(path, ignored);
    }
    return;
  }
  if (PeerUser(static_cast<int>(socket.socketDescriptor())) != CurrentUser()) return;
  const auto bytes = EncodeMessage({kDevicePresenceMessage, present ? 1u : 0u, 0});
  socket.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  socket.waitForBytesWritten(kConnectLimitMs);
  socket.disconnectFromServer();
}

}  // namespace

PresenceChannel::PresenceChannel(QObject* parent)
    : QObject(parent),
      path_(PresenceSocketPath(RuntimeFolder(), CurrentUser(), static_cast<long>(::getpid()), NextListener())),
      server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &PresenceChannel::accept);
  // A socket of an earlier process that had this number: it is gone, or it would not have our number.
  QLocalServer::removeServer(NativeName(path_));
  server_->listen(NativeName(path_));
}

PresenceChannel::~PresenceChannel() { server_->close(); }

void PresenceChannel::announce(bool present) {
  const std::string prefix = PresenceSocketPrefix(CurrentUser());
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(path_.parent_path(), error)) {
    const fs::path& path = entry.path();
    if (path == path_ || !path.filename().string().starts_with(prefix) || !IsUsersSocket(path, CurrentUser())) continue;
    Send(path, present);
  }
}

void PresenceChannel::accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (PeerUser(static_cast<int>(socket->socketDescriptor())) != CurrentUser()) {
      socket->abort();
      continue;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
    read(socket);
  }
}

void PresenceChannel::read(QLocalSocket* socket) {
  while (socket->bytesAvailable() >= static_cast<qint64>(kMessageSize)) {
    std::array<std::uint8_t, kMessageSize> bytes{};
    socket->read(reinterpret_cast<char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    const ExchangeMessage message = DecodeMessage(bytes);
    if (message.message == kDevicePresenceMessage) emit announced(message.wParam != 0);
  }
}

}  // namespace qf
