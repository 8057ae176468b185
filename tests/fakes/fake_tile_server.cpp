#include "fakes/fake_tile_server.h"

#include <httplib.h>

#include <chrono>
#include <thread>

namespace qf::test {

namespace {

// A 1 × 1 PNG of a pale green; the page stretches it over the tile.
constexpr char kTile[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01\x08\x02\x00"
    "\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63\xb8\xf1\xe2\x04\x00\x05\x24\x02\x89\xe0"
    "\x3c\x09\x94\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82";

}  // namespace

struct FakeTileServer::Server {
  httplib::Server http;
  int port = -1;
  std::thread thread;
};

FakeTileServer::FakeTileServer() : server_(std::make_unique<Server>()) {
  server_->http.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    {
      const std::lock_guard lock(mutex_);
      requests_.push_back({request.path, request.get_header_value("User-Agent")});
    }
    response.set_content(std::string(kTile, sizeof kTile - 1), "image/png");
  });
  server_->http.set_tcp_nodelay(true);
  server_->port = server_->http.bind_to_any_port("127.0.0.1");
  server_->thread = std::thread([this] { server_->http.listen_after_bind(); });
  while (!server_->http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeTileServer::~FakeTileServer() {
  server_->http.stop();
  server_->thread.join();
}

std::string FakeTileServer::tileUrl() const {
  return "http://127.0.0.1:" + std::to_string(server_->port) + "/{z}/{x}/{y}.png";
}

std::vector<FakeTileServer::Request> FakeTileServer::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace qf::test
