// The process entry on hosts without Windows: what the C runtime's start-up
// code does before WinMain.  A GUI program with no display could never show
// its window nor be closed, so it says so in one line and ends at once.
#include <windows.h>

#include <errno.h>  // program_invocation_short_name
#include <rainbow_platform.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

int main(int argc, char** argv) {
  char reason[256];
  if (!PlatformOpenDisplay(reason, sizeof reason)) {
    fprintf(stderr, "%s: %s\n", program_invocation_short_name, reason);  // as the backend says it
    return 1;
  }
  int code;
  {
    std::string command_line;  // the arguments after the program name, as Win32 passes them
    for (int i = 1; i < argc; ++i) {
      if (i > 1) command_line += ' ';
      command_line += argv[i];
    }
    code = WinMain(GetModuleHandleA(nullptr), nullptr, &command_line[0], SW_SHOWDEFAULT);
  }
  // exit() rather than a return: in a browser main() has given its turn back
  // to the page (backend_web.cpp) long before it ends, and a plain return
  // would then end nothing.
  exit(code);
}
