// The image library under its plain names with C linkage, for plug-ins that
// find them in the executable by name.
#include "image/image.h"
#include "image/routines.h"

namespace vi = velmora::image;
using Image = vi::Image;

extern "C" {

Image* createImage(int width, int height, int depth) { return vi::createImage(width, height, depth); }
Image* copyImage(Image* source) { return vi::copyImage(source); }
void freeImage(Image*& image) { vi::freeImage(image); }
Image* loadImage(unsigned char* data, int size) { return vi::loadImage(data, size); }
int saveImage(const char* path, Image* image, int format, int depth, int value, int option) {
  return vi::saveImage(path, image, format, depth, value, option);
}

int DurtyTransparency(Image* image, int radius) { return vi::DurtyTransparency(image, radius); }
int color2colorImage(Image* image, unsigned long from, unsigned long to, int kind) {
  return vi::color2colorImage(image, from, to, kind);
}
int negaposiImage(Image* image) { return vi::negaposiImage(image); }
int grayscalImage(Image* image) { return vi::grayscalImage(image); }
int bcImage(Image* image, int brightness, int contrast) { return vi::bcImage(image, brightness, contrast); }
int colorImage(Image* image, int red, int green, int blue) { return vi::colorImage(image, red, green, blue); }
int hslImage(Image* image, int hue, int saturation, int lightness) {
  return vi::hslImage(image, hue, saturation, lightness);
}
int colImage(Image* image, int kind, unsigned long colour) { return vi::colImage(image, kind, colour); }
int compositeImage(Image*& destination, Image* source, int mode, int x, int y, int expand) {
  return vi::compositeImage(destination, source, mode, x, y, expand);
}
int blendImage(Image*& destination, Image* source, int mode, int x, int y, int opacity, int expand) {
  return vi::blendImage(destination, source, mode, x, y, opacity, expand);
}
int blurImage(Image* image, int radiusX, int radiusY) { return vi::blurImage(image, radiusX, radiusY); }
int mosaicImage(Image* image, int blockWidth, int blockHeight) {
  return vi::mosaicImage(image, blockWidth, blockHeight);
}

int clippingImage(Image*& dst, Image* src, int x, int y, int width, int height) {
  return vi::clippingImage(dst, src, x, y, width, height);
}
int clippingImage2(Image*& image, int x, int y, int width, int height) {
  return vi::clippingImage2(image, x, y, width, height);
}
int eraseImage(Image* image, int x, int y, int width, int height) {
  return vi::eraseImage(image, x, y, width, height);
}
int trimmingImage(Image*& dst, Image* src, int sides, int symmetric, int threshold) {
  return vi::trimmingImage(dst, src, sides, symmetric, threshold);
}
int trimmingImage2(Image*& image, int sides, int symmetric, int threshold) {
  return vi::trimmingImage2(image, sides, symmetric, threshold);
}
int flipHorizontalImage(Image*& dst, Image* src) { return vi::flipHorizontalImage(dst, src); }
int flipHorizontalImage2(Image*& image) { return vi::flipHorizontalImage2(image); }
int flipVerticalImage(Image*& dst, Image* src) { return vi::flipVerticalImage(dst, src); }
int flipVerticalImage2(Image*& image) { return vi::flipVerticalImage2(image); }
int rotateImage(Image*& dst, Image* src, double angle, double scale, int filter) {
  return vi::rotateImage(dst, src, angle, scale, filter);
}
int rotateImage2(Image*& image, double angle, double scale, int filter) {
  return vi::rotateImage2(image, angle, scale, filter);
}
int resizeImage(Image*& dst, Image* src, double width, double height, int unit, int downFilter, int upFilter) {
  return vi::resizeImage(dst, src, width, height, unit, downFilter, upFilter);
}
int resizeImage2(Image*& image, double width, double height, int unit, int downFilter, int upFilter) {
  return vi::resizeImage2(image, width, height, unit, downFilter, upFilter);
}

}  // extern "C"
