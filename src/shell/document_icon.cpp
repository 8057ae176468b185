#include "shell/document_icon.h"

#include "formats/file_format.h"

namespace qf {

namespace {

constexpr std::u16string_view kUntitled = u"Untitled";
constexpr std::u16string_view kFavorites = u"Favorites";

}  // namespace

DocumentIconChoice ChooseDocumentIcon(const PoiDocument& document,
                                      bool (*bitmapLoads)(const std::filesystem::path&)) {
  const bool favorites = document.title == kFavorites;
  if (document.path.empty()) {
    // From a device or the favourites: both special kinds share one picture.
    if (document.title == kUntitled) return {};
    if (favorites) return {DocumentIcon::Favorites, {}};
    return {document.kind == DocumentKind::Poi ? DocumentIcon::Poi : DocumentIcon::SafetyCamera, {}};
  }
  if (document.kind == DocumentKind::SafetyCamera) return {DocumentIcon::SafetyCamera, {}};
  if (document.kind == DocumentKind::Phonebook) return {DocumentIcon::Phonebook, {}};
  if (LowerExtension(document.path) != "ov2") return {};
  std::filesystem::path bitmap = document.path;
  bitmap.replace_extension(".bmp");
  if (bitmapLoads(bitmap)) return {DocumentIcon::BesideBitmap, bitmap};
  return {favorites ? DocumentIcon::Favorites : DocumentIcon::Poi, {}};
}

}  // namespace qf
