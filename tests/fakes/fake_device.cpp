#include "fakes/fake_device.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

namespace qf::test {

namespace {

constexpr std::string_view kPoiFolder = "/personal/pois";
constexpr std::string_view kErrorPage = "Error: no such file or page";

// The href of a link: the path with every byte outside plain ASCII letters, digits and ./-_ escaped.
std::string Href(std::string_view folder, std::string_view name) {
  std::string href(folder);
  href += '/';
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 && byte < 0x80) {
      href += c;
    } else if (c == '.' || c == '-' || c == '_') {
      href += c;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", byte);
      href += escape;
    }
  }
  return href;
}

std::string SizeText(std::uint64_t size) {
  char text[32];
  if (size >= 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(size) / (1024.0 * 1024.0));
  } else if (size >= 1024) {
    std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>(size / 1024));
  } else {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(size));
  }
  return text;
}

// One row of a listing table: the link, its date and its size.
std::string Row(std::string_view folder, std::string_view name, std::string_view linkText, std::uint64_t size) {
  return "<tr><td><a href=\"" + Href(folder, name) + "\">" + std::string(linkText) +
         "</a></td><td>2024-05-01 12:00</td><td>" + SizeText(size) + "</td></tr>\n";
}

std::string Page(std::string_view title, const std::string& rows) {
  return "<html><head><title>" + std::string(title) + "</title></head><body><table>\n" +
         "<tr><th>Name</th><th>Date</th><th>Size</th></tr>\n" + rows + "</table></body></html>\n";
}

void SendGenerated(httplib::Response& response, std::uint64_t size, std::optional<std::size_t> dropAfter) {
  response.set_content_provider(
      size, "application/octet-stream",
      [size, dropAfter](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        if (dropAfter && offset >= *dropAfter) return false;
        std::string chunk(std::min<std::uint64_t>({length, 1 << 16, size - offset}), '\0');
        for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>('A' + (offset + i) % 26);
        if (dropAfter) chunk.resize(std::min(chunk.size(), *dropAfter - offset));
        return sink.write(chunk.data(), chunk.size());
      });
}

void SendFile(httplib::Response& response, const std::string& bytes, std::optional<std::size_t> dropAfter) {
  if (!dropAfter) {
    response.set_content(bytes, "application/octet-stream");
    return;
  }
  // Promises the whole file, sends the start of it, then hangs up.
  response.set_content_provider(bytes.size(), "application/octet-stream",
                                [bytes, dropAfter](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                  if (offset >= *dropAfter) return false;
                                  return sink.write(bytes.data() + offset, std::min(bytes.size(), *dropAfter) - offset);
                                });
}

}  // namespace

struct FakeDevice::Server {
  httplib::Server http;
  int port = -1;
  std::thread thread;
};

FakeDevice::FakeDevice(int port) : server_(std::make_unique<Server>()) {
  route();
  server_->http.set_tcp_nodelay(true);
  if (port == 0) {
    server_->port = server_->http.bind_to_any_port("127.0.0.1");
  } else if (server_->http.bind_to_port("127.0.0.1", port)) {
    server_->port = port;
  }
  server_->thread = std::thread([this] { server_->http.listen_after_bind(); });
  // A stop before the server runs would be lost, and the thread would never end.
  while (!server_->http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeDevice::~FakeDevice() {
  server_->http.stop();
  server_->thread.join();
}

void FakeDevice::route() {
  httplib::Server& http = server_->http;
  // Kept before the answer leaves, so that a test sees the request as soon as its answer came.
  http.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    const std::lock_guard lock(mutex_);
    requests_.push_back({request.method, request.target, request.get_header_value("User-Agent")});
    return httplib::Server::HandlerResponse::Unhandled;
  });
  http.Get(R"(/personal/pois/?)", [this](const httplib::Request&, httplib::Response& response) {
    const std::lock_guard lock(mutex_);
    response.set_content(listingError_ ? std::string(kErrorPage) : poiListing(), "text/html; charset=UTF-8");
  });
  http.Get(R"(/personal/pois/(.+))", [this](const httplib::Request& request, httplib::Response& response) {
    const std::lock_guard lock(mutex_);
    const std::string name = request.matches[1];
    if (const auto file = files_.find(name); file != files_.end()) {
      SendFile(response, file->second, dropAfter_);
    } else if (const auto generated = generated_.find(name); generated != generated_.end()) {
      SendGenerated(response, generated->second, dropAfter_);
    } else {
      response.set_content(std::string(kErrorPage), "text/html");
    }
  });
  http.Delete(R"(/personal/pois/(.+))", [this](const httplib::Request& request, httplib::Response& response) {
    const std::lock_guard lock(mutex_);
    if (deletesFail_) {
      response.status = 500;
      return;
    }
    const std::string name = request.matches[1];
    if (files_.erase(name) + generated_.erase(name) == 0) response.status = 404;
  });
  http.Post(std::string(kPoiFolder),
            [this](const httplib::Request& request, httplib::Response& response, const httplib::ContentReader& read) {
              Upload upload{request.get_header_value("Content-Type"), {}};
              read(
                  [&](const httplib::MultipartFormData& part) {
                    upload.parts.push_back({part.filename, part.content_type, {}});
                    return true;
                  },
                  [&](const char* data, std::size_t size) {
                    upload.parts.back().bytes.append(data, size);
                    return true;
                  });
              const std::lock_guard lock(mutex_);
              for (const UploadPart& part : upload.parts) files_[part.fileName] = part.bytes;
              uploads_.push_back(std::move(upload));
              response.status = uploadStatus_;
              response.set_content(uploadAnswer_, "text/plain");
            });
  // Both screenshot interfaces answer; the one not offered with the device's error page.
  auto screenshots = [this](Screenshots kind) {
    return [this, kind](const httplib::Request& request, httplib::Response& response) {
      const std::lock_guard lock(mutex_);
      if (screenshotKind_ != kind) {
        response.set_content(std::string(kErrorPage), "text/html");
      } else if (request.matches.size() < 2) {
        response.set_content(screenshotListing(), "text/html; charset=UTF-8");
      } else if (kind == Screenshots::Dumps && request.matches[1] == "delete") {
        screenshots_.clear();
        response.set_content("OK", "text/plain");
      } else if (const auto shot = screenshots_.find(request.matches[1]); shot != screenshots_.end()) {
        SendFile(response, shot->second, dropAfter_);
      } else if (kind == Screenshots::Dumps && request.matches[1] == "latest.bmp" && !screenshots_.empty()) {
        SendFile(response, screenshots_.rbegin()->second, dropAfter_);
      } else {
        response.set_content(std::string(kErrorPage), "text/html");
      }
    };
  };
  http.Get(R"(/dumps/?)", screenshots(Screenshots::Dumps));
  http.Get(R"(/dumps/(.+))", screenshots(Screenshots::Dumps));
  http.Get(R"(/personal/screendump/?)", screenshots(Screenshots::ScreenDump));
  http.Get(R"(/personal/screendump/(.+))", screenshots(Screenshots::ScreenDump));
}

