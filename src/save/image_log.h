#pragma once
// Image-log pictures: each backlog page keeps up to 16 records of 192 bytes,
// one per sprite on screen when it closed; getImgLog lays the pictures they
// name out again on the CPU (cut, effects, colour, mask, scale, rotation,
// blend) and puts the result into a sprite.
#include <cstdint>
#include <string>

namespace velmora::image {
struct Image;
}

namespace velmora::save {

// The kind bits of a record (the sprite's kind mark).
enum LogKind { kLogFramed = 1, kLogMovie = 2, kLogRenderTarget = 4 };

// One record, read from its little-endian layout.
struct LogRecord {
  std::string path, mask;
  int x = 0, y = 0, scaleW = 100, scaleH = 100, rotation = 0;
  int cutX = 0, cutY = 0, cutW = 0, cutH = 0;
  int originX = 1, originY = 1, canvasW = 0, canvasH = 0, frames = 1;
  int alpha = 255, kind = 0, blend = 1;
  int negative = 0, grayscale = 0, turn = 0;
  int maskReverse = 0, maskProgress = 0, maskVague = 0;
  int sprite = 0, group = 0, colourMode = 0;
  uint32_t colour = 0;
  int32_t brightnessContrast = 0, colourEffect = 0, hsl = 0, blur = 0, mosaic = 0;
};
LogRecord readLogRecord(const uint8_t* record);

// The screen picture of a page's records (16 x 192 bytes); null when the
// page has none or its canvas could not be made.
image::Image* imageLogPicture(const uint8_t* records);
// Puts that picture into sprite n's back slot (shown at the next commit); the
// sprite's name then holds the entry index in its second byte. False when
// nothing was put.
bool showImageLog(int n, const uint8_t* records, int entry);
// getImgLog: the page `back` pages before the current one.
void getImgLog(int n, int back);
// The picture of an image-log sprite loaded in jump mode, from the page its
// name records.
image::Image* rebuildImageLog(int n);

}  // namespace velmora::save
