#pragma once
// The engine's picture: the Image record, its codecs and the image library's
// operations. Plug-ins see the same record and the same functions through the
// C-linkage names in exports.cpp, so the layout below is a binary interface.
#include <cstddef>
#include <cstdint>

#include "core/report.h"

namespace velmora::image {

// 4-byte packing keeps the pixel pointer right after count, as the plug-in
// ABI expects, also on 64-bit builds.
#pragma pack(push, 4)
struct Image {
  char name[256];   // base image of a difference image (CP932), empty otherwise
  int32_t left;
  int32_t top;
  uint32_t mode;    // compositeImage mode to lay it on its base
  int32_t width;
  int32_t height;
  int32_t depth;    // 32 alpha significant, 24 opaque, 8 one-channel source
  int32_t count;    // width * height
  uint32_t* pixels; // 0xAARRGGBB, rows top to bottom, then one zeroed guard row
};
#pragma pack(pop)
static_assert(offsetof(Image, left) == 256 && offsetof(Image, count) == 280);
static_assert(offsetof(Image, pixels) == 284 && sizeof(Image) == 284 + sizeof(void*));

// ---- record and codecs --------------------------------------------------
enum SaveFormat { kSaveBmp = 0, kSavePng = 1, kSaveJpeg = 2, kSaveTlg = 3, kSaveFormatCount };

Image* createImage(int width, int height, int depth);
Image* copyImage(const Image* source);
void freeImage(Image*& image);
Image* loadImage(const unsigned char* data, int size);
// The size a BMP, PNG, JPEG or TLG file declares, from its header alone
// (nothing is decoded or checked beyond it); false for other data.
struct PictureSize {
  int64_t width = 0, height = 0;
};
bool readPictureSize(const unsigned char* data, size_t size, PictureSize& out);
int saveImage(const char* path, Image* image, int format, int depth, int value, int option);

// Argument checks of the screenshot command: each bad value is reported
// through the reporter given and replaced.
void checkScreenShotArgs(int format, int& depth, int& value, int& option, ErrorReporter report);

// Grey value of one pixel by the engine's luminance weights.
int luminance(uint32_t pixel);

// ---- image operations ---------------------------------------------------
int DurtyTransparency(Image* image, int radius);
int color2colorImage(Image* image, unsigned long from, unsigned long to, int kind);
int negaposiImage(Image* image);
int grayscalImage(Image* image);
int bcImage(Image* image, int brightness, int contrast);
int colorImage(Image* image, int red, int green, int blue);
int hslImage(Image* image, int hue, int saturation, int lightness);
int colImage(Image* image, int kind, unsigned long colour);
int compositeImage(Image*& destination, Image* source, int mode, int x, int y, int expand);
int blendImage(Image*& destination, Image* source, int mode, int x, int y, int opacity, int expand);
int blurImage(Image* image, int radiusX, int radiusY);
int mosaicImage(Image* image, int blockWidth, int blockHeight);

// Engine-internal: the cross-fade of two equally sized pixel buffers (factor
// 0-256), and the two mask-to-alpha passes behind blend modes 22 and 23.
int blendTwoImages(Image* destination, const uint32_t* first, const uint32_t* second, int factor);
int maskToAlpha(Image* destination, const Image* mask, int kind, int x, int y);
int maskToAlphaSideBySide(Image*& image, int kind, int x, int y);
// Kind used when modes 22/23 are reached through blendImage/compositeImage.
void setMaskKind(int kind);

// ---- geometry and resampling --------------------------------------------
int clippingImage(Image*& dst, Image* src, int x, int y, int width, int height);
int clippingImage2(Image*& image, int x, int y, int width, int height);
int eraseImage(Image* image, int x, int y, int width, int height);
int trimmingImage(Image*& dst, Image* src, int sides, int symmetric, int threshold);
int trimmingImage2(Image*& image, int sides, int symmetric, int threshold);
int flipHorizontalImage(Image*& dst, Image* src);
int flipHorizontalImage2(Image*& image);
int flipVerticalImage(Image*& dst, Image* src);
int flipVerticalImage2(Image*& image);
int rotateImage(Image*& dst, Image* src, double angle, double scale, int filter);
int rotateImage2(Image*& image, double angle, double scale, int filter);
int resizeImage(Image*& dst, Image* src, double width, double height, int unit, int downFilter, int upFilter);
int resizeImage2(Image*& image, double width, double height, int unit, int downFilter, int upFilter);

// ---- processor-specific routines ----------------------------------------
struct CpuSettings {
  bool thread = true, mmx = true, sse = true, sse2 = true;
};
// Chosen once when the display starts; tests may call it again between runs.
void selectRoutines(const CpuSettings& settings);
int workerThreads();
void setWorkerThreads(int n);  // for tests and benchmarks
bool simdBlend();              // normal and two-picture blends use the vector path
bool threadedBilinear();       // bilinear resize/rotation use the 16-bit banded path
bool avx2Paths();              // those vector paths run in their AVX2 forms

}  // namespace velmora::image
