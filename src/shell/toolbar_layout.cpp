#include "shell/toolbar_layout.h"

#include <algorithm>

#include "shell/command_table.h"

namespace qf {

namespace {

// The next number of the text at or after `position`, or nullopt at the end; a word that is
// not all digits reads as -1, and so does a number too long to be an image index.
std::optional<int> NextNumber(std::u16string_view text, std::size_t& position) {
  while (position < text.size() && text[position] == u' ') ++position;
  if (position == text.size()) return std::nullopt;
  int number = 0;
  for (; position < text.size() && text[position] != u' '; ++position) {
    const char16_t c = text[position];
    if (number < 0 || c < u'0' || c > u'9' || number > 1000) {
      number = -1;
    } else {
      number = number * 10 + (c - u'0');
    }
  }
  return number;
}

int ImageOf(CommandId id) { return id == kSeparator ? kSeparatorImage : Command(id).image; }

std::uint8_t Channel(Colour colour, int shift) { return static_cast<std::uint8_t>(colour >> shift & 0xff); }

std::uint8_t Lowered(std::uint8_t value, int by) { return static_cast<std::uint8_t>(std::max(0, value - by)); }

}  // namespace

std::optional<CommandId> ToolbarCommandForImage(int image) {
  for (const CommandId id : DefaultToolbar()) {
    if (id != kSeparator && Command(id).image == image) return id;
  }
  return std::nullopt;
}

ToolbarLayout ParseToolbarButtons(std::u16string_view text) {
  ToolbarLayout layout;
  std::size_t position = 0;
  while (const std::optional<int> number = NextNumber(text, position)) {
    if (*number == kSeparatorImage) {
      layout.push_back(kSeparator);
      continue;
    }
    const std::optional<CommandId> id = ToolbarCommandForImage(*number);
    if (id && std::find(layout.begin(), layout.end(), *id) == layout.end()) layout.push_back(*id);
  }
  return layout;
}

ToolbarLayout ToolbarLayoutFromSettings(const std::optional<std::u16string>& stored) {
  if (stored) return ParseToolbarButtons(*stored);
  const std::span<const CommandId> defaults = DefaultToolbar();
  return {defaults.begin(), defaults.end()};
}

std::u16string FormatToolbarButtons(std::span<const CommandId> layout) {
  std::u16string text;
  for (const CommandId id : layout) {
    const std::string number = std::to_string(ImageOf(id));
    const std::size_t blank = text.empty() ? 0 : 1;
    if (text.size() + blank + number.size() > kMaxToolbarButtonsLength) break;
    if (blank) text += u' ';
    text.append(number.begin(), number.end());
  }
  return text;
}

std::uint8_t HotChannel(std::uint8_t value) {
  return value >= 232 ? 255 : static_cast<std::uint8_t>(value * 11 / 10);
}

Colour RowLineColour(Colour base, int line, int buttonHeight) {
  if (line == 0) return Rgb(160, 160, 160);
  if (line == 1) return Rgb(255, 255, 255);
  const int first = buttonHeight / 2 + 4;
  if (line < first) return base;
  // Past the first darkened line red and blue drop one more per line, green only on odd lines.
  const int steps = line - first;
  const int oddLines = (line + 1) / 2 - (first + 1) / 2;
  return Rgb(Lowered(Channel(base, 0), 24 + steps), Lowered(Channel(base, 8), 8 + oddLines),
             Lowered(Channel(base, 16), 16 + steps));
}

}  // namespace qf
