#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "core/string_table.h"

namespace qf {

// The engine's UTF-16 text and Qt's, without a detour through another encoding.
inline QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::u16string ToU16(const QString& text) { return text.toStdU16String(); }
// A text of the string table.
inline QString UiText(int id) { return ToQString(LoadString(id)); }

}  // namespace qf
