// A picture behind the bows, loaded and stretched with the same calls as
// the backdrop programs, so that a render shows what their window shows.
#ifndef RAINBOW_TOOLS_RENDER_BACKDROP_H
#define RAINBOW_TOOLS_RENDER_BACKDROP_H

#include <windows.h>

#include <string>
#include <vector>

#include "backdrop.h"

class Backdrop {
 public:
  // Loads `path`, a BMP or a JPEG told apart by their first bytes, and
  // fetches its pixels in their own format through hwnd's device context.
  bool load(HWND hwnd, const std::string& path, std::string* reason);
  // Stretches the picture over the whole client, w x h.
  bool paint(HWND hwnd, int w, int h, std::string* reason);

 private:
  t_BACKDROPINFO info_ = {};
  std::vector<unsigned char> bits_;
};

#endif  // RAINBOW_TOOLS_RENDER_BACKDROP_H
