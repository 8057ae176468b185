#include "fakes/fake_geocoder.h"

#include <httplib.h>

#include <chrono>
#include <thread>

namespace qf::test {

struct FakeGeocoder::Server {
  httplib::Server http;
  int port = -1;
  std::thread thread;
};

FakeGeocoder::FakeGeocoder() : server_(std::make_unique<Server>()) {
  server_->http.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    const Reply reply = next({request.target, request.get_header_value("User-Agent")});
    response.status = reply.status;
    if (!reply.dropped) {
      response.set_content(reply.body, "text/xml; charset=UTF-8");
      return;
    }
    // Promises more than it sends, then hangs up.
    response.set_content_provider(reply.body.size() + 1000, "text/xml",
                                  [body = reply.body](std::size_t, std::size_t, httplib::DataSink& sink) {
                                    sink.write(body.data(), body.size());
                                    return false;
                                  });
  });
  // Headers and body leave at once, as from a real service, not held back until the client acknowledges.
  server_->http.set_tcp_nodelay(true);
  // Bound and listening from here on: a request made before the thread accepts waits in the queue.
  server_->port = server_->http.bind_to_any_port("127.0.0.1");
  server_->thread = std::thread([this] { server_->http.listen_after_bind(); });
  // A stop before the server runs would be lost, and the thread would never end.
  while (!server_->http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeGeocoder::~FakeGeocoder() {
  server_->http.stop();
  server_->thread.join();
}

std::string FakeGeocoder::url() const { return "http://127.0.0.1:" + std::to_string(server_->port); }

void FakeGeocoder::script(std::vector<Reply> replies) {
  const std::lock_guard lock(mutex_);
  replies_ = std::move(replies);
  answered_ = 0;
}

std::vector<FakeGeocoder::Request> FakeGeocoder::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

FakeGeocoder::Reply FakeGeocoder::next(const Request& request) {
  const std::lock_guard lock(mutex_);
  requests_.push_back(request);
  if (replies_.empty()) return {.status = 500, .body = {}, .dropped = false};
  return replies_[std::min(answered_++, replies_.size() - 1)];
}

}  // namespace qf::test
