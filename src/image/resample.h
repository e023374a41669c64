#pragma once
// Shared pieces of the resamplers: the general rotation and the row bands
// that the worker-thread paths split their output into.
#include <functional>

#include "image/image.h"

namespace velmora::image {

int rotateGeneral(Image*& dst, Image* src, double angle, double scale, int filter);

// Splits rows 0..rows-1 into workerThreads() bands of rows / N (the last takes
// the remainder); N - 1 threads run the first bands, the caller the last.
void runBands(int rows, const std::function<void(int first, int end)>& band);

// The resize start rule, 18-bit and 16-bit forms.
int64_t bilinearStart18(int from, int to);
int64_t bilinearStart16(int from, int to);

}  // namespace velmora::image
