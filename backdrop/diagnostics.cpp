#include "diagnostics.h"

#include <string.h>

char tempstr[1024];

char* get_system_message(void) {
  static char msg[260];
  const DWORD code = GetLastError();
  LPSTR text = NULL;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
      NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
      NULL);
  if (text) {
    strncpy(msg, text, sizeof msg - 1);  // cut to fit, terminator included
    msg[sizeof msg - 1] = '\0';
    LocalFree(text);
  } else {
    // No text for this code: say which code it was rather than nothing.
    wsprintfA(msg, "Error %lu.\r\n", code);
  }
  const size_t n = strlen(msg);
  if (n > 0 && msg[n - 1] == '\n') msg[n - 1] = '\0';
  return msg;
}
