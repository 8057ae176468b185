#include "map/map_page.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <system_error>

#include "core/coordinates.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "map/script_literal.h"

namespace qf {

// The page's fixed parts, compiled in from resources/map by the build.
extern const std::string_view kMapPageHead;
extern const std::string_view kMapPageStyle;
extern const std::string_view kMapPageScript;
extern const std::string_view kMapPageClosing;

namespace {

// A marker's name and memo: this much of the table text is taken, and this much written escaped.
constexpr std::size_t kTakenText = 511;
constexpr std::size_t kWrittenText = 510;
constexpr std::size_t kTakenTelephone = 18;
constexpr std::size_t kBytesPerMarkerGuess = 96;
// The script engine compiles a function whole: a million marker lines in one function would cost it
// gigabytes and most of a minute, so every so many lines the rest goes on in a function of its own,
// which the one before calls last.
constexpr int kMarkersPerFunction = 10000;

std::string Utf8String(MessageId id) { return Utf16ToUtf8(LoadString(id)); }

// The format split at its conversions ("%s", "%d", "%.2x" ...): the pieces between them.
std::vector<std::string> SplitAtConversions(std::string_view format) {
  std::vector<std::string> pieces(1);
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      pieces.back() += format[i];
      continue;
    }
    const std::size_t end = format.find_first_of("sdx%", i + 1);
    if (end == std::string_view::npos) break;
    if (format[end] == '%') {
      pieces.back() += '%';
    } else {
      pieces.emplace_back();
    }
    i = end;
  }
  return pieces;
}

// The format with its conversions replaced by the arguments, in order.
std::string Filled(MessageId id, std::initializer_list<std::string_view> arguments) {
  const std::vector<std::string> pieces = SplitAtConversions(Utf8String(id));
  std::string out = pieces.front();
  auto argument = arguments.begin();
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    if (argument != arguments.end()) out += *argument++;
    out += pieces[i];
  }
  return out;
}

std::string_view TrueFalse(bool value) { return value ? "true" : "false"; }

// A path as the part of a file URL after "file:///": every byte but unreserved ones and the
// slash percent-encoded, so that it is safe in an attribute and in a script string alike.
std::string FileUrlPath(const std::filesystem::path& path) {
  std::string text = path.generic_string();
  const std::size_t start = text.find_first_not_of('/');
  std::string out;
  for (std::size_t i = start == std::string::npos ? text.size() : start; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                       byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      out += static_cast<char>(byte);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      out += escaped;
    }
  }
  return out;
}

// A text inside a double-quoted HTML attribute.
std::string AttributeText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

// A CSS string of the font face: nothing in it can end the rule or the style element.
std::string CssString(std::u16string_view face) {
  std::string out(1, '"');
  for (const char16_t c : face) {
    if (c < 0x20 || c == u'"' || c == u'\\' || c == u'<' || c == u'>' || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\%X ", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += Utf16ToUtf8(std::u16string_view(&c, 1));
    }
  }
  out += '"';
  return out;
}

std::string ScriptElement(std::string_view source) {
  return "<script type=\"text/javascript\" src=\"" + AttributeText(source) + "\"></script>\r\n";
}

std::string StylesheetLink(std::string_view href) {
  return "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + AttributeText(href) + "\">\r\n";
}

std::string LibraryElements(const MapPageOptions& options) {
  std::string folder = options.leafletUrl;
  while (folder.ends_with('/')) folder.pop_back();
  std::string out = StylesheetLink(folder + "/leaflet.css") + ScriptElement(folder + "/leaflet.js");
  if (!options.bridgeScriptUrl.empty()) out += ScriptElement(options.bridgeScriptUrl);
  if (!options.extraScript.empty()) out += Filled(kMapScriptElement, {FileUrlPath(options.extraScript)});
  return out;
}

std::string ServiceLines(const MapPageOptions& options) {
  return "var e_szTileUrl = " + ScriptString(options.tileUrl) + ";\r\nvar e_szTileAttribution = " +
         ScriptString(options.tileAttribution) + ";\r\nvar e_szGeocoderUrl = " + ScriptString(options.geocoderUrl) +
         ";\r\nvar e_szMapLang = " + ScriptString(MapLanguageCode(options.language)) + ";\r\n";
}

std::string ClosingPart(const MapPageOptions& options) {
  constexpr std::string_view kLanguageMark = "{{LANG}}";
  const std::string code = MapLanguageCode(options.language);
  std::string out(kMapPageClosing);
  for (std::size_t at = out.find(kLanguageMark); at != std::string::npos; at = out.find(kLanguageMark, at + code.size())) {
    out.replace(at, kLanguageMark.size(), code);
  }
  return out;
}

// Plain decimal coordinates hold only these; anything else never reaches the script as a number.
bool IsPlainNumber(std::u16string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char16_t c) {
    return (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
  });
}

// Writes AddMarker lines, reusing its buffers from row to row.
class MarkerWriter {
 public:
  explicit MarkerWriter(const PoiDocument& document)
      : document_(document), pieces_(SplitAtConversions(Utf8String(kAddMarkerLine))) {
    pieces_.resize(6);
  }

