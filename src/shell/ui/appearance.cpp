#include "shell/ui/appearance.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>

#include <algorithm>

#include "core/string_table.h"
#include "editing/ui/qt_text.h"
#include "shell/ui/dialog_fading.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

constexpr char kBackgroundRepaint[] = "qf-table-background-repaint";

QPushButton* AddApplyButton(QDialog& dialog) {
  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  return buttons ? buttons->addButton(UiText(kApplyButton), QDialogButtonBox::ApplyRole) : nullptr;
}

// Alt+A belongs to "&Apply": other buttons lose a mnemonic on A, written "&A..." or "...(&A)".
void FreeAltA(QDialog& dialog, const QPushButton* apply) {
  static const QRegularExpression mnemonicA(uR"(\(&[Aa]\)|&(?=[Aa]))"_s);
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button == apply || QKeySequence::mnemonic(button->text()) != QKeySequence(Qt::ALT | Qt::Key_A)) continue;
    button->setText(button->text().remove(mnemonicA));
  }
}

// The colour list of the classic font dialog: its 16 colours, by name.
struct NamedColour {
  const char16_t* name;
  Colour colour;
};
constexpr NamedColour kTextColours[] = {
    {u"Black", Rgb(0, 0, 0)},      {u"Maroon", Rgb(128, 0, 0)},    {u"Green", Rgb(0, 128, 0)},
    {u"Olive", Rgb(128, 128, 0)},  {u"Navy", Rgb(0, 0, 128)},      {u"Purple", Rgb(128, 0, 128)},
    {u"Teal", Rgb(0, 128, 128)},   {u"Gray", Rgb(128, 128, 128)},  {u"Silver", Rgb(192, 192, 192)},
    {u"Red", Rgb(255, 0, 0)},      {u"Lime", Rgb(0, 255, 0)},      {u"Yellow", Rgb(255, 255, 0)},
    {u"Blue", Rgb(0, 0, 255)},     {u"Fuchsia", Rgb(255, 0, 255)}, {u"Aqua", Rgb(0, 255, 255)},
    {u"White", Rgb(255, 255, 255)},
};

// The font dialog's "Colo&r:" list under its effects, on `current`; a stored colour that is none of
// the 16 is offered as "Custom", so that OK keeps it. The sample text shows the chosen colour.
QComboBox* AddColourList(QFontDialog& dialog, Colour current) {
  const auto* effect = dialog.findChild<QCheckBox*>();
  QWidget* effects = effect ? effect->parentWidget() : nullptr;
  if (!effects || !effects->layout()) return nullptr;
  auto* list = new QComboBox(effects);
  list->setObjectName(u"textColour"_s);
  const auto add = [list](const QString& name, Colour colour) {
    QPixmap swatch(16, 12);
    swatch.fill(ToQColor(colour));
    list->addItem(QIcon(swatch), name, static_cast<uint>(colour));
  };
  for (const NamedColour& entry : kTextColours) add(QString::fromUtf16(entry.name), entry.colour);
  if (list->findData(static_cast<uint>(current)) < 0) add(u"Custom"_s, current);
  auto* label = new QLabel(u"Colo&r:"_s, effects);
  label->setBuddy(list);
  effects->layout()->addWidget(label);
  effects->layout()->addWidget(list);
  for (QLineEdit* sample : dialog.findChildren<QLineEdit*>()) {
    if (!qobject_cast<QGroupBox*>(sample->parentWidget())) continue;
    QObject::connect(list, &QComboBox::currentIndexChanged, sample, [list, sample] {
      QPalette palette = sample->palette();
      palette.setColor(QPalette::Text, ToQColor(list->currentData().toUInt()));
      sample->setPalette(palette);
    });
  }
  list->setCurrentIndex(-1);  // so that the sample follows the first choice too
  list->setCurrentIndex(list->findData(static_cast<uint>(current)));
  return list;
}

}  // namespace

QColor ToQColor(Colour colour) { return QColor(colour & 0xFF, colour >> 8 & 0xFF, colour >> 16 & 0xFF); }

Colour FromQColor(const QColor& colour) {
  const QColor rgb = colour.toRgb();
  return Rgb(static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
             static_cast<std::uint8_t>(rgb.blue()));
}

QFont ToQFont(const FontSettings& font) {
  QFont result = QApplication::font();
  if (font.name.empty()) return result;
  result.setFamily(ToQString(font.name));
  result.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight == 0 ? 400 : font.weight, 1, 1000)));
  result.setItalic(font.italic);
  if (font.height < 0) {
    result.setPixelSize(-font.height);
  } else if (font.height > 0) {
    // A cell height: scale the character height by how much taller the font's cells come out.
    result.setPixelSize(font.height);
    const int cell = QFontMetrics(result).height();
    if (cell > 0) result.setPixelSize(std::max(1, static_cast<int>(std::lround(font.height * font.height / double(cell)))));
  }
  return result;
}

