#include "shell/document_icon.h"

namespace qf {

namespace {

constexpr std::u16string_view kUntitled = u"Untitled";
constexpr std::u16string_view kFavorites = u"Favorites";

bool IsOv2(const std::filesystem::path& path) {
  std::u16string extension = path.extension().u16string();
  for (char16_t& c : extension) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return extension == u".ov2";
}

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
  if (!IsOv2(document.path)) return {};
  std::filesystem::path bitmap = document.path;
  bitmap.replace_extension(".bmp");
  if (bitmapLoads(bitmap)) return {DocumentIcon::BesideBitmap, bitmap};
  return {favorites ? DocumentIcon::Favorites : DocumentIcon::Poi, {}};
}

}  // namespace qf
