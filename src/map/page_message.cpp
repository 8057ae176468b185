#include "map/page_message.h"

#include <vector>

#include "core/string_table.h"

namespace qf {

namespace {

constexpr std::u16string_view kTerminate = u"Terminate Google Maps";
constexpr std::u16string_view kMessageStart = u"<\t";
constexpr std::size_t kIdentifyingFields = 5;
constexpr std::u16string_view kNegativeZero = u"-0.00000";

// The help texts of the link handlers, in the order of their names (strings from kFirstLinkHandler
// on): the first ones have a help text of their own, the others borrow one; "void" shows nothing.
constexpr int kOwnHelpCount = 27;
constexpr int kBorrowedHelp[] = {kMarkerAddHelp, kMarkerInsertHelp, kMarkerImagesHelp, kMarkerAddHelp,
                                 kMarkerRemoveHelp, 0};
constexpr int kHandlerCount = kOwnHelpCount + static_cast<int>(std::size(kBorrowedHelp));

std::vector<std::u16string_view> SplitAtTabs(std::u16string_view text) {
  std::vector<std::u16string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = text.find(u'\t', start);
    fields.push_back(text.substr(start, tab - start));
    if (tab == std::u16string_view::npos) return fields;
    start = tab + 1;
  }
}

std::u16string Coordinate(std::u16string_view field) {
  return std::u16string(field == kNegativeZero ? kNegativeZero.substr(1) : field);
}

// The field counts each code takes after the code: codes 2 and 3 also stand alone.
bool FieldCountFits(char16_t code, std::size_t count) {
  switch (code) {
    case u'0':
    case u'1':
    case u'4':
      return count == kIdentifyingFields;
    case u'2':
      return count == 0 || count == kIdentifyingFields + 3;
    case u'3':
      return count == 0 || count == kIdentifyingFields;
    case u'5':
      return count == kIdentifyingFields + 1;
    default:
      return false;
  }
}

PageMessageKind KindOf(char16_t code, bool alone) {
  switch (code) {
    case u'0': return PageMessageKind::Add;
    case u'1': return PageMessageKind::Insert;
    case u'2': return alone ? PageMessageKind::UpdateAll : PageMessageKind::Update;
    case u'3': return alone ? PageMessageKind::ClearSelection : PageMessageKind::Select;
    case u'4': return PageMessageKind::Delete;
    default: return PageMessageKind::Edit;
  }
}

std::optional<PageMessage> ParseEditMessage(std::u16string_view text) {
  if (!text.starts_with(kMessageStart) || text.size() < 3) return std::nullopt;
  const char16_t code = text[2];
  const std::u16string_view rest = text.substr(3);
  if (!rest.empty() && rest.front() != u'\t') return std::nullopt;
  std::vector<std::u16string_view> fields;
  if (!rest.empty()) fields = SplitAtTabs(rest.substr(1));
  if (!FieldCountFits(code, fields.size())) return std::nullopt;

  PageMessage message;
  message.kind = KindOf(code, fields.empty());
  if (fields.empty()) return message;
  for (std::size_t i = 0; i < kIdentifyingFields; ++i) message.texts[i] = std::u16string(fields[i]);
  message.texts[1] = Coordinate(fields[1]);
  message.texts[2] = Coordinate(fields[2]);
  if (message.kind == PageMessageKind::Update) {
    message.newLng = Coordinate(fields[5]);
    message.newLat = Coordinate(fields[6]);
    message.newMemo = std::u16string(fields[7]);
  } else if (message.kind == PageMessageKind::Edit) {
    const std::u16string_view column = fields[5];
    if (column.size() != 1 || column[0] < u'0' || column[0] > u'4') return std::nullopt;
    message.column = column[0] - u'0';
  }
  return message;
}

}  // namespace

std::optional<PageMessage> ParsePageMessage(std::u16string_view text) {
  PageMessage message;
  if (text == LoadString(kProgramTitle)) return message;
  if (text == kTerminate) {
    message.kind = PageMessageKind::Terminate;
    return message;
  }
  return ParseEditMessage(text);
}

std::optional<int> LinkHelp(std::u16string_view statusText) {
  const std::u16string scheme = LoadString(kLinkScheme) + u':';
  if (!statusText.starts_with(scheme)) return std::nullopt;
  const std::u16string_view call = statusText.substr(scheme.size());
  for (int i = 0; i < kHandlerCount; ++i) {
    const std::u16string name = LoadString(static_cast<int>(kFirstLinkHandler) + i);
    if (call.size() > name.size() && call.starts_with(name) && call[name.size()] == u'(') {
      return i < kOwnHelpCount ? static_cast<int>(kMarkerAddHelp) + i : kBorrowedHelp[i - kOwnHelpCount];
    }
  }
  return std::nullopt;
}

}  // namespace qf