void StoreFont(const QFont& font, FontSettings& settings) {
  settings.name = ToU16(font.family());
  settings.height = -QFontInfo(font).pixelSize();
  settings.weight = font.weight();
  settings.italic = font.italic();
}

bool ChooseTableFont(QWidget* parent, FontSettings& font, bool fade,
                     const std::function<void(const QFont&, QColor)>& apply) {
  Fading<QFontDialog> dialog(fade, ToQFont(font), parent);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  // Only what the settings keep can be chosen: no strikeout, no underline, no script.
  for (QCheckBox* effect : dialog.findChildren<QCheckBox*>()) effect->setEnabled(false);
  for (QComboBox* script : dialog.findChildren<QComboBox*>()) script->setEnabled(false);
  const QComboBox* colours = AddColourList(dialog, font.colour);
  const auto applyCurrent = [&] {
    StoreFont(dialog.currentFont(), font);
    if (colours) font.colour = colours->currentData().toUInt();
    apply(ToQFont(font), ToQColor(font.colour));
  };
  if (QPushButton* applyButton = AddApplyButton(dialog)) {
    QObject::connect(applyButton, &QPushButton::clicked, &dialog, applyCurrent);
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  applyCurrent();
  return true;
}

std::optional<fs::path> ChooseTableBackground(QWidget* parent, const FontSettings& font, bool fade) {
  Fading<QFileDialog> dialog(fade, parent, u"Table Background"_s);
  dialog.setNameFilter(u"Image Files (*)"_s);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  std::error_code error;
  if (!font.background.empty() && fs::is_regular_file(font.background, error)) {
    dialog.setDirectory(ToQString(font.background.parent_path().u16string()));
    dialog.selectFile(ToQString(font.background.filename().u16string()));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return fs::path(ToU16(dialog.selectedFiles().first()));
}

bool ApplyTableBackground(QAbstractItemView* view, const fs::path& image) {
  const QImage picture(ToQString(image.u16string()));
  if (picture.isNull()) return false;
  QPalette palette = view->palette();
  palette.setBrush(QPalette::Base, QBrush(picture));
  view->setPalette(palette);
  // The picture stays in place under scrolling rows: moving the drawn pixels along would shift
  // its tiles against the strip drawn afresh.
  if (!view->findChild<QObject*>(QLatin1StringView(kBackgroundRepaint), Qt::FindDirectChildrenOnly)) {
    auto* repaint = new QObject(view);
    repaint->setObjectName(QLatin1StringView(kBackgroundRepaint));
    for (QScrollBar* bar : {view->horizontalScrollBar(), view->verticalScrollBar()}) {
      QObject::connect(bar, &QScrollBar::valueChanged, repaint, [view] { view->viewport()->update(); });
    }
  }
  return true;
}

void RemoveTableBackground(QAbstractItemView* view) {
  delete view->findChild<QObject*>(QLatin1StringView(kBackgroundRepaint), Qt::FindDirectChildrenOnly);
  const QPalette standard = QApplication::palette(view);
  QPalette palette = view->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setBrush(group, QPalette::Base, standard.brush(group, QPalette::Base));
  }
  view->setPalette(palette);
}

ToolbarColourChoice ChooseToolbarColour(QWidget* parent, AppSettings& settings,
                                        const std::function<void(QColor)>& apply) {
  for (int i = 0; i < kCustomColourCount; ++i) {
    QColorDialog::setCustomColor(i, ToQColor(settings.customColours[static_cast<std::size_t>(i)]));
  }
  const Colour before = settings.toolbarColour;
  Colour shown = before;
  Fading<QColorDialog> dialog(settings.on(Switch::FadeWindow), ToQColor(before), parent);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (QPushButton* applyButton = AddApplyButton(dialog)) {
    QObject::connect(applyButton, &QPushButton::clicked, &dialog, [&] {
      shown = FromQColor(dialog.currentColor());
      apply(ToQColor(shown));
    });
    FreeAltA(dialog, applyButton);
  }
  if (dialog.exec() != QDialog::Accepted) {
    settings.toolbarColour = shown;
    return {};
  }
  const Colour chosen = FromQColor(dialog.selectedColor());
  if (chosen != shown) apply(ToQColor(chosen));
  settings.toolbarColour = chosen;
  for (int i = 0; i < kCustomColourCount; ++i) {
    settings.customColours[static_cast<std::size_t>(i)] = FromQColor(QColorDialog::customColor(i));
  }
  // Compared with the colour before the dialog, so that a colour shown by Apply and then
  // confirmed is written too.
  return {.confirmed = true, .colourChanged = chosen != before};
}

}  // namespace qf
