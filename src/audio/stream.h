#pragma once
// Sound data held whole in memory and read as PCM: RIFF WAVE and Ogg Vorbis
// behind one reader, with the loop points found in the file.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora::audio {

enum DataType : int { kTypeWave = 0, kTypeVorbis = 1, kTypeOpus = 2, kTypeUnknown = -1 };

// Looks only at the signature and, for Ogg, at the first packet.
DataType detectType(std::string_view bytes);

struct PcmFormat {
  int channels = 2;
  int rate = 44100;
  int bits = 16;
  int blockAlign = 4;
  uint32_t bytesPerSecond = 176400;
};

// Positions are sample frames; a negative answer means the reader failed.
class Stream {
 public:
  virtual ~Stream() = default;
  virtual bool seekFrame(int64_t frame) = 0;
  virtual bool seekMs(int64_t ms) = 0;
  virtual int64_t tellFrame() = 0;
  virtual int64_t tellMs() = 0;
  virtual int64_t totalFrames() = 0;
  virtual int64_t totalMs() = 0;
  // Bytes delivered, 0 at the end of the data, negative on a decoding error.
  virtual long read(uint8_t* out, long bytes) = 0;

  PcmFormat format;
  int64_t loopA = 0, loopB = 0, loopC = 0;
  std::shared_ptr<const std::string> bytes;  // what the reader reads from
};

// The stream keeps the bytes alive. On failure the message (already in the engine's text,
// starting with the name) is in error and null comes back.
std::unique_ptr<Stream> openStream(std::shared_ptr<const std::string> bytes, DataType type,
                                   const std::string& name, std::string& error);

// The loop directive of a Vorbis comment list entry, e.g.
// "COMMENT=setSample 0,44100,441000". Returns false when it carries no loop
// information; badCount is set when the directive had the wrong number of values.
bool parseLoopComment(std::string_view comment, int rate, int64_t& a, int64_t& b, int64_t& c, bool& badCount);

}  // namespace velmora::audio
