#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "core/app_settings.h"
#include "core/poi_document.h"
#include "core/user_port.h"

namespace qf {

// The formats "Convert to" offers for OV2 files, in the order of its list: every format written
// but OV2 itself and the phonebook, which keeps no positions.
std::span<const FileFormat> ConversionTargets();

// The extension of the files a run writes: "ov2", or that of one of the ConversionTargets;
// empty for any other format.
std::string_view ConversionExtension(FileFormat target);

// The "Same File Names" question for an output file that exists.
std::u16string SameFileNameQuestion(std::u16string_view path);

struct ConvertFolderResult {
  int count = 0;        // files converted, also when stopped early
  int leftOut = 0;      // POIs of those files without a position, which the target could not carry
  int messageId = 0;    // 0 (done, Esc or Cancel), kDiskStructureWrong or the file message that ended the run
  std::u16string name;  // the %s of the message: the source's name, or the output's path
  std::error_code reason;  // what the system said about the failure, if anything
};

// Converts the files of a folder, each into a file of the same name beside it. With target Ov2
// the kml, gpx, gpi, csv, asc, poi and txt files become OV2 files; with one of the ConversionTargets
// the OV2 files become files of that format. Files are taken in name order, each read into a
// scratch document of its own, so no open document is touched. Symbolic links are left alone,
// an existing output is replaced only when the user agrees, and Esc stops between two entries.
// Throws std::invalid_argument for any other target.
ConvertFolderResult ConvertFolder(const std::filesystem::path& folder, FileFormat target, const AppSettings& settings,
                                  UserPort& port, const StatusLine& status = {});

}  // namespace qf
