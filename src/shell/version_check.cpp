#include "shell/version_check.h"

#include <algorithm>

#include "core/http_client.h"
#include "formats/ansi_converter.h"

namespace qf {

namespace {

constexpr int kWeekSeconds = 7 * 24 * 60 * 60;
constexpr std::size_t kMaxAnswerBytes = 255;
// 1 January 2001 in seconds since 1970. Shifting a time back by 400 Gregorian years (146,097 days
// exactly) and counting from 1601 gives the same number.
constexpr std::int64_t kNotifyEpoch = 978'307'200;

}  // namespace

int NotifyClock(std::chrono::system_clock::time_point now) {
  const std::int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  return static_cast<int>(seconds - kNotifyEpoch);
}

bool VersionCheckDue(int now, int lastNotify) {
  return static_cast<std::int64_t>(now) - lastNotify > kWeekSeconds;
}

std::string OwnVersionText(std::string_view version) {
  std::string text = "v" + std::string(version);
  for (auto dots = std::count(version.begin(), version.end(), '.'); dots < 3; ++dots) text += ".0";
  return text + " English, USA";
}

std::optional<std::u16string> AnnouncedNewerVersion(std::string_view answer, std::string_view own, int codePage) {
  if (answer.empty() || answer.size() > kMaxAnswerBytes || answer.front() != 'v') return std::nullopt;
  const std::size_t blank = answer.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  // The program's text counts as ending in a character below every other, as a C string does.
  for (std::size_t i = 0; i < blank; ++i) {
    const unsigned char mine = i < own.size() ? static_cast<unsigned char>(own[i]) : 0;
    const auto theirs = static_cast<unsigned char>(answer[i]);
    if (mine != theirs) {
      if (mine > theirs) return std::nullopt;
      return AnsiConverter(codePage).toUtf16(answer);
    }
  }
  return std::nullopt;
}

std::optional<std::u16string> AskForNewerVersion(HttpClient& http, const std::string& url, std::string_view own,
                                                 int codePage) {
  const HttpReply reply = http.get(url);
  if (!reply.delivered || reply.status != 200) return std::nullopt;
  return AnnouncedNewerVersion(reply.body, own, codePage);
}

}  // namespace qf
