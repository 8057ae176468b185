#include "formats/file_format.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace qf {

std::string LowerExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  if (!extension.empty()) extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

FileFormat ReadFormatForPath(const std::filesystem::path& path) {
  return FormatOfExtension(LowerExtension(path)).value_or(FileFormat::TxtDetect);
}

FileFormat WriteFormatForPath(std::filesystem::path& path, TextEncoding encoding) {
  const FormatRow& read = FormatRowOf(ReadFormatForPath(path));
  if (IsDelimitedText(read.layout)) return TextFormat(read.layout, encoding);
  if (read.writer == nullptr) {
    path.replace_extension(".ov2");
    return FileFormat::Ov2;
  }
  return read.format;
}

}  // namespace qf
