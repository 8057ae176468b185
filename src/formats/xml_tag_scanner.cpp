#include "formats/xml_tag_scanner.h"

#include "core/unicode.h"
#include "formats/file_buffer.h"
#include "formats/passed_bytes.h"

namespace qf {

namespace {

constexpr std::pair<std::u16string_view, char16_t> kReferences[] = {
    {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&nbsp;", u' '}};

// The length of the reference a text starts with and the character it stands for; length 0 for none.
std::pair<std::size_t, char16_t> ReferenceAt(std::u16string_view text) {
  if (text.starts_with(u'&')) {
    for (const auto& [reference, character] : kReferences) {
      if (text.starts_with(reference)) return {reference.size(), character};
    }
  }
  return {0, u'\0'};
}

}  // namespace

void TagScanner::release(std::size_t from, std::size_t to) const {
  ReleasePassedBytes({reinterpret_cast<const std::uint8_t*>(text_.data()) + from, to - from});
}

void TagScanner::releaseIfMapped(std::size_t from, std::size_t to) const {
  ReleaseIfMapped({reinterpret_cast<const std::uint8_t*>(text_.data()) + from, to - from});
}

bool HasElement(const TagScanner& scan, std::string_view start) {
  for (std::size_t pos = scan.find(start, 0, scan.size()); pos != kNotFound;
       pos = scan.find(start, pos + 1, scan.size())) {
    switch (scan.at(pos + start.size())) {
      case ' ':
      case '\t':
      case '\r':
      case '\n':
      case '/':
      case '>':
      case ':':  // a namespace prefix
        return true;
      default:
        break;
    }
  }
  return false;
}

std::string_view WithoutCdata(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || !text.substr(first).starts_with("<![CDATA[")) return text;
  const std::size_t end = text.rfind("]]>");
  return end < first + 9 ? text : text.substr(first + 9, end - first - 9);
}

void DecodeReferences(std::u16string& text) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < text.size();) {
    const auto [length, character] = ReferenceAt(std::u16string_view(text).substr(in));
    text[out++] = length == 0 ? text[in] : character;
    in += std::max<std::size_t>(length, 1);
  }
  text.resize(out);
}

void CutCountingReferences(std::u16string& text, std::size_t limit) {
  std::size_t end = 0;
  for (std::size_t count = 0; end < text.size() && count < limit; ++count) {
    end += std::max<std::size_t>(ReferenceAt(std::u16string_view(text).substr(end)).first, 1);
  }
  if (end < text.size() && end > 0 && (text[end - 1] & 0xFC00) == 0xD800) --end;
  text.resize(end);
}

void AppendEncoded(std::string& out, std::u16string_view text) {
  for (const char c : Utf16ToUtf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

}  // namespace qf
