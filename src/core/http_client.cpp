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

// Hands each piece of a streamed body to the caller's receiver; false from it ends the transfer.
struct Streamer {
  const HttpClient::Receiver& receive;
  bool stopped = false;
};

std::size_t Stream(char* data, std::size_t size, std::size_t count, void* user) {
  auto& streamer = *static_cast<Streamer*>(user);
  const std::size_t bytes = size * count;
  if (!streamer.receive(std::string_view(data, bytes))) {
    streamer.stopped = true;
    return 0;
  }
  return bytes;
}

int AskToStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return (*static_cast<const std::function<bool()>*>(user))() ? 1 : 0;
}

}  // namespace

HttpClient::HttpClient(Options options) : options_(std::move(options)) {
  InitialiseCurlOnce();
  handle_ = curl_easy_init();
}

HttpClient::~HttpClient() { curl_easy_cleanup(static_cast<CURL*>(handle_)); }

bool HttpClient::prepare(const std::string& url, HttpReply& reply) {
  CURL* curl = static_cast<CURL*>(handle_);
  if (curl == nullptr) {
    reply.failure = "the web client could not be started";
    return false;
  }
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
  if (options_.stopRequested) {
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, AskToStop);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &options_.stopRequested);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  }
  return true;
}

// Runs the prepared request. `ended`: the transfer was ended on purpose (a body cut at its limit,
// a receiver that stopped), so its write error is no failure of the connection.
void HttpClient::perform(HttpReply& reply, bool (*ended)(const void*), const void* writer) {
  CURL* curl = static_cast<CURL*>(handle_);
  char error[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  const CURLcode result = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && ended(writer))) {
    reply.delivered = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  } else if (result == CURLE_ABORTED_BY_CALLBACK) {
    reply.body.clear();
    reply.stopped = true;
    reply.failure = "stopped";
  } else {
    reply.body.clear();
    reply.failure = error[0] != '\0' ? error : curl_easy_strerror(result);
  }
}

HttpReply HttpClient::collect(HttpReply reply) {
  CURL* curl = static_cast<CURL*>(handle_);
  Collector collector{reply.body, options_.bodyLimit};
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &collector);
  perform(reply, [](const void* c) { return static_cast<const Collector*>(c)->cut; }, &collector);
  return reply;
}

HttpReply HttpClient::get(const std::string& url) {
  HttpReply reply;
  if (!prepare(url, reply)) return reply;
  return collect(std::move(reply));
}

HttpReply HttpClient::get(const std::string& url, const Receiver& receive) {
  HttpReply reply;
  if (!prepare(url, reply)) return reply;
  CURL* curl = static_cast<CURL*>(handle_);
  Streamer streamer{receive};
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Stream);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &streamer);
  perform(reply, [](const void*) { return false; }, nullptr);
  if (streamer.stopped) {
    reply.delivered = false;
    reply.stopped = true;
    reply.failure = "stopped";
  }
  return reply;
}

HttpReply HttpClient::send(const std::string& method, const std::string& url, std::string_view body,
                           const std::vector<std::string>& headers) {
  HttpReply reply;
  if (!prepare(url, reply)) return reply;
  CURL* curl = static_cast<CURL*>(handle_);
  curl_slist* lines = nullptr;
  for (const std::string& header : headers) lines = curl_slist_append(lines, header.c_str());
  // No "Expect: 100-continue": small servers never answer it, and curl would wait a second.
  lines = curl_slist_append(lines, "Expect:");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines);
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
  if (!body.empty() || method == "POST" || method == "PUT") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  reply = collect(std::move(reply));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(lines);
  return reply;
}

}  // namespace qf
