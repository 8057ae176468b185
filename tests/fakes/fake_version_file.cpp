#include "fakes/fake_version_file.h"

#include <httplib.h>

#include <chrono>
#include <thread>

namespace qf::test {

struct FakeVersionFile::Server {
  httplib::Server http;
  int port = -1;
  std::thread thread;
};

FakeVersionFile::FakeVersionFile() : server_(std::make_unique<Server>()) {
  server_->http.Get("/Quillfern/VersionEn.inf", [this](const httplib::Request&, httplib::Response& response) {
    const std::lock_guard lock(mutex_);
    ++requests_;
    response.status = status_;
    response.set_content(body_, "text/plain");
  });
  server_->port = server_->http.bind_to_any_port("127.0.0.1");
  server_->thread = std::thread([this] { server_->http.listen_after_bind(); });
  while (!server_->http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeVersionFile::~FakeVersionFile() {
  server_->http.stop();
  server_->thread.join();
}

void FakeVersionFile::answer(std::string body, int status) {
  const std::lock_guard lock(mutex_);
  body_ = std::move(body);
  status_ = status;
}

std::string FakeVersionFile::url() const {
  return "http://127.0.0.1:" + std::to_string(server_->port) + "/Quillfern/VersionEn.inf";
}

int FakeVersionFile::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace qf::test
