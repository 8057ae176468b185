#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qf {

// What a geocoding service answered, whichever protocol it speaks.
enum class ReplyStatus {
  Found,           // a result, with an address and perhaps a position
  ZeroResults,     // nothing known there: the row's target is cleared
  OverQueryLimit,  // too many requests: ask again in a moment
  RequestDenied,   // the service refuses us
  Unexpected,      // an empty reply, no status or one we do not know
  NoConnection,    // no reply came at all
};

struct GeocodeReply {
  ReplyStatus status = ReplyStatus::Unexpected;
  std::u16string address;             // at most 255 characters, without trailing blanks; may be empty
  std::optional<std::u16string> lng;  // the texts as the service wrote them
  std::optional<std::u16string> lat;
};

// A reply that tells only its status.
inline GeocodeReply ReplyWith(ReplyStatus status) {
  GeocodeReply reply;
  reply.status = status;
  return reply;
}

// The XML protocol's reply: the first formatted address and the location after it, or the status
// when no formatted address is there. Markers are matched without regard to case.
GeocodeReply ParseXmlReply(std::string_view body);
// Nominatim's XML replies: the first place of a search, the result of a reverse lookup.
GeocodeReply ParseNominatimSearch(std::string_view body);
GeocodeReply ParseNominatimReverse(std::string_view body);

}  // namespace qf