std::string FakeDevice::poiListing() const {
  std::map<std::string, std::uint64_t> sizes(generated_);
  for (const auto& [name, bytes] : files_) sizes[name] = bytes.size();
  std::string rows;
  for (const auto& [name, size] : sizes) rows += Row(kPoiFolder, name, name, size);
  return Page("POI files", rows);
}

std::string FakeDevice::screenshotListing() const {
  std::string rows;
  const bool dumps = screenshotKind_ == Screenshots::Dumps;
  const std::string_view folder = dumps ? "/dumps" : "/personal/screendump";
  for (const auto& [name, bytes] : screenshots_) {
    // The first interface's link text repeats the path.
    rows += Row(folder, name, dumps ? std::string(folder) + "/" + name : name, bytes.size());
  }
  if (dumps && !screenshots_.empty()) {
    rows += Row(folder, "latest.bmp", "/dumps/latest.bmp", screenshots_.rbegin()->second.size());
  }
  return Page("Screenshots", rows);
}

std::string FakeDevice::address() const { return "127.0.0.1:" + std::to_string(server_->port); }

void FakeDevice::setFile(const std::string& name, std::string bytes) {
  const std::lock_guard lock(mutex_);
  generated_.erase(name);
  files_[name] = std::move(bytes);
}

void FakeDevice::setGeneratedFile(const std::string& name, std::uint64_t size) {
  const std::lock_guard lock(mutex_);
  files_.erase(name);
  generated_[name] = size;
}

void FakeDevice::removeFile(const std::string& name) {
  const std::lock_guard lock(mutex_);
  files_.erase(name);
  generated_.erase(name);
}

std::map<std::string, std::string> FakeDevice::files() const {
  const std::lock_guard lock(mutex_);
  return files_;
}

void FakeDevice::setScreenshots(Screenshots kind) {
  const std::lock_guard lock(mutex_);
  screenshotKind_ = kind;
}

void FakeDevice::setScreenshot(const std::string& name, std::string bytes) {
  const std::lock_guard lock(mutex_);
  screenshots_[name] = std::move(bytes);
}

std::map<std::string, std::string> FakeDevice::screenshots() const {
  const std::lock_guard lock(mutex_);
  return screenshots_;
}

void FakeDevice::setUploadAnswer(std::string body, int status) {
  const std::lock_guard lock(mutex_);
  uploadAnswer_ = std::move(body);
  uploadStatus_ = status;
}

std::vector<FakeDevice::Upload> FakeDevice::uploads() const {
  const std::lock_guard lock(mutex_);
  return uploads_;
}

void FakeDevice::setDeletesFail(bool fail) {
  const std::lock_guard lock(mutex_);
  deletesFail_ = fail;
}

void FakeDevice::setListingError(bool error) {
  const std::lock_guard lock(mutex_);
  listingError_ = error;
}

void FakeDevice::setDropDownloadsAfter(std::optional<std::size_t> bytes) {
  const std::lock_guard lock(mutex_);
  dropAfter_ = bytes;
}

std::vector<FakeDevice::Request> FakeDevice::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace qf::test
