// rainbow_render's command line.
#ifndef RAINBOW_TOOLS_RENDER_OPTIONS_H
#define RAINBOW_TOOLS_RENDER_OPTIONS_H

#include <string>

#include "sky.h"

struct Options {
  int width = 640;
  int height = 480;
  unsigned long long steps = 2000000;
  std::string out = "rainbow.png";
  int threads = 0;  // 0: one per processor the process may use
  std::string backdrop;
  bool help = false;
  // The physical model (--model physical) and its settings; size and
  // threads come from the fields above.
  bool physical = false;
  bool steps_given = false;
  physical::Settings sky;
  double exposure = 0;  // 0: chosen from the picture
  std::string profile;  // the profile's CSV file, if any
};

extern const char kUsage[];
extern const char kHelp[];

// False with what is wrong (naming the argument) for anything unknown,
// missing, out of range or given twice (which of two values was meant
// cannot be known).
bool parse_options(int argc, char** argv, Options* o, std::string* problem);

// The processors this process may run on.
int usable_processors();

#endif  // RAINBOW_TOOLS_RENDER_OPTIONS_H
