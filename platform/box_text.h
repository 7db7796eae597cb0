// The message boxes' text: its lines, where Win32's "\r\n" ends a line as
// "\n" does; the programs' ANSI strings are Latin-1, and the window systems'
// boxes take UTF-8.
#ifndef RAINBOW_PLATFORM_BOX_TEXT_H
#define RAINBOW_PLATFORM_BOX_TEXT_H

#include <string>
#include <vector>

namespace plat {

inline std::vector<std::string> box_lines(const char* text) {
  std::vector<std::string> lines(1);
  for (const char* p = text; *p; ++p) {
    if (*p == '\n')
      lines.emplace_back();
    else if (*p != '\r')
      lines.back() += *p;
  }
  return lines;
}

inline std::string utf8_from_latin1(const std::string& s) {
  std::string out;
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
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
