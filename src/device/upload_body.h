#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "device/device_listing.h"

namespace qf {

// The header that goes with an upload body.
inline constexpr std::string_view kUploadContentType = "Content-Type: multipart/form-data; boundary=Quillfern";

// Builds the body that sends the files beside `local` (its extension replaced by each kind's of
// `mask`, in kind order) under the device name `name`: one multipart part per file, the parts joined
// by CR LF, the last followed by "--\r\n". Returns 0, or kDeviceFileSystemError when a file cannot be
// read whole. The body is sized once, so that a large file is held only once.
int BuildUploadBody(std::u16string_view name, const std::filesystem::path& local, DeviceFileMask mask,
                    std::string& body);

// What the device's answer to an upload means: the number after the first space of its first 31
// bytes, 207 kDeviceUnknownError, 507 kDeviceNoMemory, anything else 0.
int UploadAnswerResult(std::string_view answer);

}  // namespace qf
