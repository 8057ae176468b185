#include "map/map_page_file.h"

#include <system_error>

#include "core/atomic_file.h"
#include "formats/file_pipeline.h"

namespace fs = std::filesystem;

namespace qf {

bool MapPageFile::write(std::string_view page, UserPort& port) {
  std::error_code reason;
  const fs::path folder = folder_.get(reason);
  const fs::path target = folder.empty() ? RuntimeFolder() / "Qfn.htm" : folder / "Qfn.htm";
  AtomicFile file;
  if (!folder.empty() && file.open(target) && file.write(page.data(), page.size()) && file.commit()) {
    path_ = target;
    return true;
  }
  if (!reason) reason = file.error();
  port.showMessage(kCannotWrite, Severity::Warning, FileMessageText(kCannotWrite, target.u16string(), reason));
  return false;
}

}  // namespace qf
