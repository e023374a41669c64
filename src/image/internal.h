#pragma once
// Shared pieces of the image library that plug-ins do not see.
#include <cstdint>
#include <string>

#include "image/image.h"

namespace velmora::image::detail {

// Decoders refuse pictures above this many pixels (16384 x 16384): a hostile
// header must not make the engine reserve gigabytes it will never fill.
constexpr int64_t kMaxDecodePixels = int64_t(1) << 28;

// Start-up tables shared by the codecs, the operations and the resamplers.
struct Tables {
  double lumR[256], lumG[256], lumB[256];
  uint8_t blend[21][65536];   // [mode - 1][j * 256 + k]
  uint8_t product[65536];     // [a * 256 + b]
  uint8_t unionAlpha[65536];  // [s * 256 + d]
  uint8_t remainder[65536];   // [s * 256 + d]
  int32_t weight[65536];      // [r * 256 + s]
  int32_t reciprocal[256];
  uint8_t div3[255 * 3 + 1], div5[255 * 5 + 1], div6[255 * 6 + 1];
  uint8_t div7[255 * 7 + 1], div9[255 * 9 + 1], div10[255 * 10 + 1];
};
const Tables& tables();
// The division table for k in {3, 5, 6, 7, 9, 10}, null for other k.
const uint8_t* divisionTable(int k);

// Prints a tagged message (UTF-8 source text, printed as CP932) on stdout.
void say(const char* utf8);
void sayf(const char* utf8Format, ...);

// Replaces a three-letter extension ("x.png" -> "x.jpg") in place; names
// without one are left as they are.
void replaceExtension(char* name, const char* ext3);

// Copies text into the record's name, truncated to 255 bytes.
void setName(Image* image, const char* text, size_t length);

// Signed decimal as the engine reads it from text chunks.
int32_t parseDecimal(const char* text, size_t length);

Image* decodePng(const uint8_t* data, size_t size);
Image* decodeJpeg(const uint8_t* data, size_t size);
Image* decodeBmp(const uint8_t* data, size_t size);
Image* decodeTlg(const uint8_t* data, size_t size);  // TLG0.0, TLG5.0 or TLG6.0
Image* decodeTlg5(const uint8_t* data, size_t size);
Image* decodeTlg6(const uint8_t* data, size_t size);

int savePng(const char* path, Image* image, int depth, int value, int option);
int saveJpeg(const char* path, Image* image, int depth, int value, int option);
int saveBmp(const char* path, Image* image, int depth);
int saveTlg(const char* path, Image* image, int depth, int value);

// Raw TLG streams of 1, 3 or 4 channels (bytes B, G, R, A of each pixel).
bool encodeTlg5(const Image& image, int channels, std::string& out);
bool encodeTlg6(const Image& image, int channels, std::string& out);

// Compresses one alpha plane (count bytes) as a one-channel JPEG.
bool encodeGreyJpeg(const uint8_t* plane, int width, int height, int quality, int option, std::string& out);

inline uint8_t* bytes(Image* image) { return reinterpret_cast<uint8_t*>(image->pixels); }
inline const uint8_t* bytes(const Image* image) { return reinterpret_cast<const uint8_t*>(image->pixels); }

}  // namespace velmora::image::detail
