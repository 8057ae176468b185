#include "formats/delimited_text.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/ansi_converter.h"
#include "formats/file_pipeline.h"
#include "formats/format_table.h"
#include "formats/phonebook.h"

namespace qf {

namespace {

// Longer lines are cut before they are split into fields. In comma text a doubled quote counts as
// the one quote it stands for, so that every line the writer makes is read whole.
constexpr std::size_t kMaxLineLength = 578;
// What is kept of a line before it is cut: room for a comma line of doubled quotes only.
constexpr std::size_t kMaxKeptLength = 2 * kMaxLineLength;
// No encoding in use needs more bytes for one UTF-16 unit (UTF-8 needs at most three, also for
// invalid bytes), so converting this many bytes of a line gives all the characters that are kept.
constexpr std::size_t kMaxLineBytes = kMaxKeptLength * 4;

bool IsLineEnd(char16_t c) { return c == u'\r' || c == u'\n'; }

// The lines of a file as UTF-16, each cut to kMaxKeptLength. Only the part of a line that is
// kept is converted, so a huge line costs no memory beyond the file.
class LineSource {
 public:
  LineSource(std::span<const std::uint8_t> bytes, int codePage) : bytes_(bytes), ansi_(codePage) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
      encoding_ = TextEncoding::Unicode;
      start_ = 2;
    } else if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
      encoding_ = TextEncoding::Utf8;
      start_ = 3;
    }
  }

  TextEncoding encoding() const { return encoding_; }

  // Calls onLine for every line, empty ones included; the last needs no line end.
  template <typename OnLine>
  void forEachLine(FileSession& session, OnLine onLine) {
    if (encoding_ == TextEncoding::Unicode) {
      forEachUnicodeLine(session, onLine);
    } else {
      forEachByteLine(session, onLine);
    }
  }

 private:
  template <typename OnLine>
  void forEachUnicodeLine(FileSession& session, OnLine& onLine) {
    // A lone byte at the end is half a character and is dropped.
    const std::size_t end = start_ + (bytes_.size() - start_) / 2 * 2;
    const auto unitAt = [this](std::size_t i) { return static_cast<char16_t>(bytes_[i] | bytes_[i + 1] << 8); };
    std::u16string line;
    std::size_t i = start_;
    while (i < end) {
      line.clear();
      for (; i < end && !IsLineEnd(unitAt(i)); i += 2) {
        if (line.size() < kMaxKeptLength) line += unitAt(i);
      }
      onLine(std::u16string_view(line));
      session.progress(bytes_.size(), i);
      i += 2;  // the line end
    }
  }

  template <typename OnLine>
  void forEachByteLine(FileSession& session, OnLine& onLine) {
    const auto* data = reinterpret_cast<const char*>(bytes_.data());
    std::size_t i = start_;
    while (i < bytes_.size()) {
      const auto lineEnd = std::find_if(bytes_.begin() + static_cast<std::ptrdiff_t>(i), bytes_.end(),
                                        [](std::uint8_t b) { return b == '\r' || b == '\n'; });
      const auto end = static_cast<std::size_t>(lineEnd - bytes_.begin());
      const std::string_view kept(data + i, std::min(end - i, kMaxLineBytes));
      std::u16string line = encoding_ == TextEncoding::Utf8 ? Utf8ToUtf16(kept) : ansi_.toUtf16(kept);
      if (line.size() > kMaxKeptLength) line.resize(kMaxKeptLength);
      onLine(std::u16string_view(line));
      session.progress(bytes_.size(), end);
      i = end + 1;
    }
  }

  std::span<const std::uint8_t> bytes_;
  AnsiConverter ansi_;
  TextEncoding encoding_ = TextEncoding::Ansi;
  std::size_t start_ = 0;
};

// A comma line cut to kMaxLineLength characters, a doubled quote counting as one.
std::u16string_view CutCommaLine(std::u16string_view line) {
  std::size_t end = 0;
  for (std::size_t count = 0; end < line.size() && count < kMaxLineLength; ++count) {
    end += line[end] == u'"' && end + 1 < line.size() && line[end + 1] == u'"' ? 2 : 1;
  }
  return line.substr(0, end);
}

bool IsCommentOrEmpty(std::u16string_view line) {
  const std::size_t first = line.find_first_not_of(u' ');
  return first == std::u16string_view::npos || line[first] == u';';
}

