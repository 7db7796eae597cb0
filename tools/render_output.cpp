#include "render_output.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary file's name while it has one, for the signal handler
// (which may only unlink).
char g_temp_path[4096];

void remove_temp_and_die(int sig) {
  remove_temporary_name();
  signal(sig, SIG_DFL);
  raise(sig);
}

bool fail(int e, std::string* reason) {
  *reason = strerror(e);
  return false;
}

// The file a chain of symbolic links ends at (which need not exist yet).
bool follow_links(std::string path, std::string* out, std::string* reason) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *out = path;
      return true;
    }
    char link[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
    if (n < 0) return fail(errno, reason);
    link[n] = '\0';
    const size_t slash = path.rfind('/');
    path = link[0] == '/' || slash == std::string::npos ? std::string(link)
                                                        : path.substr(0, slash + 1) + link;
  }
  return fail(ELOOP, reason);
}

void set_temp_path(const std::string& path) {
  memcpy(g_temp_path, path.c_str(), path.size() + 1);
}

}  // namespace

void remove_temporary_name() {
  if (g_temp_path[0]) unlink(g_temp_path);
}

bool Output::open(const std::string& target, std::string* reason) {
  if (target == "-") {
    if (isatty(1)) return *reason = "standard output is a terminal", false;
    file_ = stdout;
    return true;
  }
  if (!follow_links(target, &target_, reason)) return false;
  struct stat st;
  if (stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) return fail(EISDIR, reason);
    file_ = fopen(target_.c_str(), "wb");
    return file_ ? true : fail(errno, reason);
  }
  const size_t slash = target_.rfind('/');
  dir_ = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  base_ = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  if (dir_.size() + base_.size() + 16 >= sizeof g_temp_path) return fail(ENAMETOOLONG, reason);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, remove_temp_and_die);
  return open_unnamed(dir_.empty() ? "." : dir_) || open_named(dir_, base_, reason);
}

// A file with no name in the target's folder, which nothing can leave behind.
bool Output::open_unnamed(const std::string& dir) {
#ifdef O_TMPFILE
  // It is given its name through /proc; without /proc it could get none.
  if (access("/proc/self/fd", X_OK) != 0) return false;
  const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return false;  // not on this file system: a named one instead
  file_ = fdopen(fd, "wb");
  if (!file_) close(fd);
  unnamed_ = file_ != nullptr;
  return unnamed_;
#else
  (void)dir;
  return false;
#endif
}

bool Output::open_named(const std::string& dir, const std::string& base, std::string* reason) {
  set_temp_path(dir + "." + base + ".XXXXXX");
  const int fd = mkstemp(g_temp_path);
  if (fd < 0) {
    const int e = errno;
    g_temp_path[0] = '\0';
    return fail(e, reason);
  }
  // mkstemp makes the file private; a picture gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    const int e = errno;
    close(fd);
    abandon();
    return fail(e, reason);
  }
  return true;
}

// Gives the unnamed file a temporary name beside the target, for the rename
// that replaces the target in one step (a link cannot replace a file).
bool Output::link_unnamed(std::string* reason) {
  const std::string fd_path = "/proc/self/fd/" + std::to_string(fileno(file_));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    const unsigned pick =
        static_cast<unsigned>(getpid()) * 2654435761u + static_cast<unsigned>(attempt);
    snprintf(suffix, sizeof suffix, ".%06x", pick & 0xFFFFFFu);
    set_temp_path(dir_ + "." + base_ + suffix);
    if (linkat(AT_FDCWD, fd_path.c_str(), AT_FDCWD, g_temp_path, AT_SYMLINK_FOLLOW) == 0)
      return true;
    const int e = errno;
    g_temp_path[0] = '\0';
    if (e != EEXIST) return fail(e, reason);
  }
  return fail(EEXIST, reason);
}

bool Output::commit(std::string* reason) {
  if (file_ == stdout) return fflush(stdout) == 0 || fail(errno, reason);
  if (fflush(file_) != 0) {
    const int e = errno;
    abandon();
    return fail(e, reason);
  }
  if (unnamed_ && !link_unnamed(reason)) {
    abandon();
    return false;
  }
  const bool closed = fclose(file_) == 0;
  const int e = errno;
  file_ = nullptr;
  unnamed_ = false;
  if (!closed) {
    abandon();
    return fail(e, reason);
  }
  if (g_temp_path[0] && rename(g_temp_path, target_.c_str()) != 0) {
    const int renamed_errno = errno;
    abandon();
    return fail(renamed_errno, reason);
  }
  g_temp_path[0] = '\0';
  return true;
}

void Output::abandon() {
  if (file_ && file_ != stdout) fclose(file_);
  file_ = nullptr;
  unnamed_ = false;
  remove_temporary_name();
  g_temp_path[0] = '\0';
}
