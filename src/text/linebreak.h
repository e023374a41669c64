#pragma once
// Where Unicode games may break a row and which characters keep the
// full-width grid: the common cases of the Unicode line-breaking rules, plus
// the hanging punctuation the Shift_JIS layout already has.
namespace velmora::text {

enum class BreakClass {
  Alphabetic,   // letters, digits and other symbols: words
  Space,        // breaks after, hangs at the row end
  Glue,         // no-break spaces and joiners: never a break either side
  Hyphen,       // breaks after, unless a digit follows
  Opening,      // never a break after
  Closing,      // never a break before
  NonStarter,   // small kana and prolonged sound marks: never a row start
  Ideographic,  // CJK: breaks either side
};

BreakClass breakClass(char32_t u);

// A break is allowed between before and after (the visible characters around
// the gap; before is 0 at the start of a line).
bool breakAllowed(char32_t before, char32_t after);

// East Asian wide and full-width characters: they advance a full grid pitch.
bool isGridCharacter(char32_t u);

// Punctuation that may hang past the row end instead of starting the next.
bool isHangingPunctuation(char32_t u);

}  // namespace velmora::text
