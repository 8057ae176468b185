#pragma once

#include <QObject>

#include <filesystem>

class QLocalServer;
class QLocalSocket;

namespace qf {

// How the running editors of a user tell each other that the device came or went: each listens on
// a socket of its own, and an announcement goes to every other one. A socket left behind by an
// editor that ended without closing it is removed by the next announcement.
class PresenceChannel : public QObject {
  Q_OBJECT

 public:
  explicit PresenceChannel(QObject* parent = nullptr);
  ~PresenceChannel() override;

  // Tells every other editor of this user whether the device is there.
  void announce(bool present);
  // Where this editor listens.
  const std::filesystem::path& path() const { return path_; }

 signals:
  // Another editor said whether the device is there.
  void announced(bool present);

 private:
  void accept();
  void read(QLocalSocket* socket);

  std::filesystem::path path_;
  QLocalServer* server_;
};

}  // namespace qf
