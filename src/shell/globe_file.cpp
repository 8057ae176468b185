#include "shell/globe_file.h"

#include <string>

#include "core/atomic_file.h"
#include "formats/file_pipeline.h"
#include "formats/file_session.h"
#include "formats/kml.h"

namespace fs = std::filesystem;

namespace qf {

int GlobeFile::write(PoiDocument& document, const AppSettings& settings, UserPort& port) {
  reason_.clear();
  if (const int result = writeFile(document, settings, port); result != 0) {
    const std::u16string name = document.path.empty() ? document.title : DisplayName(document.path);
    port.showMessage(static_cast<MessageId>(result), Severity::Warning, FileMessageText(result, name, reason_));
    return result;
  }
  return 0;
}

int GlobeFile::writeFile(PoiDocument& document, const AppSettings& settings, UserPort& port) {
  const fs::path folder = folder_.get(reason_);
  if (folder.empty()) return kCannotSave;
  const fs::path target = folder / "Qfntmp.kml";
  AtomicFile file;
  if (!file.open(target)) {
    reason_ = file.error();
    return kCannotSave;
  }
  FileSession session(document, FileOperation::Save, FileFormat::Kml, settings, port);
  int written = 0;
  int result = WriteKmlForGoogleEarth(session, file, written);
  if (result == 0 && !file.commit()) result = kCannotWrite;
  reason_ = file.error();
  if (result != 0) return result;
  // The folder already keeps others out; the file says so too, wherever it may be copied.
  std::error_code ignored;
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, ignored);
  path_ = target;
  return 0;
}

}  // namespace qf
