#include "editing/exchange_link.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

TEST(ExchangeLinkTest, MessagesAndAnswersTravelAsLittleEndianNumbers) {
  const auto ask = EncodeMessage(kAskReady);
  EXPECT_EQ(std::vector<std::uint8_t>(ask.begin(), ask.end()),
            (std::vector<std::uint8_t>{0x00, 0x80, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
  const ExchangeMessage drop{kDragMessage, 1, 1};
  EXPECT_EQ(DecodeMessage(EncodeMessage(drop)), drop);
  for (const std::int32_t answer : {0, 1, 2, 7, -1}) EXPECT_EQ(DecodeAnswer(EncodeAnswer(answer)), answer);
  EXPECT_EQ(EncodeAnswer(7), (std::array<std::uint8_t, 4>{7, 0, 0, 0}));
}

TEST(ExchangeLinkTest, OnlyTheExchangeMessageAsksForAnything) {
  const struct {
    ExchangeMessage message;
    ExchangeRequest request;
  } cases[] = {
      {kAskReady, ExchangeRequest::AskReady},
      {{kExchangeMessage, 5, 0}, ExchangeRequest::AskReady},
      {kReadNow, ExchangeRequest::ReadRows},
      {{kDragMessage, 0, 0}, ExchangeRequest::Nothing},
      {{kDragMessage, 1, 1}, ExchangeRequest::Nothing},
      {{0x8002, 0, 0}, ExchangeRequest::Nothing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.message.message << ' ' << c.message.wParam);
    EXPECT_EQ(RequestOf(c.message), c.request);
  }
}

TEST(ExchangeLinkTest, NamesKeepUsersApart) {
  EXPECT_EQ(ExchangeSocketPath("/run/user/1000", u"Rookhaven", 1000), fs::path("/run/user/1000/Rookhaven-1000"));
  EXPECT_NE(ExchangeSocketPath("/tmp", u"Quillfern", 1000), ExchangeSocketPath("/tmp", u"Quillfern", 1001));
  EXPECT_EQ(SharedBlockName(u"Quillfern for TomTom", 0), u"Quillfern for TomTom-0");
  EXPECT_NE(SharedBlockName(u"Rookhaven for TomTom", 1000), SharedBlockName(u"Rookhaven for TomTom", 1001));
}

// A listening socket at `path`, closed with the test.
class BoundSocket {
 public:
  explicit BoundSocket(const fs::path& path) : descriptor_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.string().copy(address.sun_path, sizeof address.sun_path - 1);
    bound_ = ::bind(descriptor_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~BoundSocket() { ::close(descriptor_); }
  bool bound() const { return bound_; }

 private:
  int descriptor_;
  bool bound_ = false;
};

TEST(ExchangeLinkTest, OnlyASocketOfTheUserIsOpened) {
  const fs::path folder = test::TempDir();
  const unsigned user = ::getuid();
  const fs::path socket = folder / "Quillfern-socket";
  const BoundSocket bound(socket);
  ASSERT_TRUE(bound.bound());
  std::ofstream(folder / "plain-file") << "x";
  fs::create_symlink(socket, folder / "link");

  EXPECT_TRUE(IsUsersSocket(socket, user));
  EXPECT_FALSE(IsUsersSocket(socket, user + 1));
  EXPECT_FALSE(IsUsersSocket(folder / "plain-file", user));
  EXPECT_FALSE(IsUsersSocket(folder / "link", user));
  EXPECT_FALSE(IsUsersSocket(folder / "missing", user));
  // A socket someone else made under the user's name is not the user's.
  if (user == 0) {
    ASSERT_EQ(::chown(socket.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(IsUsersSocket(socket, user));
  }
}

TEST(ExchangeLinkTest, ThePeerOfALocalSocketIsKnown) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  EXPECT_EQ(PeerUser(pair[0]), ::getuid());
  ::close(pair[0]);
  ::close(pair[1]);
  EXPECT_EQ(PeerUser(-1), std::nullopt);
}

}  // namespace
}  // namespace qf
