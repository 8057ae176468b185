#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace qf::test {

// An uncompressed cabinet of these files (name, content), made byte for byte as the format
// lays it out; the names go in as given, so a test can make a hostile one.
std::string CabinetOf(const std::vector<std::pair<std::string, std::string>>& files);

// The ephemeris download service on 127.0.0.1 at a free port, for as long as the object lives:
// every GET is answered with the current reply, and its path and query are kept.
class FakeEphemerisServer {
 public:
  FakeEphemerisServer();
  ~FakeEphemerisServer();

  // "http://127.0.0.1:port", for the "Ephemeris Host" setting.
  std::string url() const;
  // What every following GET is answered with.
  void answer(std::string body, int status = 200);
  // Four bytes of a body, then nothing more.
  void answerSlowly();
  std::vector<std::string> targets() const;

 private:
  struct Server;
  mutable std::mutex mutex_;
  struct Reply {
    int status = 200;
    std::string body;
    bool slow = false;
  };
  Reply reply_;
  std::vector<std::string> targets_;
  std::unique_ptr<Server> server_;
};

}  // namespace qf::test
