#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace qf {

// What a GET brought back. Without `delivered` no reply came, and `failure` says why.
struct HttpReply {
  bool delivered = false;
  long status = 0;
  std::string body;  // at most the client's body limit; a longer body is cut there
  std::string failure;
};

// One connection to web services, reused from request to request; proxies come from the
// environment (http_proxy, https_proxy, no_proxy), as every program on the desktop takes them.
class HttpClient {
 public:
  struct Options {
    std::string userAgent;
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds timeout{30'000};  // a server that stops answering must not hold the caller forever
    std::size_t bodyLimit = 65'535;
  };

  explicit HttpClient(Options options);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  HttpReply get(const std::string& url);

 private:
  Options options_;
  void* handle_;  // the CURL easy handle, kept out of the header
};

}  // namespace qf
