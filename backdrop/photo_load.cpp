// The photo program's picture: "wfall.jpg" in the current folder, through the
// picture loader.
#include "backdrop.h"
#include "picture_loader.h"

char imj_name[] = "wfall.jpg";
const char* backdrop_file = imj_name;

HBITMAP backdrop_load(void) {
  return MakeImage(imj_name);
}
