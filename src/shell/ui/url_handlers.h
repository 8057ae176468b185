#pragma once

#include <QString>

namespace qf {

// Whether the desktop has a program registered for links of this scheme ("tomtomhome"), as
// xdg-mime tells; false where it cannot tell.
bool HasUrlHandler(const QString& scheme);

}  // namespace qf
