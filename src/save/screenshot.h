#pragma once
// The screenshot image: taken by setScreenShot from the frame (or, in jump
// mode, composed on the CPU from the sprites' pictures), written by
// saveScreenShot in any of the four picture formats.
#include <string>

namespace velmora::image {
struct Image;
}

namespace velmora::save {

// Replaces the held screenshot with the current screen at width x height.
void takeScreenShot(int width, int height);
// Checks the arguments (reporting and replacing bad ones) and writes the
// held screenshot; false when nothing was written.
bool writeScreenShot(const std::string& file, int format, int depth, int value, int option);
const image::Image* screenShot();
void releaseScreenShot();

}  // namespace velmora::save
