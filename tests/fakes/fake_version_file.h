#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace qf::test {

// The host of the version file on 127.0.0.1 at a free port, for as long as the object lives: it
// answers with the body and status it is given, and counts the requests.
class FakeVersionFile {
 public:
  FakeVersionFile();
  ~FakeVersionFile();

  void answer(std::string body, int status = 200);
  // The URL for the "Version File" setting.
  std::string url() const;
  int requests() const;

 private:
  struct Server;
  mutable std::mutex mutex_;
  std::string body_;
  int status_ = 200;
  int requests_ = 0;
  std::unique_ptr<Server> server_;
};

}  // namespace qf::test