  bool append(std::string& out, int row) {
    if (!plainCoordinate(row, kLat, lat_) || !plainCoordinate(row, kLng, lng_)) return false;
    const std::u16string_view name = document_.text(row, kName);
    const std::u16string_view tel = document_.text(row, kTel);
    const std::u16string_view memo = document_.text(row, kMemo);
    out += pieces_[0];
    AppendScriptText(out, name.substr(0, kTakenText), u'\'', kWrittenText);
    out += pieces_[1];
    AppendAscii(out, lat_);
    out += pieces_[2];
    AppendAscii(out, lng_);
    out += pieces_[3];
    AppendScriptText(out, tel.substr(0, kTakenTelephone), u'\'');
    out += pieces_[4];
    AppendScriptText(out, memo.substr(0, kTakenText), u'\'', kWrittenText);
    out += pieces_[5];
    return true;
  }

 private:
  static void AppendAscii(std::string& out, std::u16string_view text) {
    for (const char16_t c : text) out += static_cast<char>(c);
  }

  bool plainCoordinate(int row, int column, std::u16string& text) {
    text.assign(document_.text(row, column));
    if (text.empty()) return false;
    ToPlainDecimal(text, document_.display);
    return IsPlainNumber(text);
  }

  const PoiDocument& document_;
  std::vector<std::string> pieces_;
  std::u16string lng_;
  std::u16string lat_;
};

}  // namespace

std::string MapLanguageCode(int language) {
  const int index = language >= 0 && language < kMapLanguageCount ? language : 0;
  return Utf16ToUtf8(LoadString(static_cast<int>(kMapLanguageCodeUsa) + index));
}

std::filesystem::path ExtraMapScript(const std::filesystem::path& programFolder) {
  std::filesystem::path script = programFolder / "MapTypeId4.js";
  std::error_code error;
  return std::filesystem::is_regular_file(script, error) ? script : std::filesystem::path();
}

std::vector<int> ChosenRows(const PoiDocument& document) {
  std::vector<int> selected;
  for (int row = 0; row < document.rowCount(); ++row) {
    if (document.rows[static_cast<std::size_t>(row)].selected) selected.push_back(row);
  }
  if (!selected.empty() && static_cast<int>(selected.size()) < document.rowCount()) return selected;
  std::vector<int> all(static_cast<std::size_t>(document.rowCount()));
  for (int row = 0; row < document.rowCount(); ++row) all[static_cast<std::size_t>(row)] = row;
  return all;
}

int FontPixels(int height) {
  if (height > 0) return height * 96 / 72;
  if (height < 0) return -height;
  return 13;
}

std::string FontRule(const PageFont& font) {
  char colour[3][3];
  for (int i = 0; i < 3; ++i) std::snprintf(colour[i], sizeof colour[i], "%02x", font.colour >> (8 * i) & 0xFF);
  return Filled(kInfoWindowFontRule, {font.italic ? "italic" : "normal", std::to_string(font.weight),
                                      std::to_string(FontPixels(font.height)), CssString(font.face), colour[0],
                                      colour[1], colour[2]});
}

std::string OptionLines(const PoiDocument& document, const MapPageOptions& options) {
  const std::array<std::pair<MessageId, bool>, 9> lines = {{
      {kOptionLngFirstLine, options.lngFirst},
      {kOptionDmsFormatLine, document.display.dms},
      {kOptionCompassDirLine, document.display.compass},
      {kOptionMetricUnitLine, document.display.metric},
      {kOptionSafetyCameraLine, document.kind == DocumentKind::SafetyCamera},
      {kOptionRichPoiFileLine, document.richPoiFile},
      {kOptionUseCookieLine, options.useCookie},
      {kOptionUpdateMemoLine, options.updateMemo},
      {kOptionFlashRouteLine, options.flashRoute},
  }};
  std::string out;
  for (const auto& [id, on] : lines) out += Filled(id, {TrueFalse(on)});
  return out;
}

std::string MarkerLine(const PoiDocument& document, int row) {
  std::string line;
  MarkerWriter(document).append(line, row);
  return line;
}

MapPage BuildMapPage(const PoiDocument& document, const MapPageOptions& options) {
  const std::vector<int> rows = ChosenRows(document);
  MapPage page;
  std::string& text = page.text;
  text.reserve(kMapPageHead.size() + kMapPageStyle.size() + kMapPageScript.size() + kMapPageClosing.size() +
               rows.size() * kBytesPerMarkerGuess + 4096);
  text += kMapPageHead;
  text += LibraryElements(options);
  text += Utf8String(kMapPageStyleStart);
  text += FontRule(options.font);
  text += kMapPageStyle;
  text += "</style>\r\n<script type=\"text/javascript\">\r\n";
  text += kMapPageScript;
  text += Filled(kMarkerImageFolderLine, {FileUrlPath(options.programFolder)});
  text += OptionLines(document, options);
  text += ServiceLines(options);
  text += Utf8String(kLoadMarkerStart);
  MarkerWriter writer(document);
  int written = 0;
  for (const int row : rows) {
    if (!writer.append(text, row)) continue;
    if (page.firstMarkedRow < 0) page.firstMarkedRow = row;
    if (++written % kMarkersPerFunction == 0) {
      const std::string next = "LoadMarkers" + std::to_string(written / kMarkersPerFunction);
      text += "\t" + next + "();\r\n}\r\nfunction " + next + "()\r\n{\r\n";
    }
  }
  text += ClosingPart(options);
  return page;
}

}  // namespace qf
