#include "formats/phonebook.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "core/field_rules.h"
#include "formats/charcode.h"
#include "formats/file_pipeline.h"

namespace qf {

namespace {

// A longer line is no contact. Two-byte characters count once, so every line the writer
// makes fits.
constexpr std::size_t kMaxLineUnits = 530;
constexpr std::size_t kFieldCount = 3;
// The file's words for the phone types, in the order of kPhoneTypes.
constexpr std::string_view kTypeWords[4] = {"DEFAULT", "CELL", "WORK", "HOME"};

bool IsBlankOrControl(char16_t c) { return c <= 0x20 || (c >= 0x7F && c <= 0x9F); }

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string_view MemoForType(std::u16string_view field) {
  const std::u16string_view word = Trimmed(field);
  for (std::size_t i = 0; i < std::size(kTypeWords); ++i) {
    if (std::equal(word.begin(), word.end(), kTypeWords[i].begin(), kTypeWords[i].end())) return kPhoneTypes[i];
  }
  return kPhoneTypes[0];
}

std::string_view TypeForMemo(std::u16string_view memo) {
  const auto* type = std::find(std::begin(kPhoneTypes), std::end(kPhoneTypes), memo);
  return type == std::end(kPhoneTypes) ? kTypeWords[0] : kTypeWords[type - std::begin(kPhoneTypes)];
}

// One line being assembled. Its units are bytes, or 16-bit codes in a two-byte name.
class Line {
 public:
  bool empty() const { return units_ == 0 && field_ == 0; }
  bool tooLong() const { return units_ > kMaxLineUnits; }
  bool twoByteName() const { return twoByteName_; }
  const std::u16string& field(std::size_t i) const { return fields_[i]; }

  void add(char16_t unit) {
    if (++units_ <= kMaxLineUnits && field_ < kFieldCount) fields_[field_] += unit;
  }
  void endField() {
    ++units_;
    ++field_;
  }
  void startTwoByteName() { twoByteName_ = true; }
  void clear() { *this = Line(); }

 private:
  std::array<std::u16string, kFieldCount> fields_;
  std::size_t field_ = 0;
  std::size_t units_ = 0;
  bool twoByteName_ = false;
};

class PhonebookReader {
 public:
  explicit PhonebookReader(FileSession& session)
      : session_(session), document_(session.document) {}

  void read(std::span<const std::uint8_t> bytes) {
    if (session_.operation == FileOperation::Open) document_.kind = DocumentKind::Phonebook;
    std::size_t i = 0;
    while (i < bytes.size()) {
      const std::uint8_t byte = bytes[i];
      const bool pairFollows = i + 1 < bytes.size();
      if (twoByte_) {
        if (!pairFollows) break;  // half a code at the end of the file
        if (byte == '"' && bytes[i + 1] == ',') {
          // The name's closing quote; the comma then ends the field as usual.
          twoByte_ = false;
          inside_ = false;
          ++i;
        } else {
          line_.add(static_cast<char16_t>(byte | bytes[i + 1] << 8));
          i += 2;
        }
        continue;
      }
      if (byte == '>' && line_.empty() && pairFollows && bytes[i + 1] == '>') {
        twoByte_ = true;
        line_.startTwoByteName();
        i += 2;
        continue;
      }
      if (byte == '\r' || byte == '\n') {
        finishLine();
        session_.progress(bytes.size(), i);
      } else if (byte == '"') {
        inside_ = !inside_;
      } else if (byte == ',' && !inside_) {
        line_.endField();
      } else {
        line_.add(byte);
      }
      ++i;
    }
    finishLine();  // the last line needs no line end
  }

 private:
  void finishLine() {
    if (!line_.empty() && !line_.tooLong()) appendContact();
    line_.clear();
    inside_ = false;
    twoByte_ = false;
  }

  void appendContact() {
    name_ = line_.field(0);
    if (line_.twoByteName()) {
      for (char16_t& c : name_) c = DecodeCharCode(c);
    }
    const int row = session_.appendNamed(name_);
    if (row < 0) return;
    SetTelephone(document_, row, line_.field(1));
    session_.setMemo(row, MemoForType(line_.field(2)));
  }

  FileSession& session_;
  PoiDocument& document_;
  Line line_;
  bool inside_ = false;
  bool twoByte_ = false;
  std::u16string name_;
};

// `"name","number","TYPE"` and CR LF.
void MakeLine(const PoiRecord& row, std::string& line) {
  const std::u16string_view name = row.text(kName).substr(0, kMaxNameLength);
  const auto withoutQuote = [](char16_t c) { return c == u'"' ? u'\'' : c; };
  line = "\"";
  if (std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x100; })) {
    for (char16_t c : name) line += static_cast<char>(withoutQuote(c));
  } else {
    line += ">>";
    for (char16_t c : name) {
      const std::uint16_t code = EncodeCharCode(withoutQuote(c));
      line += static_cast<char>(code & 0xFF);
      line += static_cast<char>(code >> 8);
    }
  }
  line += "\",\"";
  for (char16_t c : row.text(kTel).substr(0, kMaxTelephoneLength)) line += static_cast<char>(c);
  line += "\",\"";
  line += TypeForMemo(row.text(kMemo));
  line += "\"\r\n";
}

}  // namespace

int ReadPhonebook(FileSession& session, std::span<std::uint8_t> bytes) {
  PhonebookReader(session).read(bytes);
  return 0;
}

int WritePhonebook(FileSession& session, ByteSink& out) {
  const PoiDocument& document = session.document;
  const bool exporting = session.operation == FileOperation::Export;
  std::string line;
  session.counts = {};
  for (int row = 0; row < document.rowCount(); ++row) {
    const PoiRecord& record = document.rows[static_cast<std::size_t>(row)];
    if (exporting && !record.selected) continue;
    if (record.text(kTel).empty()) {
      ++session.counts.leftOut;  // a contact without a number has no line
      continue;
    }
    MakeLine(record, line);
    if (!out.write(line.data(), line.size())) return kCannotWrite;
    ++session.counts.written;
    session.progress(static_cast<std::uint64_t>(document.rowCount()), static_cast<std::uint64_t>(row) + 1);
  }
  return 0;
}

}  // namespace qf
