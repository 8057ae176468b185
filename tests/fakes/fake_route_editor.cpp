#include "fakes/fake_route_editor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QSharedMemory>
#include <QtEndian>

#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>

namespace qf::test {

namespace {

constexpr std::uint32_t kExchange = 0x8000;

QString User() { return QString::number(::getuid()); }

QByteArray Message(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
  std::array<std::uint32_t, 3> numbers{qToLittleEndian(message), qToLittleEndian(wParam), qToLittleEndian(lParam)};
  return QByteArray(reinterpret_cast<const char*>(numbers.data()), sizeof numbers);
}

// Sends a message and waits for its four-byte answer while the editor, in the same process, runs.
std::optional<std::int32_t> Ask(QLocalSocket& socket, const QByteArray& message, int waitMs) {
  socket.write(message);
  socket.flush();
  const QDeadlineTimer deadline(waitMs);
  while (socket.bytesAvailable() < 4 && socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  if (socket.bytesAvailable() < 4) return std::nullopt;
  return qFromLittleEndian<std::int32_t>(socket.read(4).constData());
}

std::unique_ptr<QLocalSocket> ConnectToEditor() {
  auto socket = std::make_unique<QLocalSocket>();
  socket->connectToServer(FakeRouteEditor::socketPath(QStringLiteral("Quillfern")));
  if (!socket->waitForConnected(500)) return nullptr;
  return socket;
}

}  // namespace

QString FakeRouteEditor::socketPath(const QString& className) {
  return QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")) + u'/' + className + u'-' + User();
}

FakeRouteEditor::FakeRouteEditor() {
  QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { serve(socket); });
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
  server_.listen(socketPath(QStringLiteral("Rookhaven")));
}

void FakeRouteEditor::serve(QLocalSocket* socket) {
  while (socket->bytesAvailable() >= 12) {
    const QByteArray message = socket->read(12);
    if (manner == Manner::NeverAnswers) continue;
    const auto number = [&message](int at) { return qFromLittleEndian<std::uint32_t>(message.constData() + at); };
    std::int32_t answer = 0;
    if (number(0) == kExchange && number(4) != 0) {
      answer = readyAnswer;
    } else if (number(0) == kExchange) {
      if (manner == Manner::HangsUpOnRead) {
        socket->abort();
        return;
      }
      if (manner == Manner::NeverFinishesReading) continue;
      QSharedMemory memory(QStringLiteral("Quillfern for TomTom-") + User());
      if (memory.attach(QSharedMemory::ReadOnly)) {
        received.append(QByteArray(static_cast<const char*>(memory.constData()), memory.size()));
      }
    }
    const std::int32_t little = qToLittleEndian(answer);
    socket->write(reinterpret_cast<const char*>(&little), 4);
    socket->flush();
  }
}

std::optional<std::int32_t> FakeRouteEditor::send(const QByteArray& bytes) {
  QSharedMemory memory(QStringLiteral("Rookhaven for TomTom-") + User());
  if (!memory.create(bytes.size())) return std::nullopt;
  std::memcpy(memory.data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
  const std::unique_ptr<QLocalSocket> socket = ConnectToEditor();
  if (!socket) return std::nullopt;
  const auto ready = Ask(*socket, Message(kExchange, 1, 0), 500);
  if (ready == 7) Ask(*socket, Message(kExchange, 0, 0), 30000);
  return ready;
}

std::optional<std::int32_t> FakeRouteEditor::askReady() {
  const std::unique_ptr<QLocalSocket> socket = ConnectToEditor();
  return socket ? Ask(*socket, Message(kExchange, 1, 0), 500) : std::nullopt;
}

void FakeRouteEditor::readNowWithoutMemory() {
  if (const std::unique_ptr<QLocalSocket> socket = ConnectToEditor()) Ask(*socket, Message(kExchange, 0, 0), 30000);
}

}  // namespace qf::test
