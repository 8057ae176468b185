#pragma once

#include <filesystem>

#include "core/poi_document.h"

namespace qf {

// The picture the status bar shows for the document: its kind, or the bitmap of the same name
// that sits beside an OV2 file.
enum class DocumentIcon { None, Poi, Favorites, SafetyCamera, Phonebook, BesideBitmap };

struct DocumentIconChoice {
  DocumentIcon icon = DocumentIcon::None;
  std::filesystem::path bitmap;  // for BesideBitmap
};

// `bitmapLoads` tells whether a picture file exists and can be shown.
DocumentIconChoice ChooseDocumentIcon(const PoiDocument& document,
                                      bool (*bitmapLoads)(const std::filesystem::path&));

}  // namespace qf
