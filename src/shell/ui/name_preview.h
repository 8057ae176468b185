#pragma once

class QFileDialog;

namespace qf {

// Adds to a file dialog, under its file name, the name a TomTom device shows for the file: the
// name typed, or the folder selected, translated back from TomTom char code. The dialog becomes
// Qt's own, which can hold the extra line.
void AddTomTomNamePreview(QFileDialog& dialog);

}  // namespace qf
