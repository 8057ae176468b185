#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/user_port.h"
#include "editing/poi_table.h"
#include "map/geocoder.h"

namespace qf {

// Query Coordinates fills Lng and Lat from the address in the memo; Query Addresses fills the
// memo from the coordinates.
enum class GeocodeTarget { Coordinates, Addresses };

// How a run ended.
struct GeocodeRun {
  int passed = 0;         // candidate rows gone through, queried or not
  int candidates = 0;
  bool stopped = false;   // by the user
  int error = 0;          // the message shown, or 0
};

// Runs one request, or the wait before asking again, and returns its reply: at once by default; the
// window runs it on another thread and keeps painting meanwhile.
using RequestRunner = std::function<GeocodeReply(const std::function<GeocodeReply()>& request)>;

// Queries the selected rows, or, when none is selected, every row whose target is missing, one
// after the other with the progress in the status line; a stop request ends the run between rows.
// A service over its limit is asked again after half a second; a refusal, a reply that cannot be
// read or a lost connection end the run with a message. Every row changed is one undo step.
GeocodeRun RunGeocodeQuery(PoiTable& table, Geocoder& geocoder, GeocodeTarget target, UserPort& port,
                           const RequestRunner& run = {});

// How many rows a run would send to the service.
int RowsToQuery(const PoiDocument& document, GeocodeTarget target);
// The public Nominatim service allows one query a second and no bulk geocoding: before a run that
// long, the question whether to go on; nothing for a short run or another service.
std::optional<std::u16string> LongRunQuestion(const ServiceSettings& settings, int rows);

// The address a memo asks for: at most 255 characters, cut before a bracketed remark.
std::u16string AddressOfMemo(std::u16string_view memo);
// Whether a found address tells more than the memo's address: not when they are equal without
// regard to case, nor when the address runs through the whole found one, country aside.
bool ExtendsMemo(std::u16string_view address, std::u16string_view found);
// A found address as a memo: without its country, unless it is a "No. " address.
std::u16string AddressForMemo(std::u16string_view found);

}  // namespace qf
