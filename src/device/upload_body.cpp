#include "device/upload_body.h"

#include <fstream>
#include <system_error>
#include <vector>

#include "core/string_table.h"
#include "core/unicode.h"

namespace qf {

namespace {

constexpr std::string_view kPartEnd = "\r\n--Quillfern";
constexpr std::string_view kPartSeparator = "\r\n";
constexpr std::string_view kBodyEnd = "--\r\n";
constexpr std::size_t kAnswerBytes = 31;

// The name as it goes between the quotes of the part's header: a quote or a line break would end the
// header early, so they go as percent escapes, as web browsers send them.
std::string QuotedFileName(std::u16string_view name) {
  std::string quoted;
  for (const char c : Utf16ToUtf8(name)) {
    if (c == '"') {
      quoted += "%22";
    } else if (c == '\r') {
      quoted += "%0D";
    } else if (c == '\n') {
      quoted += "%0A";
    } else {
      quoted += c;
    }
  }
  return quoted;
}

// Appends the whole file; false when it cannot be opened or read to its end.
bool AppendFile(const std::filesystem::path& path, std::uintmax_t size, std::string& body) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  const std::size_t start = body.size();
  body.resize(start + size);
  file.read(body.data() + start, static_cast<std::streamsize>(size));
  return static_cast<std::uintmax_t>(file.gcount()) == size;
}

}  // namespace

int BuildUploadBody(std::u16string_view name, const std::filesystem::path& local, DeviceFileMask mask,
                    std::string& body) {
  const std::string head = Utf16ToUtf8(LoadString(kUploadPartHead));
  const std::string type = Utf16ToUtf8(LoadString(kUploadPartType));
  const std::string fileName = QuotedFileName(name);
  struct Part {
    std::filesystem::path path;
    std::string_view extension;
    std::uintmax_t size;
  };
  std::vector<Part> parts;
  std::size_t total = kBodyEnd.size();
  for (std::size_t kind = 0; kind < kDeviceFileKinds; ++kind) {
    if ((mask & (1u << kind)) == 0) continue;
    std::filesystem::path path = local;
    path.replace_extension(kDeviceExtensions[kind]);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return kDeviceFileSystemError;
    parts.push_back({std::move(path), kDeviceExtensions[kind], size});
    total += kPartSeparator.size() + head.size() + fileName.size() + 4 + type.size() + size + kPartEnd.size();
  }
  body.clear();
  body.reserve(total);
  for (const Part& part : parts) {
    if (!body.empty()) body += kPartSeparator;
    body += head;
    body += fileName;
    body += '.';
    body += part.extension;
    body += type;
    if (!AppendFile(part.path, part.size, body)) return kDeviceFileSystemError;
    body += kPartEnd;
  }
  body += kBodyEnd;
  return 0;
}

int UploadAnswerResult(std::string_view answer) {
  answer = answer.substr(0, kAnswerBytes);
  const std::size_t space = answer.find(' ');
  if (space == std::string_view::npos) return 0;
  std::size_t at = space + 1;
  while (at < answer.size() && answer[at] == ' ') ++at;
  int number = 0;
  for (; at < answer.size() && answer[at] >= '0' && answer[at] <= '9' && number < 1000; ++at) {
    number = number * 10 + (answer[at] - '0');
  }
  if (number == 207) return kDeviceUnknownError;
  if (number == 507) return kDeviceNoMemory;
  return 0;
}

}  // namespace qf