// The comma fields of a line. Quotes come in pairs, each a literal quote; an odd one left over
// toggles quoting. In asc coordinates, colons and apostrophes (and literal quotes) separate the
// degrees, minutes and seconds, so they become blanks for the coordinate parser.
std::vector<std::u16string> SplitCommaLine(std::u16string_view line, bool asc) {
  std::vector<std::u16string> fields(1);
  bool quoted = false;
  std::size_t i = 0;
  while (i < line.size()) {
    const bool coordinate = asc && fields.size() <= 2;
    const char16_t c = line[i];
    if (c == u'"') {
      const std::size_t run = std::min(line.find_first_not_of(u'"', i), line.size()) - i;
      fields.back().append(run / 2, coordinate ? u' ' : u'"');
      if (run % 2 != 0) quoted = !quoted;
      i += run;
      continue;
    }
    if (c == u',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += coordinate && (c == u':' || c == u'\'') ? u' ' : c;
    }
    ++i;
  }
  return fields;
}

void SetAscCoordinate(PoiDocument& document, int row, int column, std::u16string field) {
  CleanText(field);
  if (field.empty()) return;
  char digits[400];  // "%.5f" of the largest double
  const auto result =
      std::to_chars(std::begin(digits), std::end(digits), ParseCoordinateText(field), std::chars_format::fixed, 5);
  SetCoordinateText(document, row, column, std::u16string(digits, result.ptr), false);
}

bool IsTelephoneCharacter(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == u' ' || c == u'#' || c == u'*' || c == u'+' || c == u'-';
}

// Where a telephone number at the end of a memo starts, or npos when the memo does not end in one.
std::size_t TelephoneTail(std::u16string_view field) {
  std::size_t start = std::u16string_view::npos;
  bool group = false;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const char16_t c = field[i];
    if (c == u'+') {
      start = i;
    } else if (c == u'(') {
      start = i;
      group = true;
    } else if (c == u')') {
      if (!group) start = std::u16string_view::npos;
      group = false;
    } else if (IsTelephoneCharacter(c)) {
      if (start == std::u16string_view::npos) start = i;
    } else {
      start = std::u16string_view::npos;
      group = false;
    }
  }
  return start;
}

void ReadCommaLine(FileSession& session, std::u16string_view line, FormatLayout layout) {
  line = CutCommaLine(line);
  if (IsCommentOrEmpty(line)) return;
  std::vector<std::u16string> fields = SplitCommaLine(line, layout == FormatLayout::Asc);
  if (fields.size() < 3) return;
  const int row = session.appendNamed(fields[2]);
  if (row < 0) return;
  PoiDocument& document = session.document;
  for (const int column : {kLng, kLat}) {
    std::u16string& field = fields[static_cast<std::size_t>(column - kLng)];
    if (layout == FormatLayout::Asc) {
      SetAscCoordinate(document, row, column, std::move(field));
    } else {
      SetCoordinateText(document, row, column, field, false);
    }
  }
  if (fields.size() < 4) return;
  std::u16string_view memo = fields[3];
  std::u16string_view telephone;
  if (fields.size() >= 5) {
    telephone = fields[4];
  } else if (const std::size_t tail = TelephoneTail(memo); tail != std::u16string_view::npos) {
    telephone = memo.substr(tail);
    memo = memo.substr(0, tail);
  }
  SetTelephone(document, row, telephone);
  session.setMemo(row, memo);
}

void ReadTabLine(FileSession& session, std::u16string_view line) {
  line = line.substr(0, kMaxLineLength);
  if (IsCommentOrEmpty(line)) return;
  std::u16string_view fields[5];
  std::size_t count = 0;
  for (std::size_t start = 0; count < std::size(fields);) {
    const std::size_t tab = std::min(line.find(u'\t', start), line.size());
    fields[count++] = line.substr(start, tab - start);
    if (tab == line.size()) break;
    start = tab + 1;
  }
  std::u16string name(fields[0]);
  const int row = session.appendNamed(name);
  if (row < 0) return;
  PoiDocument& document = session.document;
  if (!fields[1].empty()) SetCoordinateText(document, row, kLng, fields[1], false);
  if (!fields[2].empty()) SetCoordinateText(document, row, kLat, fields[2], false);
  if (!fields[3].empty()) SetTelephone(document, row, fields[3]);
  if (!fields[4].empty()) session.setMemo(row, fields[4]);
}

// Encodes whole lines in the encoding of the session's format and writes them.
class LineWriter {
 public:
  LineWriter(FileSession& session, ByteSink& out)
      : out_(out), encoding_(FormatRowOf(session.format).encoding.value()), ansi_(session.settings.codePage) {}

  bool writeMark() {
    switch (encoding_) {
      case TextEncoding::Unicode:
        return out_.write("\xFF\xFE", 2);
      case TextEncoding::Utf8:
        return out_.write("\xEF\xBB\xBF", 3);
      case TextEncoding::Ansi:
        return true;
    }
    return true;
  }

