#pragma once

#include <string>
#include <string_view>

#include "core/poi_document.h"

namespace qf {

// A name as a URL parameter: its UTF-8 bytes, each blank and each byte of a character beyond
// ASCII as a percent escape with upper-case digits, every other character as it is.
std::string EncodeUrlName(std::u16string_view name);

// Add Favorite's hand-off of a row to TomTom's desktop application:
// "tomtomhome:geo:lat=…&long=…&name=…" with the coordinates as signed decimals (empty when
// missing) and the name without its '%' and '&', which would end or break the parameter.
std::string AddFavoriteUrl(const PoiDocument& document, int row);

}  // namespace qf
