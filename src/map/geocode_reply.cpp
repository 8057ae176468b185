#include "map/geocode_reply.h"

#include <charconv>
#include <cstdint>

#include "core/field_rules.h"
#include "core/unicode.h"

namespace qf {

namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::size_t kMaxAddressLength = 255;

// The reply's bytes with ASCII letters in lower case, byte for byte, so that a marker found in it
// lies at the same place in the reply.
std::string Lowered(std::string_view body) {
  std::string lower(body);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

void AppendCodePoint(std::u16string& out, std::uint32_t c) {
  if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    out += u'\uFFFD';
  } else if (c >= 0x10000) {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

// The character a reference such as "&amp;" or "&#233;" stands for, appended; false when the text
// at `at` is no reference we know.
bool AppendReference(std::u16string_view text, std::size_t& at, std::u16string& out) {
  const std::size_t end = text.find(u';', at);
  if (end == kNone || end - at > 10) return false;
  const std::u16string_view name = text.substr(at + 1, end - at - 1);
  static constexpr std::pair<std::u16string_view, char16_t> kNamed[] = {
      {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}};
  for (const auto& [entity, c] : kNamed) {
    if (name == entity) {
      out += c;
      at = end + 1;
      return true;
    }
  }
  if (name.size() < 2 || name[0] != u'#') return false;
  const bool hex = name[1] == u'x' || name[1] == u'X';
  const std::u16string_view digits = name.substr(hex ? 2 : 1);
  const std::string ascii(digits.begin(), digits.end());
  std::uint32_t value = 0;
  const auto [stop, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, hex ? 16 : 10);
  if (ascii.empty() || error != std::errc() || stop != ascii.data() + ascii.size()) return false;
  AppendCodePoint(out, value);
  at = end + 1;
  return true;
}

bool IsTrailingBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u3000'; }

// Reply text as the rows take it: UTF-8 decoded, references replaced, cut to the longest address,
// trailing blanks removed.
std::u16string ReplyText(std::string_view bytes) {
  const std::u16string raw = Utf8ToUtf16(bytes);
  std::u16string text;
  for (std::size_t i = 0; i < raw.size();) {
    if (raw[i] != u'&' || !AppendReference(raw, i, text)) text += raw[i++];
  }
  CutText(text, kMaxAddressLength);
  while (!text.empty() && IsTrailingBlank(text.back())) text.pop_back();
  return text;
}

// The text between a start and an end marker, the start lying in [from, limit).
std::optional<std::u16string> Between(std::string_view body, const std::string& lower, std::string_view start,
                                      std::string_view end, std::size_t from, std::size_t limit) {
  const std::size_t open = lower.find(start, from);
  if (open == kNone || open >= limit) return std::nullopt;
  const std::size_t first = open + start.size();
  const std::size_t close = lower.find(end, first);
  if (close == kNone) return std::nullopt;
  return ReplyText(body.substr(first, close - first));
}

ReplyStatus StatusOf(std::string_view body, const std::string& lower) {
  const std::optional<std::u16string> value = Between(body, lower, "<status>", "</status>", 0, kNone);
  if (!value) return ReplyStatus::Unexpected;
  std::u16string status = *value;
  status.erase(0, status.find_first_not_of(u" \t\r\n"));
  for (char16_t& c : status) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  if (status == u"ZERO_RESULTS") return ReplyStatus::ZeroResults;
  if (status == u"OVER_QUERY_LIMIT") return ReplyStatus::OverQueryLimit;
  if (status == u"REQUEST_DENIED") return ReplyStatus::RequestDenied;
  return ReplyStatus::Unexpected;
}

// The start of an element's start tag, such as "<place", but not of a longer name ("<places").
std::size_t FindStartTag(const std::string& lower, std::string_view name, std::size_t from = 0) {
  for (std::size_t at = lower.find(name, from); at != kNone; at = lower.find(name, at + 1)) {
    const char next = at + name.size() < lower.size() ? lower[at + name.size()] : '\0';
    if (next == ' ' || next == '\t' || next == '\r' || next == '\n' || next == '>' || next == '/') return at;
  }
  return kNone;
}

// An attribute's value inside the start tag [tag, tagEnd).
std::optional<std::u16string> Attribute(std::string_view body, const std::string& lower, std::size_t tag,
                                        std::size_t tagEnd, std::string_view name) {
  for (std::size_t at = lower.find(name, tag); at != kNone && at < tagEnd; at = lower.find(name, at + 1)) {
    const char before = lower[at - 1];
    const std::size_t equals = at + name.size();
    if ((before != ' ' && before != '\t' && before != '\r' && before != '\n') || equals + 1 >= tagEnd ||
        lower[equals] != '=' || (lower[equals + 1] != '"' && lower[equals + 1] != '\'')) {
      continue;
    }
    const std::size_t first = equals + 2;
    const std::size_t close = lower.find(lower[equals + 1], first);
    if (close == kNone || close > tagEnd) return std::nullopt;
    return ReplyText(body.substr(first, close - first));
  }
  return std::nullopt;
}

// A place or result element's position, and where its start tag ends (after its '>').
struct Element {
  std::size_t end = kNone;
  std::optional<std::u16string> lng;
  std::optional<std::u16string> lat;
};

Element ReadElement(std::string_view body, const std::string& lower, std::size_t tag) {
  Element element;
  const std::size_t close = lower.find('>', tag);
  if (close == kNone) return element;
  element.end = close + 1;
  element.lng = Attribute(body, lower, tag, close, "lon");
  element.lat = Attribute(body, lower, tag, close, "lat");
  return element;
}

}  // namespace

GeocodeReply ParseXmlReply(std::string_view body) {
  const std::string lower = Lowered(body);
  constexpr std::string_view kOpen = "<formatted_address>";
  constexpr std::string_view kClose = "</formatted_address>";
  const std::size_t open = lower.find(kOpen);
  if (open == kNone) return ReplyWith(StatusOf(body, lower));
  GeocodeReply reply = ReplyWith(ReplyStatus::Found);
  const std::size_t first = open + kOpen.size();
  const std::size_t close = lower.find(kClose, first);
  if (close == kNone) return reply;
  reply.address = ReplyText(body.substr(first, close - first));
  const std::size_t location = lower.find("<location>", close);
  const std::size_t locationEnd = location == kNone ? kNone : lower.find("</location>", location);
  if (locationEnd == kNone) return reply;
  reply.lng = Between(body, lower, "<lng>", "</lng>", location, locationEnd);
  reply.lat = Between(body, lower, "<lat>", "</lat>", location, locationEnd);
  return reply;
}

GeocodeReply ParseNominatimSearch(std::string_view body) {
  const std::string lower = Lowered(body);
  const std::size_t place = FindStartTag(lower, "<place");
  if (place == kNone) {
    const bool answered = FindStartTag(lower, "<searchresults") != kNone;
    return ReplyWith(answered ? ReplyStatus::ZeroResults : ReplyStatus::Unexpected);
  }
  const Element element = ReadElement(body, lower, place);
  if (element.end == kNone) return {};
  return {.status = ReplyStatus::Found,
          .address = Attribute(body, lower, place, element.end - 1, "display_name").value_or(u""),
          .lng = element.lng,
          .lat = element.lat};
}

GeocodeReply ParseNominatimReverse(std::string_view body) {
  const std::string lower = Lowered(body);
  const std::size_t result = FindStartTag(lower, "<result");
  if (result == kNone) {
    const bool answered = FindStartTag(lower, "<error") != kNone && FindStartTag(lower, "<reversegeocode") != kNone;
    return ReplyWith(answered ? ReplyStatus::ZeroResults : ReplyStatus::Unexpected);
  }
  const Element element = ReadElement(body, lower, result);
  if (element.end == kNone) return {};
  GeocodeReply reply{.status = ReplyStatus::Found, .address = {}, .lng = element.lng, .lat = element.lat};
  const std::size_t close = lower.find("</result>", element.end);
  if (close != kNone) reply.address = ReplyText(body.substr(element.end, close - element.end));
  return reply;
}

}  // namespace qf
