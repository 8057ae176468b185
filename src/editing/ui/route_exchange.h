#pragma once

#include <QObject>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "editing/exchange_link.h"

class QLocalServer;
class QLocalSocket;

namespace qf {

// The exchange with the route editor and other copies of this program on this desktop: a local
// socket per program carries the messages, shared memory the rows.

// Whether a program of this class runs for this user.
bool ProgramRunning(std::u16string_view className);

// This program's end: it listens under its class name and answers every message through `answer`.
// Connections of other users are refused.
class ExchangeServer : public QObject {
 public:
  using Answer = std::function<std::int32_t(const ExchangeMessage&)>;
  ExchangeServer(std::u16string_view className, Answer answer, QObject* parent = nullptr);

  bool isListening() const;
  // Takes the socket when it is free: another running copy of the program keeps it till it ends.
  void listen();

 private:
  // probeLeftover: a socket left behind by a program that ended without closing it is removed.
  void takeSocket(bool probeLeftover);
  void accept();
  void serve(QLocalSocket* socket);

  std::filesystem::path path_;
  Answer answer_;
  QLocalServer* server_;
};

enum class SendResult { Sent, NotReady, NoMemory };
// Puts the bytes into shared memory named after the sender's title, asks the program of the
// receiver's class whether it is ready (without an answer 7 within 500 ms it is not) and has it
// read them; the memory lives until the receiver has read it, is gone, or has taken 10 s.
SendResult SendRows(std::u16string_view senderTitle, std::u16string_view receiverClass,
                    std::span<const std::uint8_t> bytes);
// A copy of the shared memory of the sender with this title; nothing when it cannot be opened.
std::optional<std::vector<std::uint8_t>> ReadSharedBlock(std::u16string_view senderTitle);

}  // namespace qf
