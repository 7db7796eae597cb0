// The message box on Wayland, where a client cannot draw a box of its own
// without a toolkit: zenity shows it, as SDL's box does.  SDL's zenity,
// though, outlived a program killed while the box was up.  Ours asks the
// kernel to kill it when the thread that started it ends (PR_SET_PDEATHSIG)
// before it runs zenity, and that thread waits for it until it exits: so
// the box goes with the program however that ends, SIGKILL included.
#include "backend_wayland_box.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "box_text.h"

namespace plat {
namespace backend {

namespace {

// The program's text in zenity's UTF-8, its lines (box_text.h) ended by "\n".
std::string zenity_text(const char* s) {
  const std::vector<std::string> lines = box_lines(s);
  std::string out = utf8_from_latin1(lines[0]);
  for (size_t i = 1; i < lines.size(); ++i) out += '\n' + utf8_from_latin1(lines[i]);
  return out;
}

// zenity's path, looked up before forking: the child of a process with
// threads may make only async-signal-safe calls until it runs zenity.
std::string find_zenity() {
  const char* path = getenv("PATH");
  const std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    const std::string file = dir + "/zenity";
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0)
      return file;
    start = end + 1;
  }
  return "";
}

// The exit status of the child, or -1 if it cannot be had; waits as long
// as the box is up, whatever signals the program catches meanwhile.
int wait_for(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return status;
}

// Starts zenity with `args`; its process id, or -1 when it did not start.
// The child reports a failed exec on a pipe that a successful one closes.
pid_t start(const std::string& zenity, std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return -1;
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    // The parent may have ended before the request was made: then nobody
    // is left to answer the box.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
    execve(zenity.c_str(), argv.data(), environ);
    const int e = errno;
    if (write(report[1], &e, sizeof e) < 0) _exit(126);
    _exit(127);
  }
  close(report[1]);
  if (child < 0) {
    close(report[0]);
    return -1;
  }
  int e = 0;
  ssize_t n;
  while ((n = read(report[0], &e, sizeof e)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (n != 0) {  // the exec failed (or the pipe did): nothing is shown
    wait_for(child);
    return -1;
  }
  return child;
}

}  // namespace

bool wayland_message_box(const char* caption, const char* text) {
  const std::string zenity = find_zenity();
  if (zenity.empty()) return false;
  // What SDL's box passes, as a plain information box with its one OK.
  std::vector<std::string> args = {"zenity",
                                   "--info",
                                   "--no-wrap",
                                   "--no-markup",
                                   "--title=" + zenity_text(caption),
                                   "--text=" + zenity_text(text)};
  const pid_t child = start(zenity, args);
  if (child < 0) return false;
  const int status = wait_for(child);
  // zenity exits 0 for OK and 1 for Escape or the close box; anything else
  // (an error, a signal) may have left the text unseen.
  if (status < 0) return errno == ECHILD;  // reaped elsewhere: it has ended
  return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1);
}

}  // namespace backend
}  // namespace plat
