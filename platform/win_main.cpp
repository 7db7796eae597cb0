// The process entry on hosts without Windows: what the C runtime's start-up
// code does before WinMain.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  std::string command_line;  // the arguments after the program name, as Win32 passes them
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line += ' ';
    command_line += argv[i];
  }
  return WinMain(GetModuleHandleA(nullptr), nullptr, &command_line[0], SW_SHOWDEFAULT);
}
