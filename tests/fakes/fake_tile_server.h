#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qf::test {

// A map tile server on 127.0.0.1 at a free port, for as long as the object lives: every tile is one
// plain pale pixel, and the paths asked for are kept.
class FakeTileServer {
 public:
  FakeTileServer();
  ~FakeTileServer();

  // The tile URL template for the "Map Tiles" setting.
  std::string tileUrl() const;
  std::vector<std::string> requests() const;

 private:
  struct Server;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::unique_ptr<Server> server_;
};

}  // namespace qf::test
