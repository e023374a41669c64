#pragma once
// Where the reading of a ruby goes over its base: the same rule serves the
// message window and the backlog's string renderer.
#include <string_view>

namespace velmora::text {

struct RubyPlan {
  int characters = 0;  // reading characters (a two-byte one counts once)
  int width = 0;       // t: reading bytes x pitch / 4
  int gap = 0;         // h
  int start = 0;       // u, relative to the grid origin
};

// reading: the bytes between '/' and '}'; a = current column, b = base start
// column, pitch = character pitch.
RubyPlan planRuby(std::string_view reading, int a, int b, int pitch);
// How far one reading character moves the pen.
inline int rubyAdvance(bool twoByte, int pitch, int gap) { return (twoByte ? pitch / 2 : pitch / 4) + gap; }

}  // namespace velmora::text
