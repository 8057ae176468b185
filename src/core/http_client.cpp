#include "core/http_client.h"

#include <curl/curl.h>

#include <mutex>

namespace qf {

namespace {

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Collects the body up to the limit; a body that goes beyond it ends the transfer, since
// nothing after the limit would be read.
struct Collector {
  std::string& body;
  std::size_t limit;
  bool cut = false;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
  auto& collector = *static_cast<Collector*>(user);
  const std::size_t bytes = size * count;
  const std::size_t room = collector.limit - collector.body.size();
  if (bytes > room) {
    collector.body.append(data, room);
    collector.cut = true;
    return 0;
  }
  collector.body.append(data, bytes);
  return bytes;
}

}  // namespace

HttpClient::HttpClient(Options options) : options_(std::move(options)) {
  InitialiseCurlOnce();
  handle_ = curl_easy_init();
}

HttpClient::~HttpClient() { curl_easy_cleanup(static_cast<CURL*>(handle_)); }

HttpReply HttpClient::get(const std::string& url) {
  HttpReply reply;
  CURL* curl = static_cast<CURL*>(handle_);
  if (curl == nullptr) {
    reply.failure = "the web client could not be started";
    return reply;
  }
  Collector collector{reply.body, options_.bodyLimit};
  char error[CURL_ERROR_SIZE] = "";
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, options_.userAgent.c_str());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connectTimeout.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options_.timeout.count()));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // timeouts without signals, so any thread may ask
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &collector);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  const CURLcode result = curl_easy_perform(curl);
  if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && collector.cut)) {
    reply.delivered = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  } else {
    reply.body.clear();
    reply.failure = error[0] != '\0' ? error : curl_easy_strerror(result);
  }
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  return reply;
}

}  // namespace qf
