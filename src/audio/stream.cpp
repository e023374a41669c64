// WAVE and Vorbis readers over bytes in memory.
#include "audio/stream.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/messages.h"
#include "core/state.h"
#include "core/textconv.h"

namespace velmora::audio {
namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool supportedPcm(const PcmFormat& f) {
  return (f.channels == 1 || f.channels == 2) && (f.bits == 8 || f.bits == 16) && f.rate >= 1000 &&
         f.rate <= 384000 && f.blockAlign == f.channels * f.bits / 8;
}

class WaveStream final : public Stream {
 public:
  WaveStream(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}
  bool seekFrame(int64_t frame) override { return seekByte(frame * format.blockAlign); }
  bool seekMs(int64_t ms) override { return seekByte(ms * int64_t(format.bytesPerSecond) / 1000 / format.blockAlign * format.blockAlign); }
  int64_t tellFrame() override { return pos_ / format.blockAlign; }
  int64_t tellMs() override { return int64_t(uint64_t(pos_) * 1000 / format.bytesPerSecond); }
  int64_t totalFrames() override { return size_ / format.blockAlign; }
  int64_t totalMs() override { return int64_t(uint64_t(size_) * 1000 / format.bytesPerSecond); }
  long read(uint8_t* out, long bytes) override {
    uint32_t n = std::min<uint32_t>(uint32_t(std::max<long>(bytes, 0)), size_ - pos_);
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return long(n);
  }

 private:
  bool seekByte(int64_t b) {
    pos_ = uint32_t(std::clamp<int64_t>(b, 0, size_));
    return true;
  }
  const uint8_t* data_;
  uint32_t size_, pos_ = 0;
};

// Walks the RIFF chunks for "fmt " and "data"; a data size beyond the file
// (a truncated download, a streaming writer's placeholder) is cut to what is there.
bool parseWave(const uint8_t* p, size_t size, PcmFormat& f, uint32_t& dataOffset, uint32_t& dataSize) {
  if (size < 12 || std::memcmp(p + 8, "WAVE", 4) != 0) return false;
  bool haveFormat = false;
  size_t at = 12;
  while (at + 8 <= size) {
    uint32_t length = le32(p + at + 4);
    const uint8_t* body = p + at + 8;
    size_t room = size - at - 8;
    if (std::memcmp(p + at, "fmt ", 4) == 0) {
      if (length < 16 || room < 16) return false;
      uint16_t tag = le16(body);
      if (tag == 0xFFFE && length >= 40 && room >= 40) tag = le16(body + 24);  // extensible: the sub-format GUID
      if (tag != 1) return false;
      f.channels = le16(body + 2);
      f.rate = int(std::min<uint32_t>(le32(body + 4), 0x7FFFFFFF));
      f.bytesPerSecond = le32(body + 8);
      f.blockAlign = le16(body + 12);
      f.bits = le16(body + 14);
      haveFormat = true;
    } else if (std::memcmp(p + at, "data", 4) == 0) {
      if (!haveFormat || !supportedPcm(f) || f.bytesPerSecond == 0) return false;
      dataOffset = uint32_t(at + 8);
      dataSize = uint32_t(std::min<size_t>(length, room));
      dataSize -= dataSize % f.blockAlign;
      return true;
    }
    at += 8 + size_t(length) + (length & 1);
  }
  return false;
}

// The decoder reads the file through these, clamped to the bytes held.
struct MemoryFile {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
};
size_t memRead(void* out, size_t unit, size_t count, void* source) {
  auto* m = static_cast<MemoryFile*>(source);
  if (unit == 0) return 0;
  size_t n = std::min(count, (m->size - m->pos) / unit);
  std::memcpy(out, m->data + m->pos, n * unit);
  m->pos += n * unit;
  return n;
}
int memSeek(void* source, ogg_int64_t offset, int whence) {
  auto* m = static_cast<MemoryFile*>(source);
  int64_t base = whence == SEEK_CUR ? int64_t(m->pos) : whence == SEEK_END ? int64_t(m->size) : 0;
  m->pos = size_t(std::clamp<int64_t>(base + offset, 0, int64_t(m->size)));
  return 0;
}
int memClose(void*) { return 0; }
long memTell(void* source) { return long(static_cast<MemoryFile*>(source)->pos); }

class VorbisStream final : public Stream {
 public:
  VorbisStream(const uint8_t* data, size_t size) : file_{data, size} {}
  ~VorbisStream() override {
    if (open_) ov_clear(&vf_);
  }
  bool open() {
    const ov_callbacks callbacks{memRead, memSeek, memClose, memTell};
    open_ = ov_open_callbacks(&file_, &vf_, nullptr, 0, callbacks) == 0;
    return open_;
  }
  OggVorbis_File* file() { return &vf_; }
  bool seekFrame(int64_t frame) override { return ov_pcm_seek(&vf_, frame) == 0; }
  bool seekMs(int64_t ms) override { return ov_time_seek(&vf_, double(ms) / 1000.0) == 0; }
  int64_t tellFrame() override { return ov_pcm_tell(&vf_); }
  int64_t tellMs() override { return int64_t(ov_time_tell(&vf_) * 1000.0); }
  int64_t totalFrames() override { return ov_pcm_total(&vf_, -1); }
  int64_t totalMs() override { return int64_t(ov_time_total(&vf_, -1) * 1000.0); }
  long read(uint8_t* out, long bytes) override {
    int section = 0;
    long n;
    do n = ov_read(&vf_, reinterpret_cast<char*>(out), int(std::min<long>(bytes, 1 << 30)), 0, 2, 1, &section);
    while (n == OV_HOLE);  // a gap in the stream is not an error
    return n;
  }

