#include "map/geocoder.h"

#include <thread>

#include "core/unicode.h"

namespace qf {

namespace {

constexpr std::string_view kXmlPath = "/maps/api/geocode/xml";

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::string UserAgent() {
  // Nominatim's usage policy asks every application to name itself.
  return std::string("Quillfern/") + QUILLFERN_VERSION + " (point-of-interest editor)";
}

std::string BaseUrl(const std::string& host) {
  std::string base = host.find("://") == std::string::npos ? "https://" + host : host;
  while (base.ends_with('/')) base.pop_back();
  return base;
}

}  // namespace

std::string PercentEncode(std::u16string_view text, UrlEscaping escaping) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : Utf16ToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    const bool escaped = escaping == UrlEscaping::Address ? byte >= 0x80 || byte == ' ' : !IsUnreserved(byte);
    if (escaped) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

std::chrono::milliseconds RequestSpacing(GeocoderProvider provider) {
  return provider == GeocoderProvider::Nominatim ? std::chrono::milliseconds(1000) : std::chrono::milliseconds(0);
}

std::string GeocoderHost(const ServiceSettings& settings) {
  if (!settings.geocoderHost.empty()) return settings.geocoderHost;
  return settings.geocoder == GeocoderProvider::Nominatim ? "nominatim.openstreetmap.org" : "maps.googleapis.com";
}

std::string PageGeocoderUrl(const ServiceSettings& settings) {
  return BaseUrl(settings.geocoder == GeocoderProvider::Nominatim ? GeocoderHost(settings) : "nominatim.openstreetmap.org");
}

Geocoder::Geocoder(const ServiceSettings& settings, std::chrono::milliseconds spacing)
    : settings_(settings),
      host_(GeocoderHost(settings)),
      base_(BaseUrl(host_)),
      spacing_(spacing),
      http_(HttpClient::Options{.userAgent = UserAgent()}) {}

GeocodeReply Geocoder::findPosition(std::u16string_view address) {
  if (settings_.geocoder == GeocoderProvider::Nominatim) {
    return ask(base_ + "/search?format=xml&limit=1&q=" + PercentEncode(address, UrlEscaping::Strict),
               ParseNominatimSearch);
  }
  return ask(xmlUrl("address=" + PercentEncode(address, UrlEscaping::Address)), ParseXmlReply);
}

GeocodeReply Geocoder::findAddress(std::u16string_view lat, std::u16string_view lng) {
  const std::string latText = PercentEncode(lat, UrlEscaping::Strict);
  const std::string lngText = PercentEncode(lng, UrlEscaping::Strict);
  if (settings_.geocoder == GeocoderProvider::Nominatim) {
    return ask(base_ + "/reverse?format=xml&lat=" + latText + "&lon=" + lngText, ParseNominatimReverse);
  }
  return ask(xmlUrl("latlng=" + latText + "," + lngText), ParseXmlReply);
}

std::string Geocoder::xmlUrl(const std::string& query) const {
  std::string url = base_ + std::string(kXmlPath) + "?" + query + "&sensor=false";
  if (!settings_.geocoderKey.empty()) {
    url += "&key=" + PercentEncode(Utf8ToUtf16(settings_.geocoderKey), UrlEscaping::Strict);
  }
  return url;
}

GeocodeReply Geocoder::ask(const std::string& url, GeocodeReply (*parse)(std::string_view)) {
  std::this_thread::sleep_until(lastRequest_ + spacing_);
  lastRequest_ = std::chrono::steady_clock::now();
  const HttpReply reply = http_.get(url);
  if (!reply.delivered) return ReplyWith(ReplyStatus::NoConnection);
  if (reply.status == 429) return ReplyWith(ReplyStatus::OverQueryLimit);
  if (settings_.geocoder == GeocoderProvider::Nominatim && reply.status != 200) {
    // Nominatim blocks a client that breaks its usage policy with 403.
    return ReplyWith(reply.status == 403 ? ReplyStatus::RequestDenied : ReplyStatus::Unexpected);
  }
  return parse(reply.body);
}

}  // namespace qf
