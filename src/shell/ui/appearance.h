#pragma once

#include <QColor>
#include <QFont>

#include <filesystem>
#include <functional>
#include <optional>

#include "core/app_settings.h"

class QAbstractItemView;
class QWidget;

namespace qf {

// The look of the table and the toolbar: the settings' colours and fonts in Qt's terms, the table's
// background image, and the dialogs that choose them.

// Colours as the settings file stores them (0x00BBGGRR).
QColor ToQColor(Colour colour);
Colour FromQColor(const QColor& colour);

// The table font of the settings: the application's default font while no face name is stored.
// A negative height is the character height in pixels, a positive one the cell height (character
// plus internal leading); 0 keeps the default size.
QFont ToQFont(const FontSettings& font);
// Stores face name, character height (negative, in pixels), weight and italic of `font`; the text
// colour and the background image stay as they are.
void StoreFont(const QFont& font, FontSettings& settings);

// "Display Font": a font dialog on the table font with a list of text colours and an Apply button.
// Apply and OK hand the font and the chosen colour to `apply` and store them in `font`, so that
// `font` always holds what the table shows; Cancel keeps what was applied last. Returns whether the
// dialog was confirmed.
bool ChooseTableFont(QWidget* parent, FontSettings& font, bool fade,
                     const std::function<void(const QFont&, QColor)>& apply);

// "Background Image": the open-file dialog for the table's background, starting at the previous
// image while it still exists. Returns the chosen existing file.
std::optional<std::filesystem::path> ChooseTableBackground(QWidget* parent, const FontSettings& font, bool fade);
// Tiles `image` behind the rows, keeps selections visible when the table loses the focus, and
// returns true; returns false, leaving the view as it was, when the file is no readable image.
bool ApplyTableBackground(QAbstractItemView* view, const std::filesystem::path& image);
// Back to the plain window colour behind the rows.
void RemoveTableBackground(QAbstractItemView* view);

// What a confirmed toolbar colour dialog asks to be written to the settings file at once.
struct ToolbarColourChoice {
  bool confirmed = false;      // OK: the 16 custom colours ("Toolbar Bkgnd 0" to 15)
  bool colourChanged = false;  // also "Toolbar Bkgnd": OK with a colour other than the one before the dialog
};
// "Toolbar Background": a colour dialog with the 16 custom colours and an "&Apply" button. Each
// colour to show goes to `apply` (on Apply, and on OK with a colour not shown yet). Afterwards
// settings.toolbarColour is the colour in effect: a colour applied and then cancelled stays for
// this run, but is not reported for writing.
ToolbarColourChoice ChooseToolbarColour(QWidget* parent, AppSettings& settings,
                                        const std::function<void(QColor)>& apply);

}  // namespace qf
