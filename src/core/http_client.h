#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qf {

// What a request brought back. Without `delivered` no reply came, and `failure` says why.
struct HttpReply {
  bool delivered = false;
  bool stopped = false;  // the receiver of a streamed body asked to stop
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
    // Asked while a request runs, at least about once a second even when nothing arrives: true ends
    // the request, and the reply then says `stopped`. For a user who gives up on a silent server.
    std::function<bool()> stopRequested = nullptr;
  };

  explicit HttpClient(Options options);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  HttpReply get(const std::string& url);
  // A GET whose body goes to `receive` piece by piece as it arrives, with no limit; `receive`
  // returns false to stop the transfer, and the reply then says `stopped`, not `delivered`.
  using Receiver = std::function<bool(std::string_view)>;
  HttpReply get(const std::string& url, const Receiver& receive);
  // A request of any method with a body and extra header lines ("Content-Type: …"); the answer's
  // body is kept as for a GET.
  HttpReply send(const std::string& method, const std::string& url, std::string_view body,
                 const std::vector<std::string>& headers);

 private:
  // Resets the handle and sets what every request shares; false when there is no handle.
  bool prepare(const std::string& url, HttpReply& reply);
  void perform(HttpReply& reply, bool (*ended)(const void*), const void* writer);
  // Performs the prepared request keeping its body up to the limit.
  HttpReply collect(HttpReply reply);

  Options options_;
  void* handle_;  // the CURL easy handle, kept out of the header
};

}  // namespace qf