  bool writeLine(std::u16string_view line) {
    switch (encoding_) {
      case TextEncoding::Unicode:
        bytes_.clear();
        for (const char16_t c : line) {
          bytes_ += static_cast<char>(c & 0xFF);
          bytes_ += static_cast<char>(c >> 8);
        }
        break;
      case TextEncoding::Utf8:
        bytes_ = Utf16ToUtf8(line);
        break;
      case TextEncoding::Ansi:
        bytes_ = ansi_.fromUtf16(line);
        break;
    }
    return out_.write(bytes_.data(), bytes_.size());
  }

 private:
  ByteSink& out_;
  TextEncoding encoding_;
  AnsiConverter ansi_;
  std::string bytes_;
};

std::u16string PlainCoordinate(const PoiDocument& document, int row, int column) {
  std::u16string text(document.text(row, column));
  ToPlainDecimal(text, document.display);
  return text;
}

// Quotes are always doubled, so that a reader sees them as literal quotes. A text of quotes alone
// is not put in quotes: they would join its run of doubled quotes and read as one quote more.
void AppendCommaField(std::u16string& line, std::u16string_view text, bool quote) {
  quote = quote && text.find_first_not_of(u'"') != std::u16string_view::npos;
  if (quote) line += u'"';
  for (const char16_t c : text) {
    line += c;
    if (c == u'"') line += u'"';
  }
  if (quote) line += u'"';
  line += u',';
}

bool NeedsCsvQuotes(std::u16string_view text) { return text.find_first_of(u",\"") != std::u16string_view::npos; }

void MakeCommaLine(const PoiDocument& document, int row, FormatLayout layout, std::u16string& line) {
  const std::u16string_view name = document.text(row, kName);
  const std::u16string_view memo = document.text(row, kMemo);
  line = PlainCoordinate(document, row, kLng);
  line += u',';
  line += PlainCoordinate(document, row, kLat);
  line += u',';
  AppendCommaField(line, name, layout != FormatLayout::Csv || NeedsCsvQuotes(name));
  AppendCommaField(line, memo, layout != FormatLayout::Csv || NeedsCsvQuotes(memo));
  AppendCommaField(line, document.text(row, kTel), layout == FormatLayout::Poi);
  // One empty field is kept after a memo, so that a reader takes no telephone from its tail.
  const std::size_t run = line.size() - (line.find_last_not_of(u',') + 1);
  line.resize(line.size() - (run == 2 ? 1 : run));
  line += u"\r\n";
}

void MakeTabLine(const PoiDocument& document, int row, std::u16string& line) {
  line = document.text(row, kName);
  line += u'\t';
  line += PlainCoordinate(document, row, kLng);
  line += u'\t';
  line += PlainCoordinate(document, row, kLat);
  line += u'\t';
  line += document.text(row, kTel);
  line += u'\t';
  line += document.text(row, kMemo);
  line.resize(line.find_last_not_of(u'\t') + 1);
  line += u"\r\n";
}

template <typename MakeLine>
int WriteLines(FileSession& session, ByteSink& out, MakeLine makeLine) {
  LineWriter writer(session, out);
  if (!writer.writeMark()) return kCannotWrite;
  const std::vector<int> rows = session.rowsToWrite();
  std::u16string line;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    makeLine(rows[i], line);
    if (!writer.writeLine(line)) return kCannotWrite;
    session.progress(rows.size(), i + 1);
  }
  session.counts = {.written = static_cast<int>(rows.size())};
  return 0;
}

}  // namespace

int ReadCommaText(FileSession& session, std::span<std::uint8_t> bytes) {
  const FormatLayout layout = FormatRowOf(session.format).layout;
  LineSource source(bytes, session.settings.codePage);
  session.format = TextFormat(layout, source.encoding());
  source.forEachLine(session, [&](std::u16string_view line) { ReadCommaLine(session, line, layout); });
  return 0;
}

int ReadTabText(FileSession& session, std::span<std::uint8_t> bytes) {
  if (!bytes.empty() && bytes[0] == '"') {
    session.format = FileFormat::Phonebook;
    return ReadPhonebook(session, bytes);
  }
  LineSource source(bytes, session.settings.codePage);
  session.format = TextFormat(FormatLayout::Txt, source.encoding());
  source.forEachLine(session, [&](std::u16string_view line) { ReadTabLine(session, line); });
  return 0;
}

int WriteCommaText(FileSession& session, ByteSink& out) {
  const FormatLayout layout = FormatRowOf(session.format).layout;
  return WriteLines(session, out,
                    [&](int row, std::u16string& line) { MakeCommaLine(session.document, row, layout, line); });
}

int WriteTabText(FileSession& session, ByteSink& out) {
  return WriteLines(session, out, [&](int row, std::u16string& line) { MakeTabLine(session.document, row, line); });
}

}  // namespace qf
