#include "device/cabinet.h"

#include <mspack.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/atomic_file.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

// Far above what a cabinet of a few small data files holds; a bound for a hostile one.
constexpr unsigned kMemberSizeLimit = 64u << 20;
constexpr std::size_t kMemberCountLimit = 64;

// The library's files: the cabinet read from disk, and each member written into the atomic file
// of its target, never to a path of the library's choosing.
struct Handle {
  std::FILE* in = nullptr;
  AtomicFile* out = nullptr;
  std::uint64_t written = 0;
};

struct System : mspack_system {
  AtomicFile* sink = nullptr;  // where the member being extracted goes
};

mspack_file* Open(mspack_system* self, const char* filename, int mode) {
  auto handle = std::make_unique<Handle>();
  if (mode == MSPACK_SYS_OPEN_READ) {
    handle->in = std::fopen(filename, "rb");
    if (handle->in == nullptr) return nullptr;
  } else if (mode == MSPACK_SYS_OPEN_WRITE && static_cast<System*>(self)->sink != nullptr) {
    handle->out = static_cast<System*>(self)->sink;
  } else {
    return nullptr;
  }
  return reinterpret_cast<mspack_file*>(handle.release());
}

Handle& Of(mspack_file* file) { return *reinterpret_cast<Handle*>(file); }

void Close(mspack_file* file) {
  if (Of(file).in != nullptr) std::fclose(Of(file).in);
  delete &Of(file);
}

int Read(mspack_file* file, void* buffer, int bytes) {
  std::FILE* in = Of(file).in;
  if (in == nullptr || bytes < 0) return -1;
  const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(bytes), in);
  return std::ferror(in) ? -1 : static_cast<int>(got);
}

int Write(mspack_file* file, void* buffer, int bytes) {
  Handle& handle = Of(file);
  if (handle.out == nullptr || bytes < 0 || handle.written + static_cast<unsigned>(bytes) > kMemberSizeLimit) return -1;
  handle.written += static_cast<unsigned>(bytes);
  return handle.out->write(buffer, static_cast<std::size_t>(bytes)) ? bytes : -1;
}

int Seek(mspack_file* file, off_t offset, int mode) {
  std::FILE* in = Of(file).in;
  const int whence = mode == MSPACK_SYS_SEEK_START ? SEEK_SET : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR : SEEK_END;
  return in != nullptr && fseeko(in, offset, whence) == 0 ? 0 : -1;
}

off_t Tell(mspack_file* file) { return Of(file).in != nullptr ? ftello(Of(file).in) : -1; }

void Message(mspack_file*, const char*, ...) {}

void* Alloc(mspack_system*, std::size_t bytes) { return std::malloc(bytes); }

void Copy(void* source, void* target, std::size_t bytes) { std::memmove(target, source, bytes); }

System MakeSystem() {
  System system{};
  system.open = Open;
  system.close = Close;
  system.read = Read;
  system.write = Write;
  system.seek = Seek;
  system.tell = Tell;
  system.message = Message;
  system.alloc = Alloc;
  system.free = std::free;
  system.copy = Copy;
  return system;
}

// A member's name as a file name of the folder, or nothing when it is not one plain name: it could
// otherwise leave the folder, or hide in it.
std::optional<std::string> PlainName(const mscabd_file& file) {
  std::string name;
  for (const char* c = file.filename; *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte < 0x20 || byte == 0x7f || byte == '/' || byte == '\\') return std::nullopt;
    if (byte < 0x80 || (file.attribs & MSCAB_ATTRIB_UTF_NAME) != 0) {
      name += *c;
    } else {  // the older cabinets' names are Latin-1
      name += static_cast<char>(0xC0 | (byte >> 6));
      name += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  if (name.empty() || name.front() == '.') return std::nullopt;
  return name;
}

struct Member {
  mscabd_file* file;
  std::string name;
};

// The cabinet's members, or nothing when one of them cannot be taken.
std::optional<std::vector<Member>> Members(mscabd_cabinet& cabinet) {
  std::vector<Member> members;
  for (mscabd_file* file = cabinet.files; file != nullptr; file = file->next) {
    std::optional<std::string> name = PlainName(*file);
    if (!name || file->length > kMemberSizeLimit || members.size() == kMemberCountLimit) return std::nullopt;
    members.push_back({file, std::move(*name)});
  }
  return members;
}

}  // namespace

bool ExpandCabinet(const fs::path& cabinetPath, const fs::path& folder, std::span<const std::string> required) {
  System system = MakeSystem();
  const std::unique_ptr<mscab_decompressor, void (*)(mscab_decompressor*)> decompressor(
      mspack_create_cab_decompressor(&system), mspack_destroy_cab_decompressor);
  if (!decompressor) return false;
  mscab_decompressor& d = *decompressor;
  const std::unique_ptr<mscabd_cabinet, std::function<void(mscabd_cabinet*)>> cabinet(
      d.open(&d, cabinetPath.c_str()), [&d](mscabd_cabinet* c) { d.close(&d, c); });
  if (!cabinet) return false;
  const std::optional<std::vector<Member>> members = Members(*cabinet);
  if (!members) return false;
  for (const std::string& name : required) {
    if (std::ranges::find(*members, name, &Member::name) == members->end()) return false;
  }
  std::vector<std::unique_ptr<AtomicFile>> files;
  for (const Member& member : *members) {
    auto& file = files.emplace_back(std::make_unique<AtomicFile>());
    if (!file->open(folder / member.name, AtomicFile::Links::Replace)) return false;
    system.sink = file.get();
    const int result = d.extract(&d, member.file, member.name.c_str());
    system.sink = nullptr;
    if (result != MSPACK_ERR_OK) return false;
  }
  return std::ranges::all_of(files, [](const auto& file) { return file->commit(); });
}

}  // namespace qf
