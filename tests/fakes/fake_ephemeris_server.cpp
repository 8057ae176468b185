#include "fakes/fake_ephemeris_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace qf::test {

namespace {

void Put16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace

// Header, one folder without compression, the file entries, then the data in blocks of at most
// 32 KB, with no checksums (a zero checksum is not checked).
std::string CabinetOf(const std::vector<std::pair<std::string, std::string>>& files) {
  constexpr std::uint32_t kHeaderSize = 36;
  constexpr std::uint32_t kFolderSize = 8;
  constexpr std::size_t kBlock = 32768;
  std::string entries;
  std::string data;
  std::uint32_t offset = 0;
  for (const auto& [name, content] : files) {
    Put32(entries, static_cast<std::uint32_t>(content.size()));
    Put32(entries, offset);
    Put16(entries, 0);       // folder
    Put16(entries, 0x5A21);  // 2025-01-01
    Put16(entries, 0);
    Put16(entries, 0x20);  // archive
    entries += name;
    entries += '\0';
    offset += static_cast<std::uint32_t>(content.size());
    data += content;
  }
  std::string blocks;
  std::uint16_t blockCount = 0;
  for (std::size_t at = 0; at < data.size(); at += kBlock, ++blockCount) {
    const std::string piece = data.substr(at, kBlock);
    Put32(blocks, 0);
    Put16(blocks, static_cast<std::uint16_t>(piece.size()));
    Put16(blocks, static_cast<std::uint16_t>(piece.size()));
    blocks += piece;
  }
  const auto entriesAt = kHeaderSize + kFolderSize;
  const auto blocksAt = static_cast<std::uint32_t>(entriesAt + entries.size());
  std::string cabinet = "MSCF";
  Put32(cabinet, 0);
  Put32(cabinet, static_cast<std::uint32_t>(blocksAt + blocks.size()));
  Put32(cabinet, 0);
  Put32(cabinet, entriesAt);
  Put32(cabinet, 0);
  cabinet += '\x03';  // version 1.3
  cabinet += '\x01';
  Put16(cabinet, 1);  // folders
  Put16(cabinet, static_cast<std::uint16_t>(files.size()));
  Put16(cabinet, 0);  // flags
  Put16(cabinet, 0);  // set
  Put16(cabinet, 0);  // number in the set
  Put32(cabinet, blocksAt);
  Put16(cabinet, blockCount);
  Put16(cabinet, 0);  // no compression
  return cabinet + entries + blocks;
}

struct FakeEphemerisServer::Server {
  httplib::Server http;
  int port = -1;
  std::thread thread;
  std::atomic<bool> stopping = false;
};

FakeEphemerisServer::FakeEphemerisServer() : server_(std::make_unique<Server>()) {
  server_->http.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    Reply reply;
    {
      const std::lock_guard lock(mutex_);
      targets_.push_back(request.target);
      reply = reply_;
    }
    response.status = reply.status;
    if (!reply.slow) {
      response.set_content(reply.body, "application/vnd.ms-cab-compressed");
      return;
    }
    // The first bytes, then silence until the client gives up or the server stops.
    response.set_chunked_content_provider(
        "application/vnd.ms-cab-compressed", [this, sent = false](std::size_t, httplib::DataSink& sink) mutable {
          if (!std::exchange(sent, true)) return sink.write("MSCF", 4);
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
          return !server_->stopping && sink.is_writable();
        });
  });
  server_->port = server_->http.bind_to_any_port("127.0.0.1");
  server_->thread = std::thread([this] { server_->http.listen_after_bind(); });
  while (!server_->http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeEphemerisServer::~FakeEphemerisServer() {
  server_->stopping = true;
  server_->http.stop();
  server_->thread.join();
}

std::string FakeEphemerisServer::url() const { return "http://127.0.0.1:" + std::to_string(server_->port); }

void FakeEphemerisServer::answer(std::string body, int status) {
  const std::lock_guard lock(mutex_);
  reply_ = {status, std::move(body), false};
}

void FakeEphemerisServer::answerSlowly() {
  const std::lock_guard lock(mutex_);
  reply_ = {200, "", true};
}

std::vector<std::string> FakeEphemerisServer::targets() const {
  const std::lock_guard lock(mutex_);
  return targets_;
}

}  // namespace qf::test
