// The bitmap program's picture: "wfall.bmp" in the current folder, loaded by
// the system's image loader with its own pixel format kept.
#include "backdrop.h"
#include "shell.h"

const char img_name[] = "wfall.bmp";
const char* backdrop_file = img_name;

HBITMAP backdrop_load(void) {
  return static_cast<HBITMAP>(
      LoadImageA(g_hinst, img_name, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}
