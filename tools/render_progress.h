// Percent done and the time left of a render, on a terminal's stderr once
// the drawing has taken a second; nothing at all when stderr is a file or a
// pipe, where it would be noise.
#ifndef RAINBOW_TOOLS_RENDER_PROGRESS_H
#define RAINBOW_TOOLS_RENDER_PROGRESS_H

class Progress {
 public:
  // `unit` names what is counted: "steps", "rays".
  Progress(unsigned long long total, const char* unit);
  void at(unsigned long long done);
  void finish();

 private:
  unsigned long long total_;
  const char* unit_;
  bool on_, shown_ = false;
  double start_, last_ = 0;
};

#endif  // RAINBOW_TOOLS_RENDER_PROGRESS_H
