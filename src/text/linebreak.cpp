#include "text/linebreak.h"

#include <algorithm>
#include <iterator>

namespace velmora::text {
namespace {

struct Range {
  char32_t first, last;
};

constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

bool inRanges(char32_t u, const Range* begin, const Range* end) {
  const Range* r = std::upper_bound(begin, end, u, [](char32_t v, const Range& x) { return v < x.first; });
  return r != begin && u <= (r - 1)->last;
}

constexpr char32_t kOpening[] = {
    U'(', U'[', U'{', U'\u00AB', U'\u2018', U'\u201C', U'\u3008', U'\u300A', U'\u300C', U'\u300E', U'\u3010',
    U'\u3014', U'\u3016', U'\u3018', U'\u301A', U'\u301D', U'\uFF08', U'\uFF3B', U'\uFF5B', U'\uFF62',
};
constexpr char32_t kClosing[] = {
    U'!', U'"', U'\'', U')', U',', U'.', U':', U';', U'?', U']', U'}', U'\u00BB', U'\u2019', U'\u201D',
    U'\u2026', U'\u3001', U'\u3002', U'\u3009', U'\u300B', U'\u300D', U'\u300F', U'\u3011', U'\u3015',
    U'\u3017', U'\u3019', U'\u301B', U'\u301E', U'\u301F', U'\uFF01', U'\uFF09', U'\uFF0C', U'\uFF0E',
    U'\uFF1A', U'\uFF1B', U'\uFF1F', U'\uFF3D', U'\uFF5D', U'\uFF61', U'\uFF63', U'\uFF64',
};
constexpr char32_t kNonStarters[] = {
    U'\u3005', U'\u3041', U'\u3043', U'\u3045', U'\u3047', U'\u3049', U'\u3063', U'\u3083', U'\u3085',
    U'\u3087', U'\u308E', U'\u309D', U'\u309E', U'\u30A1', U'\u30A3', U'\u30A5', U'\u30A7', U'\u30A9',
    U'\u30C3', U'\u30E3', U'\u30E5', U'\u30E7', U'\u30EE', U'\u30F5', U'\u30F6', U'\u30FC', U'\u30FD',
    U'\u30FE', U'\uFF67', U'\uFF70',
};
constexpr char32_t kHanging[] = {U'\u3001', U'\u3002', U'\u300D', U'\u300F', U'\uFF09'};

template <size_t N>
bool among(char32_t u, const char32_t (&sorted)[N]) {
  return std::binary_search(std::begin(sorted), std::end(sorted), u);
}

}  // namespace

bool isGridCharacter(char32_t u) { return u >= 0x1100 && inRanges(u, std::begin(kWide), std::end(kWide)); }

bool isHangingPunctuation(char32_t u) { return among(u, kHanging); }

BreakClass breakClass(char32_t u) {
  if ((u >= U'a' && u <= U'z') || (u >= U'A' && u <= U'Z') || (u >= U'0' && u <= U'9')) return BreakClass::Alphabetic;
  if (u == U' ' || u == U'\t' || u == U'\u3000' || (u >= 0x2000 && u <= 0x200A && u != 0x2007)) return BreakClass::Space;
  if (u == 0xA0 || u == 0x2007 || u == 0x2060 || u == 0x202F || u == 0xFEFF) return BreakClass::Glue;
  if (u == U'-' || u == 0x2010 || u == 0x2013 || u == 0x2014) return BreakClass::Hyphen;
  if (among(u, kOpening)) return BreakClass::Opening;
  if (among(u, kClosing)) return BreakClass::Closing;
  if (among(u, kNonStarters)) return BreakClass::NonStarter;
  if (isGridCharacter(u)) return BreakClass::Ideographic;
  return BreakClass::Alphabetic;
}

bool breakAllowed(char32_t before, char32_t after) {
  if (before == 0) return false;
  const BreakClass a = breakClass(before), b = breakClass(after);
  if (b == BreakClass::Space || b == BreakClass::Closing || b == BreakClass::NonStarter || b == BreakClass::Glue)
    return false;
  if (a == BreakClass::Opening || a == BreakClass::Glue) return false;
  if (a == BreakClass::Space) return true;
  if (a == BreakClass::Hyphen) return !(after >= U'0' && after <= U'9');
  return a == BreakClass::Ideographic || b == BreakClass::Ideographic || a == BreakClass::NonStarter ||
         (a == BreakClass::Closing && b == BreakClass::Opening && isGridCharacter(before));
}

}  // namespace velmora::text
