#include "editing/ui/route_exchange.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSharedMemory>
#include <QTimer>

#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>

#include "core/runtime_folder.h"
#include "editing/row_exchange.h"
#include "editing/ui/qt_text.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

// A receiver that does not answer within this is not ready.
constexpr int kAnswerLimitMs = 500;
// How long a receiver may take to read the rows: a program that hangs meanwhile must not hang us.
constexpr int kReadLimitMs = 10000;

unsigned CurrentUser() { return ::getuid(); }

fs::path SocketPath(std::u16string_view className) {
  return ExchangeSocketPath(RuntimeFolder(), className, CurrentUser());
}

QString NativeName(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.string())); }

QString BlockKey(std::u16string_view title) { return ToQString(SharedBlockName(title, CurrentUser())); }

// Only a socket of this user is opened, and only a program of this user is talked to.
std::unique_ptr<QLocalSocket> Connect(std::u16string_view className, QDeadlineTimer deadline) {
  const fs::path path = SocketPath(className);
  if (!IsUsersSocket(path, CurrentUser())) return nullptr;
  auto socket = std::make_unique<QLocalSocket>();
  socket->connectToServer(NativeName(path));
  if (!socket->waitForConnected(static_cast<int>(deadline.remainingTime())) ||
      PeerUser(static_cast<int>(socket->socketDescriptor())) != CurrentUser()) {
    return nullptr;
  }
  return socket;
}

// Waits for the answer while this program's own events go on (but not the user's), as a window
// does while another handles a message it sent: a receiver in the same program can answer.
std::optional<std::int32_t> Ask(QLocalSocket& socket, const ExchangeMessage& message, int waitMs) {
  const auto bytes = EncodeMessage(message);
  socket.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  socket.flush();
  const auto answered = [&socket] { return socket.bytesAvailable() >= static_cast<qint64>(kAnswerSize); };
  QEventLoop loop;
  QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
    if (answered()) loop.quit();
  });
  QObject::connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  limit.start(waitMs);
  if (!answered() && socket.state() == QLocalSocket::ConnectedState) loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!answered()) return std::nullopt;
  std::array<std::uint8_t, kAnswerSize> answer{};
  socket.read(reinterpret_cast<char*>(answer.data()), static_cast<qint64>(answer.size()));
  return DecodeAnswer(answer);
}

bool CreateBlock(QSharedMemory& block, std::size_t size) {
  if (block.create(static_cast<qsizetype>(size))) return true;
  if (block.error() != QSharedMemory::AlreadyExists) return false;
  // Left behind by a sender that ended mid-transfer: it goes once nobody holds it.
  if (block.attach()) block.detach();
  return block.create(static_cast<qsizetype>(size));
}

}  // namespace

bool ProgramRunning(std::u16string_view className) { return IsUsersSocket(SocketPath(className), CurrentUser()); }

ExchangeServer::ExchangeServer(std::u16string_view className, Answer answer, QObject* parent)
    : QObject(parent), path_(SocketPath(className)), answer_(std::move(answer)), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &ExchangeServer::accept);
  takeSocket(true);
}

bool ExchangeServer::isListening() const { return server_->isListening(); }

void ExchangeServer::listen() { takeSocket(false); }

void ExchangeServer::takeSocket(bool probeLeftover) {
  if (server_->isListening()) return;
  std::error_code error;
  if (fs::symlink_status(path_, error).type() != fs::file_type::not_found) {
    // Listening would put our socket in place of what is there: another user's file stays, and
    // so does the socket of a copy that still runs.
    if (!probeLeftover || !IsUsersSocket(path_, CurrentUser())) return;
    QLocalSocket probe;
    probe.connectToServer(NativeName(path_));
    if (probe.waitForConnected(kAnswerLimitMs)) return;
    QLocalServer::removeServer(NativeName(path_));
  }
  server_->listen(NativeName(path_));
}

void ExchangeServer::accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (PeerUser(static_cast<int>(socket->socketDescriptor())) != CurrentUser()) {
      socket->abort();
      continue;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
    serve(socket);
  }
}

void ExchangeServer::serve(QLocalSocket* socket) {
  QPointer<QLocalSocket> alive(socket);
  while (alive && alive->bytesAvailable() >= static_cast<qint64>(kMessageSize)) {
    std::array<std::uint8_t, kMessageSize> bytes{};
    alive->read(reinterpret_cast<char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    // The answer may take a while (a question to the user): the sender may be gone by then.
    const auto answer = EncodeAnswer(answer_(DecodeMessage(bytes)));
    if (!alive || alive->state() != QLocalSocket::ConnectedState) return;
    alive->write(reinterpret_cast<const char*>(answer.data()), static_cast<qint64>(answer.size()));
    alive->flush();
  }
}

SendResult SendRows(std::u16string_view senderTitle, std::u16string_view receiverClass,
                    std::span<const std::uint8_t> bytes) {
  QSharedMemory block(BlockKey(senderTitle));
  if (bytes.empty() || !CreateBlock(block, bytes.size())) return SendResult::NoMemory;
  std::memcpy(block.data(), bytes.data(), bytes.size());
  const QDeadlineTimer deadline(kAnswerLimitMs);
  const std::unique_ptr<QLocalSocket> socket = Connect(receiverClass, deadline);
  if (!socket || Ask(*socket, kAskReady, static_cast<int>(deadline.remainingTime())) !=
                     static_cast<std::int32_t>(ReceiveReply::Ready)) {
    return SendResult::NotReady;
  }
  Ask(*socket, kReadNow, kReadLimitMs);
  return SendResult::Sent;
}

std::optional<std::vector<std::uint8_t>> ReadSharedBlock(std::u16string_view senderTitle) {
  QSharedMemory block(BlockKey(senderTitle));
  if (!block.attach(QSharedMemory::ReadOnly)) return std::nullopt;
  const auto* data = static_cast<const std::uint8_t*>(block.constData());
  return std::vector<std::uint8_t>(data, data + block.size());
}

}  // namespace qf
