#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "core/app_settings.h"
#include "core/http_client.h"
#include "map/geocode_reply.h"

namespace qf {

// How the characters of a query value are written into a URL.
enum class UrlEscaping {
  Address,  // the XML protocol's own rule: the blank and every byte from 0x80 escaped, nothing else
  Strict,   // everything but letters, digits and "-._~" escaped, so that "&" or "#" stays in the value
};
// The text in UTF-8 with the bytes to escape as "%" and two upper-case hexadecimal digits.
std::string PercentEncode(std::u16string_view text, UrlEscaping escaping);

// The public Nominatim service asks for no more than one request a second; the XML protocol's
// services set their own limits and say so with OVER_QUERY_LIMIT.
std::chrono::milliseconds RequestSpacing(GeocoderProvider provider);
// The host the settings name, or the provider's public service.
std::string GeocoderHost(const ServiceSettings& settings);
// Where the map page looks up the address of a moved marker: the configured Nominatim service, or the
// public one when the queries go to a service of the XML protocol, which the page does not speak.
std::string PageGeocoderUrl(const ServiceSettings& settings);

// Asks the configured geocoding service, over one connection, and reads its replies.
class Geocoder {
 public:
  explicit Geocoder(const ServiceSettings& settings)
      : Geocoder(settings, RequestSpacing(settings.geocoder)) {}
  Geocoder(const ServiceSettings& settings, std::chrono::milliseconds spacing);

  // The first result for an address.
  GeocodeReply findPosition(std::u16string_view address);
  // The address at a position given as plain decimal degrees.
  GeocodeReply findAddress(std::u16string_view lat, std::u16string_view lng);
  // What the messages call the service: its host.
  const std::string& host() const { return host_; }

 private:
  // The XML protocol's request with a query, and the key when there is one.
  std::string xmlUrl(const std::string& query) const;
  GeocodeReply ask(const std::string& url, GeocodeReply (*parse)(std::string_view));

  ServiceSettings settings_;
  std::string host_;
  std::string base_;  // scheme and host, without a trailing slash
  std::chrono::milliseconds spacing_;
  std::chrono::steady_clock::time_point lastRequest_{};
  HttpClient http_;
};

}  // namespace qf
