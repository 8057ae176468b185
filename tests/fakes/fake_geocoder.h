#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qf::test {

// A geocoding service on 127.0.0.1 at a free port, for as long as the object lives. It answers
// every request with the next of its scripted replies (the last one again when they run out) and
// keeps what it was asked.
class FakeGeocoder {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    bool dropped = false;  // the connection closes in the middle of the body
  };
  struct Request {
    std::string target;  // path and query as sent
    std::string userAgent;
  };

  FakeGeocoder();
  ~FakeGeocoder();

  // "http://127.0.0.1:port", for the "Geocoder Host" setting.
  std::string url() const;
  void script(std::vector<Reply> replies);
  std::vector<Request> requests() const;

 private:
  struct Server;
  Reply next(const Request& request);

  mutable std::mutex mutex_;
  std::vector<Reply> replies_;
  std::size_t answered_ = 0;
  std::vector<Request> requests_;
  std::unique_ptr<Server> server_;
};

}  // namespace qf::test
