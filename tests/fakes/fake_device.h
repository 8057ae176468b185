#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qf::test {

// A navigation device's web server on 127.0.0.1, for as long as the object lives: the POI folder
// with its listing, downloads, deletes and uploads, and the two screenshot interfaces. Files are
// kept in memory by their full name ("Home.ov2"); an upload stores what it brings, so that a later
// listing or download sees it. The faults tests need are switched on one by one.
class FakeDevice {
 public:
  // The screenshot interface offered: none, BMP files under "/dumps", PNG files under
  // "/personal/screendump".
  enum class Screenshots { None, Dumps, ScreenDump };
  struct Request {
    std::string method;
    std::string path;  // as sent, escapes and query included
    std::string userAgent;
  };
  struct UploadPart {
    std::string fileName;
    std::string contentType;
    std::string bytes;
  };
  struct Upload {
    std::string contentType;  // of the request
    std::vector<UploadPart> parts;
  };

  // On a free port, or on `port` (for a device that comes up at an address already known).
  explicit FakeDevice(int port = 0);
  ~FakeDevice();
  FakeDevice(const FakeDevice&) = delete;
  FakeDevice& operator=(const FakeDevice&) = delete;

  // "127.0.0.1:PORT", for the "Device Address" setting.
  std::string address() const;

  void setFile(const std::string& name, std::string bytes);
  // A file of `size` bytes made as it is sent and never held: bytes i is 'A' + i % 26.
  void setGeneratedFile(const std::string& name, std::uint64_t size);
  void removeFile(const std::string& name);
  std::map<std::string, std::string> files() const;  // generated files not included

  void setScreenshots(Screenshots kind);
  // A screenshot of the current interface, by its full name ("shot1.png").
  void setScreenshot(const std::string& name, std::string bytes);
  std::map<std::string, std::string> screenshots() const;

  // The answer to uploads: its status and body (by default 200 and "Result 200 OK").
  void setUploadAnswer(std::string body, int status = 200);
  std::vector<Upload> uploads() const;
  // DELETE requests are refused with status 500 and delete nothing.
  void setDeletesFail(bool fail);
  // The POI listing is the device's error page.
  void setListingError(bool error);
  // Downloads promise the whole file but hang up after `bytes` of it; nothing: sent whole.
  void setDropDownloadsAfter(std::optional<std::size_t> bytes);

  std::vector<Request> requests() const;

 private:
  struct Server;
  std::string poiListing() const;
  std::string screenshotListing() const;
  void route();

  mutable std::mutex mutex_;
  std::map<std::string, std::string> files_;
  std::map<std::string, std::uint64_t> generated_;
  Screenshots screenshotKind_ = Screenshots::None;
  std::map<std::string, std::string> screenshots_;
  std::string uploadAnswer_ = "Result 200 OK";
  int uploadStatus_ = 200;
  std::vector<Upload> uploads_;
  bool deletesFail_ = false;
  bool listingError_ = false;
  std::optional<std::size_t> dropAfter_;
  std::vector<Request> requests_;
  std::unique_ptr<Server> server_;
};

}  // namespace qf::test