 private:
  MemoryFile file_;
  OggVorbis_File vf_{};
  bool open_ = false;
};

std::string_view trimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::unique_ptr<Stream> openVorbis(const std::string& bytes, const std::string& name, std::string& error) {
  auto v = std::make_unique<VorbisStream>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!v->open()) {
    error = name + messageText(Message::CallbackNotCreated);
    return nullptr;
  }
  vorbis_info* info = ov_info(v->file(), -1);
  if (!info) {
    error = name + messageText(Message::NoInformation);
    return nullptr;
  }
  PcmFormat& f = v->format;
  f.channels = info->channels;
  f.rate = int(info->rate);
  f.bits = 16;
  f.blockAlign = f.channels * 2;
  f.bytesPerSecond = uint32_t(f.rate) * uint32_t(f.blockAlign);
  if (!supportedPcm(f)) {
    error = name + messageText(Message::UnsupportedFormat);
    return nullptr;
  }
  v->loopC = std::max<int64_t>(v->totalFrames(), 0);
  vorbis_comment* vc = ov_comment(v->file(), -1);
  for (int i = 0; vc && i < vc->comments; ++i) {
    std::string_view entry(vc->user_comments[i], size_t(std::max(vc->comment_lengths[i], 0)));
    if (entry.find("COMMENT") == std::string_view::npos) continue;
    bool badCount = false;
    int64_t a, b, c;
    if (parseLoopComment(entry, f.rate, a, b, c, badCount)) v->loopA = a, v->loopB = b, v->loopC = c;
    if (badCount) error = name + messageText(Message::BadPlayInfoCount);
    break;
  }
  return v;
}

}  // namespace

DataType detectType(std::string_view bytes) {
  auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() >= 4 && bytes.compare(0, 4, "RIFF") == 0) return kTypeWave;
  if (bytes.size() < 27 || bytes.compare(0, 4, "OggS") != 0) return kTypeUnknown;
  size_t packet = 27 + size_t(p[26]);
  if (bytes.size() >= packet + 8 && p[packet] == 0x01 && bytes.compare(packet + 1, 6, "vorbis") == 0 &&
      p[packet + 7] == 0)
    return kTypeVorbis;
  if (bytes.size() >= packet + 8 && bytes.compare(packet, 8, "OpusHead") == 0) return kTypeOpus;
  return kTypeUnknown;
}

bool parseLoopComment(std::string_view comment, int rate, int64_t& a, int64_t& b, int64_t& c, bool& badCount) {
  badCount = false;
  size_t eq = comment.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view value = comment.substr(eq + 1);
  value = trimBlanks(value.substr(0, value.find('=')));
  size_t letters = 0;
  while (letters < value.size() && ((value[letters] | 0x20) >= 'a' && (value[letters] | 0x20) <= 'z')) ++letters;
  std::string_view directive = value.substr(0, letters);
  bool time = directive == "setTime";
  if (!time && directive != "setSample") return false;
  std::vector<std::string_view> parts;
  std::string_view rest = value.substr(letters);
  for (size_t start = 0;;) {
    size_t comma = rest.find(',', start);
    parts.push_back(rest.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (parts.size() != 3) {
    badCount = true;
    return false;
  }
  int64_t v[3];
  for (int i = 0; i < 3; ++i) {
    v[i] = readEngineInt(parts[i].data(), parts[i].size());
    if (time) v[i] = v[i] * rate / 1000;
  }
  a = v[0], b = v[1], c = v[2];
  return true;
}

std::unique_ptr<Stream> openStream(std::shared_ptr<const std::string> bytes, DataType type, const std::string& name,
                                   std::string& error) {
  error.clear();
  if (type == kTypeVorbis) {
    auto v = openVorbis(*bytes, name, error);
    if (v) v->bytes = std::move(bytes);
    return v;
  }
  if (type != kTypeWave) {
    error = name + messageText(Message::UnsupportedFormat);
    return nullptr;
  }
  PcmFormat f;
  uint32_t offset = 0, size = 0;
  auto* p = reinterpret_cast<const uint8_t*>(bytes->data());
  if (!parseWave(p, bytes->size(), f, offset, size)) {
    error = name + messageText(Message::UnsupportedFormat);
    return nullptr;
  }
  auto w = std::make_unique<WaveStream>(p + offset, size);
  w->format = f;
  w->loopC = size / uint32_t(f.blockAlign);
  w->bytes = std::move(bytes);
  return w;
}

}  // namespace velmora::audio
