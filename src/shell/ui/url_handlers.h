#pragma once

#include <QString>

namespace qf {

// The desktop entry of the program the desktop opens files of this MIME type with
// ("application/vnd.google-earth.kml+xml"), as xdg-mime tells; empty where there is none or it
// cannot tell.
QString DefaultHandler(const QString& mimeType);

// Whether the desktop has a program registered for links of this scheme ("tomtomhome").
bool HasUrlHandler(const QString& scheme);

}  // namespace qf
