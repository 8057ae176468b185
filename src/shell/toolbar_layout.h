#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/app_settings.h"
#include "shell/command_state.h"

namespace qf {

// The toolbar's entries from left to right; kSeparator (command 0) marks a separator.
using ToolbarLayout = std::vector<CommandId>;

// In the stored "Toolbar Button" text a separator is the number after the last image index.
inline constexpr int kSeparatorImage = 51;
inline constexpr std::size_t kMaxToolbarButtonsLength = 255;

// The toolbar command whose button shows image `image` (0-50); nullopt for any other number.
std::optional<CommandId> ToolbarCommandForImage(int image);

// The stored "Toolbar Button" text read number by number: 51 adds a separator, 0-50 adds the
// command with that image unless it is already on, anything else is skipped.
ToolbarLayout ParseToolbarButtons(std::u16string_view text);
// The stored layout, or every default entry when there is none.
ToolbarLayout ToolbarLayoutFromSettings(const std::optional<std::u16string>& stored);
// The text to store: image indexes and 51 for separators, separated by single blanks. Entries
// that would take the text past 255 characters are left out whole, so no number is cut short.
std::u16string FormatToolbarButtons(std::span<const CommandId> layout);

// A colour channel of a hovered button's image: 10 % brighter, 232 and above saturating at 255.
std::uint8_t HotChannel(std::uint8_t value);
// The colour of line `line` of a row of buttons `buttonHeight` pixels high: a grey and a white
// line on top, then the toolbar colour darkening toward the bottom of the row.
Colour RowLineColour(Colour base, int line, int buttonHeight);

}  // namespace qf
