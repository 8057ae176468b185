#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace qf {

class HttpClient;

// The clock of "Last Notify": whole seconds since 1 January 2001, 00:00 UTC.
int NotifyClock(std::chrono::system_clock::time_point now);

// Whether a week has gone by since the last notice, so that the version file is asked again.
bool VersionCheckDue(int now, int lastNotify);

// The program's own version text, in the form of the version file: "v", four dotted numbers, a
// blank and the language edition.
std::string OwnVersionText(std::string_view version);

// The text of the version file when it announces a newer version than `own`, converted from the
// ANSI code page: its version token (up to the first blank) compared with `own` as text, character
// by character, over the token's length. Nothing for an answer that is empty, 256 bytes or longer,
// does not start with "v", has no blank, or is not newer.
std::optional<std::u16string> AnnouncedNewerVersion(std::string_view answer, std::string_view own, int codePage);

// Asks the version file at `url` once: the announcement of a newer version, or nothing (no answer,
// an error, or no newer version).
std::optional<std::u16string> AskForNewerVersion(HttpClient& http, const std::string& url, std::string_view own,
                                                 int codePage);

}  // namespace qf
