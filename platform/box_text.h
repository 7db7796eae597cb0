// The message boxes' text: the programs' ANSI strings are Latin-1, and the
// window systems' boxes take UTF-8.
#ifndef RAINBOW_PLATFORM_BOX_TEXT_H
#define RAINBOW_PLATFORM_BOX_TEXT_H

#include <string>

namespace plat {

inline std::string utf8_from_latin1(const char* s) {
  std::string out;
  for (; *s; ++s) {
    const unsigned char c = static_cast<unsigned char>(*s);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace plat

#endif  // RAINBOW_PLATFORM_BOX_TEXT_H
