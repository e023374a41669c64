#pragma once
// Byte classes every scan of Shift_JIS text in the engine shares.

namespace velmora {

inline bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool isLeadByte(char c) { return isLeadByte(static_cast<unsigned char>(c)); }

// '.', digits, '@', letters and '_': the characters of command and label names.
inline bool isIdentChar(char ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  return c == '.' || (c >= '0' && c <= '9') || c == '@' || (c >= 'A' && c <= 'Z') || c == '_' ||
         (c >= 'a' && c <= 'z');
}

inline bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace velmora
