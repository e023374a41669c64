#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

#include "core/report.h"
#include "core/textconv.h"
#include "resource/messages.h"
#include "resource/packer.h"
#include "resource/resource.h"

namespace velmora::resource {
namespace {

struct ArchiveState {
  std::unordered_map<uint64_t, ArchiveEntry> index;
  bool present = false;
};
ArchiveState A;

uint8_t pathByte(std::string_view path, size_t i) { return i < path.size() ? static_cast<uint8_t>(path[i]) : 0; }

// Adds one archive's index to the map. A damaged index is reported and left
// out; member bounds are checked when a member is opened.
void readArchive(std::FILE* f, const std::string& name) {
  std::vector<IndexRecord> records;
  uint64_t length = 0;
  if (!readIndex(f, records, length)) {
    showErrorBox(name + messageText(Message::BadFile));
    return;
  }
  for (const IndexRecord& r : records) A.index[r.key] = ArchiveEntry{name, r.flag, r.offset, r.size, r.fourth};
}

}  // namespace

void openArchives() {
  for (int i = 0; i < kMaxArchives; ++i) {
    std::string name = "arc" + std::to_string(i) + ".dat";
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) break;
    readArchive(f, name);
    std::fclose(f);
    A.present = true;
  }
}

void closeArchives() {
  A.index.clear();
  A.present = false;
}

bool archivesPresent() { return A.present; }

const ArchiveEntry* findArchiveEntry(uint64_t key) {
  auto it = A.index.find(key);
  return it == A.index.end() ? nullptr : &it->second;
}

uint32_t memberOffset(const ArchiveEntry& e, std::string_view path) { return e.offset ^ pathByte(path, path.size() / 2); }
uint32_t memberSize(const ArchiveEntry& e, std::string_view path) { return e.size ^ pathByte(path, path.size() / 4); }

void unmaskMember(char* data, uint32_t size, std::string_view path) {
  size_t n = path.size();
  if (n < 2) return;
  size_t chunk = size / n;
  for (size_t c = 0; c + 1 < n; ++c) {
    char m = path[c];
    char* p = data + c * chunk;
    for (size_t k = 0; k < chunk; ++k) p[k] ^= m;
  }
}

namespace {

// Opens a resource with every offset and size checked against the archive.
// who is the text before the error (the path, with the key for loadFile) and
// tag the reader's name that ends the message.
std::FILE* openChecked(const char* path, const std::string& who, const char* tag, uint32_t& size, uint64_t& key) {
  uint64_t k = crc64_hash(path);
  const ArchiveEntry* e = A.present ? findArchiveEntry(k) : nullptr;
  std::FILE* f = std::fopen(e ? e->archive.c_str() : hostPath(path).c_str(), "rb");
  struct stat st;
  if (f && !e && (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode))) {
    std::fclose(f);
    f = nullptr;
    errno = EISDIR;
  }
  if (!f) {
    reportError(who + " " + std::strerror(errno) + "(" + tag + (e ? "1)" : "0)"));
    return nullptr;
  }
  std::fseek(f, 0, SEEK_END);
  long length = std::ftell(f);
  uint32_t offset = 0;
  if (e) {
    size = memberSize(*e, path);
    offset = memberOffset(*e, path);
    if (length < 0 || uint64_t(offset) + size > uint64_t(length)) {
      std::fclose(f);
      reportError(who + " " + e->archive + messageText(Message::BadFile) + "(" + tag + "1)");
      return nullptr;
    }
  } else {
    size = static_cast<uint32_t>(std::clamp<long>(length, 0, 0xFFFFFFFFl));
  }
  std::fseek(f, offset, SEEK_SET);
  key = e ? k : 0;
  return f;
}

}  // namespace

std::FILE* openResource(const char* path, uint32_t& size, uint64_t& key) {
  return openChecked(path, std::string(path) + ":" + scriptName(crc64_hash(path)), "loadFile", size, key);
}

bool loadFile(const char* path, char*& buffer, uint32_t& size, uint32_t& capacity) {
  uint64_t key = 0;
  std::FILE* f = openResource(path, size, key);
  if (!f) return false;
  if (capacity < size || !buffer) {
    std::free(buffer);
    capacity = size;
    buffer = static_cast<char*>(std::malloc(capacity ? capacity : 1));
    if (!buffer) {
      reportError(std::string(path) + messageText(Message::LoadFileNoMemory) + std::to_string(capacity));
      std::fclose(f);
      capacity = 0;
      return false;
    }
  }
  size_t got = std::fread(buffer, 1, size, f);
  std::fclose(f);
  if (got != size) size = static_cast<uint32_t>(got);
  if (key != 0) {
    const ArchiveEntry* e = findArchiveEntry(key);
    if (e && e->flag) unmaskMember(buffer, size, path);
  }
  return true;
}

bool loadFileS(const char* path, std::string& out) {
  uint32_t size = 0;
  uint64_t key = 0;
  std::FILE* f = openChecked(path, path, "loadFileS", size, key);
  if (!f) return false;
  out.resize(size);
  size_t got = size ? std::fread(out.data(), 1, size, f) : 0;
  std::fclose(f);
  out.resize(got);
  const ArchiveEntry* e = key ? findArchiveEntry(key) : nullptr;
  if (e && e->flag) unmaskMember(out.data(), static_cast<uint32_t>(out.size()), path);
  return true;
}

bool resourceExists(const char* path) {
  if (A.present && findArchiveEntry(crc64_hash(path))) return true;
  struct stat st;
  return stat(hostPath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace velmora::resource
