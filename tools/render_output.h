// Where rainbow_render's PNG goes: standard output; a device or pipe,
// written in place; or a regular file, replaced whole only once the
// picture is complete, so a failed, interrupted or killed run never leaves
// a partial picture, a stray temporary file, or a changed earlier one.
#ifndef RAINBOW_TOOLS_RENDER_OUTPUT_H
#define RAINBOW_TOOLS_RENDER_OUTPUT_H

#include <stdio.h>

#include <string>

class Output {
 public:
  // Opens before any drawing, so a bad path fails at once.  A symbolic
  // link is followed: the file it names is written, the link kept.
  bool open(const std::string& target, std::string* reason);
  FILE* file() const { return file_; }
  // Puts the complete picture in place; a full disk may show only here.
  bool commit(std::string* reason);
  // Drops whatever was written.
  void abandon();

 private:
  bool open_unnamed(const std::string& dir);
  bool open_named(const std::string& dir, const std::string& base, std::string* reason);
  bool link_unnamed(std::string* reason);

  std::string target_;  // the file itself, links followed
  std::string dir_, base_;
  FILE* file_ = nullptr;
  bool unnamed_ = false;  // no name yet: the kernel drops it if we die
};

// Removes the temporary name, if any, when a signal ends the process; for
// the last resort of running out of memory too.
void remove_temporary_name();

#endif  // RAINBOW_TOOLS_RENDER_OUTPUT_H
