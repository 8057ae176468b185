#pragma once

#include <QByteArray>
#include <QList>
#include <QLocalServer>
#include <QString>

#include <cstdint>
#include <optional>

namespace qf::test {

// Plays the route editor on this desktop, inside the test's process: it listens under the route
// editor's class name for this user, answers whether it is ready, keeps byte for byte what it is
// told to read, and sends rows as the route editor does. It speaks the wire format itself, apart
// from the editor's own code, so that both ends are checked.
class FakeRouteEditor {
 public:
  enum class Manner { Answers, NeverAnswers, HangsUpOnRead, NeverFinishesReading };

  FakeRouteEditor();
  bool isListening() const { return server_.isListening(); }

  // Its answer to "are you ready to receive POIs?" and its manners.
  std::int32_t readyAnswer = 7;
  Manner manner = Manner::Answers;
  // What each read found in the editor's shared memory.
  QList<QByteArray> received;

  // Puts bytes into the route editor's shared memory and, when the editor answers ready, tells it to
  // read them. The editor's answer to "ready?"; nothing when none came.
  std::optional<std::int32_t> send(const QByteArray& bytes);
  std::optional<std::int32_t> askReady();
  // Tells the editor to read without any shared memory there (a sender that died before).
  void readNowWithoutMemory();

  // The socket of a program of this class, where the editor looks for it.
  static QString socketPath(const QString& className);

 private:
  void serve(QLocalSocket* socket);

  QLocalServer server_;
};

}  // namespace qf::test
