#pragma once

#include <filesystem>

namespace qf {

// Mends the header of a BMP file that a picture loader refuses although its pixels are fine, as some
// devices write them: the file-size field is set to the real size and, unless the info header is the
// 12-byte core header, the image-size field to 0 (which means "work it out"). The file is replaced
// whole; false when it is no BMP file or could not be written.
bool RepairBitmap(const std::filesystem::path& path);

}  // namespace qf
