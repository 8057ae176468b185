#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qf::test {

// A map tile server on 127.0.0.1 at a free port, for as long as the object lives: every tile is one
// plain pale pixel, and what was asked is kept.
class FakeTileServer {
 public:
  FakeTileServer();
  ~FakeTileServer();

  struct Request {
    std::string path;
    std::string userAgent;
  };

  // The tile URL template for the "Map Tiles" setting.
  std::string tileUrl() const;
  std::vector<Request> requests() const;

 private:
  struct Server;
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  std::unique_ptr<Server> server_;
};

}  // namespace qf::test
