// rainbow_render as a user runs it: bad arguments give the usage and exit 2,
// an unwritable output exits 1 with a message and leaves no partial file, a
// good run writes a PNG of the asked size whose pixels are the pinned
// picture, within one window's memory; progress shows on a terminal only.
#include <gtest/gtest.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "backdrop_check.h"
#include "golden.h"
#include "support.h"

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

// How the child is started, beyond its arguments.
struct Launch {
  std::string stdout_path;   // instead of the captured file ("-": closed)
  rlim_t address_space = 0;  // bytes; 0: no limit (ulimit -v)
  rlim_t file_size = 0;      // bytes; 0: no limit (ulimit -f)
  int stdout_fd = -1;        // when not -1, standard output itself (a pipe)
};

// A sanitizer's shadow memory needs more address space than any limit allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif

std::string slurp(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class RenderCli : public testing::Test {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/rainbow_render_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    const std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }

  // Starts the tool in the scratch directory with `args`; stderr goes to
  // `err_fd` (-1: the captured file).
  pid_t start(const std::vector<std::string>& args, const Launch& launch = {}, int err_fd = -1) {
    const std::string out = launch.stdout_path.empty() ? dir + "/.stdout" : launch.stdout_path;
    const std::string err = dir + "/.stderr";
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(126);
      const int e = err_fd >= 0 ? err_fd : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (e < 0 || dup2(e, 2) < 0) _exit(126);
      if (launch.stdout_fd >= 0) {
        if (dup2(launch.stdout_fd, 1) < 0) _exit(126);
      } else if (out == "-") {
        close(1);
      } else {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (o < 0 || dup2(o, 1) < 0) _exit(126);
      }
      const rlimit as = {launch.address_space, launch.address_space};
      const rlimit fsize = {launch.file_size, launch.file_size};
      if (launch.address_space && setrlimit(RLIMIT_AS, &as) != 0) _exit(126);
      if (launch.file_size && setrlimit(RLIMIT_FSIZE, &fsize) != 0) _exit(126);
      signal(SIGXFSZ, SIG_IGN);  // an oversized write fails with EFBIG instead
      signal(SIGPIPE, SIG_DFL);  // as a shell starts it: the tool itself must ignore it
      std::vector<char*> argv = {const_cast<char*>(RAINBOW_RENDER)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(RAINBOW_RENDER, argv.data());
      _exit(127);
    }
    return pid;
  }

  // Runs the tool to its end.
  Outcome run(const std::vector<std::string>& args, const Launch& launch = {}) {
    const std::string out = dir + "/.stdout", err = dir + "/.stderr";
    Outcome r;
    const pid_t pid = start(args, launch);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
      r.exit_code = WEXITSTATUS(status);
    r.out = slurp(out);
    r.err = slurp(err);
    unlink(out.c_str());
    unlink(err.c_str());
    return r;
  }

  // Names in the scratch directory besides the captured output.
  int files() {
    const std::string cmd = "test -z \"$(ls -A '" + dir + "' | grep -v '^\\.std')\"";
    return system(cmd.c_str()) == 0 ? 0 : 1;
  }

  std::string dir;
};

// Decodes a PNG (a file, or the bytes themselves when `path` is empty) into
// COLORREF pixels; false when it is not one.
bool read_png(const std::string& path, int* w, int* h, std::vector<COLORREF>* px,
              const std::string& bytes = "") {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (path.empty() ? !png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())
                   : !png_image_begin_read_from_file(&image, path.c_str()))
    return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
  *w = static_cast<int>(image.width);
  *h = static_cast<int>(image.height);
  px->resize(rgb.size() / 3);
  for (size_t i = 0; i < px->size(); ++i)
    (*px)[i] = RGB(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  return true;
}

TEST_F(RenderCli, BadArgumentsNameTheArgumentThenGiveTheUsage) {
  struct Case {
    std::vector<std::string> args;
    std::string problem;  // the first line, after "rainbow_render: "
  };
  const std::string size = "--size \"", steps = "--steps \"", threads = "--threads \"";
  const char* kSize = "\": expected WxH, each side 1 to 16384";
  const char* kSteps = "\": expected a whole number 0 to 1000000000000";
  const char* kThreads = "\": expected a whole number 1 to 1024";
  const Case cases[] = {
      {{"--size"}, "--size needs a value: WxH, each side 1 to 16384"},
      {{"--size", "0x5"}, size + "0x5" + kSize},
      {{"--size", "10x"}, size + "10x" + kSize},
      {{"--size", "10"}, size + "10" + kSize},
      {{"--size", "-1x5"}, size + "-1x5" + kSize},
      {{"--size", "10x10x"}, size + "10x10x" + kSize},
      {{"--size", "16385x10"}, size + "16385x10" + kSize},
      {{"--size", "99999999999999999999x1"}, size + "99999999999999999999x1" + kSize},
      {{"--steps"}, "--steps needs a value: a whole number 0 to 1000000000000"},
      {{"--steps", "-1"}, steps + "-1" + kSteps},
      {{"--steps", "1e3"}, steps + "1e3" + kSteps},
      {{"--steps", "1000000000001"}, steps + "1000000000001" + kSteps},
      {{"--threads", "0"}, threads + "0" + kThreads},
      {{"--threads", "1025"}, threads + "1025" + kThreads},
      {{"--backdrop", ""}, "--backdrop \"\": expected a file name"},
      {{"--out", ""}, "--out \"\": expected a file name or -"},
      {{"--bogus"}, "unknown argument \"--bogus\""},
      {{"--size", "8x8", "--steps", "1", "extra"}, "unknown argument \"extra\""},
      {{"--size", "8x8", "--size", "9x9"}, "--size given twice"},  // which one was meant?
      {{"--steps", "1", "--out", "a.png", "--steps", "1"}, "--steps given twice"},
      {{"--out", "a.png", "--out", "a.png"}, "--out given twice"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += " [" + a + "]";
    SCOPED_TRACE(line);
    const Outcome r = run(c.args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err.rfind("rainbow_render: " + c.problem + "\nusage: rainbow_render", 0), 0u)
        << r.err;
    EXPECT_EQ(files(), 0) << "nothing written";
  }
}

TEST_F(RenderCli, UnwritableOutputFailsWithAMessage) {
  const std::string cases[] = {dir + "/no/such/dir/x.png", dir};
  for (const std::string& out : cases) {
    SCOPED_TRACE(out);
    const Outcome r = run({"--size", "8x8", "--steps", "10", "--out", out});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("rainbow_render: cannot write " + out), std::string::npos) << r.err;
  }
}

TEST_F(RenderCli, GoodRunsWriteAPictureOfTheAskedSize) {
  struct Case {
    std::vector<std::string> args;
    std::string file;
    int w, h;
    uint64_t hash;  // 0: not pinned
  };
  const Case cases[] = {
      {{}, "rainbow.png", 640, 480, 0},
      {{"--steps", "0", "--size", "7x5", "--out", "tiny.png"}, "tiny.png", 7, 5, 0},
      {{"--size", "1x300", "--steps", "1000", "--out", "narrow.png"}, "narrow.png", 1, 300, 0},
      {{"--size", std::to_string(rt::kGoldenWidth) + "x" + std::to_string(rt::kGoldenHeight),
        "--steps", std::to_string(rt::kGoldenSteps), "--out", "golden.png"},
       "golden.png",
       rt::kGoldenWidth,
       rt::kGoldenHeight,
       rt::kGoldenHash},
      // However many processors this machine has, a split run gives it too.
      {{"--size", std::to_string(rt::kGoldenWidth) + "x" + std::to_string(rt::kGoldenHeight),
        "--steps", std::to_string(rt::kGoldenSteps), "--threads", "3", "--out", "split.png"},
       "split.png",
       rt::kGoldenWidth,
       rt::kGoldenHeight,
       rt::kGoldenHash},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Outcome r = run(c.args);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "") << "a report of progress on a file";
    int w = 0, h = 0;
    std::vector<COLORREF> px;
    ASSERT_TRUE(read_png(dir + "/" + c.file, &w, &h, &px));
    EXPECT_EQ(w, c.w);
    EXPECT_EQ(h, c.h);
    if (c.hash != 0) {
      EXPECT_EQ(rt::fnv1a(px), c.hash) << "the pinned picture";
    }
  }
}

TEST_F(RenderCli, HelpAndStandardOutput) {
  const Outcome help = run({"--size", "8x8", "--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("usage: rainbow_render", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");
  // "-" puts the picture itself on stdout, and nothing else there.
  const Outcome r =
      run({"--size", std::to_string(rt::kGoldenWidth) + "x" + std::to_string(rt::kGoldenHeight),
           "--steps", std::to_string(rt::kGoldenSteps), "--out", "-"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  int w = 0, h = 0;
  std::vector<COLORREF> px;
  ASSERT_TRUE(read_png("", &w, &h, &px, r.out));
  EXPECT_EQ(rt::fnv1a(px), rt::kGoldenHash);
  EXPECT_EQ(files(), 0);
}

TEST_F(RenderCli, FailedWritesAreErrorsAndLeaveNoPartialPicture) {
  int no_reader[2];  // a pipe whose reader has gone
  ASSERT_EQ(pipe(no_reader), 0);
  close(no_reader[0]);
  struct Case {
    const char* what;
    std::vector<std::string> args;
    Launch launch;
    std::string message;
    bool picture_written;  // only the report failed
  };
  const Case cases[] = {
      {"a full device",
       {"--size", "64x64", "--out", "/dev/full"},
       {},
       "cannot write /dev/full: No space left on device",
       false},
      {"a file larger than allowed",
       {"--size", "640x480", "--out", "keep.png"},
       {"", 0, 4096},
       "cannot write keep.png: File too large",
       false},
      {"stdout on a full device",
       {"--size", "8x8", "--out", "keep.png"},
       {"/dev/full"},
       "cannot write to standard output: No space left on device",
       true},
      {"stdout closed",
       {"--size", "8x8", "--out", "keep.png"},
       {"-"},
       "cannot write to standard output",
       true},
      {"the picture into a pipe with no reader",
       {"--size", "64x64", "--out", "-"},
       {"", 0, 0, no_reader[1]},
       "cannot write -: Broken pipe\n",
       false},
      {"the report into a pipe with no reader",
       {"--size", "8x8", "--out", "keep.png"},
       {"", 0, 0, no_reader[1]},
       "cannot write to standard output: Broken pipe\n",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(dir + "/keep.png") << "the earlier picture";
    const Outcome r = run(c.args, c.launch);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("rainbow_render: " + c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("rainbow_render: ", 0), 0u) << "another's line first: " << r.err;
    EXPECT_EQ(slurp(dir + "/keep.png") == "the earlier picture", !c.picture_written);
    unlink((dir + "/keep.png").c_str());
    EXPECT_EQ(files(), 0) << "a temporary file left behind";
  }
  close(no_reader[1]);
}

TEST_F(RenderCli, LargestPictureNeedsLittleBeyondTheWindow) {
  if (kSanitized) GTEST_SKIP() << "address space limits do not work under a sanitizer";
  // The least address space a tiny picture needs: the program alone.
  rlim_t low = 16u << 20, high = 8ull << 30;
  while (high - low > (16u << 20)) {
    const rlim_t mid = low + (high - low) / 2;
    (run({"--size", "8x8", "--steps", "0"}, {"", mid}).exit_code == 0 ? high : low) = mid;
  }
  // The window's 256 MiB of pixels and a further 64 MiB hold the largest
  // picture, its rows written one at a time, where whole copies of its
  // pixels would take 448 MiB more at 8192 x 8192.
  const Outcome fits =
      run({"--size", "8192x8192", "--steps", "0"}, {"", high + (256u << 20) + (64u << 20)});
  EXPECT_EQ(fits.exit_code, 0) << fits.err;
  EXPECT_EQ(unlink((dir + "/rainbow.png").c_str()), 0);
  // Without room for the window's 1 GiB: one line with the reason, not an
  // abort, and no file.
  const Outcome short_of =
      run({"--size", "16384x16384", "--steps", "0"}, {"", high + (512u << 20)});
  EXPECT_EQ(short_of.exit_code, 1);
  EXPECT_EQ(short_of.err, "rainbow_render: not enough memory for a 16384x16384 picture\n");
  EXPECT_EQ(files(), 0);
}

TEST_F(RenderCli, ProgressShowsOnATerminalOnly) {
  // Two endless renders, the one on a file started first: once the one on a
  // terminal reports, both have drawn for over a second.
  const std::vector<std::string> endless = {"--steps", "1000000000000"};
  const int file_err = open((dir + "/.stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t on_file = start(endless, {"/dev/null"}, file_err);
  close(file_err);
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  const pid_t on_terminal = start(endless, {"/dev/null"}, terminal);
  close(terminal);
  std::string shown;
  pollfd p = {master, POLLIN, 0};
  char buf[256];
  while (shown.find(" left") == std::string::npos && poll(&p, 1, 20000) == 1) {
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;
    shown.append(buf, static_cast<size_t>(n));
  }
  for (pid_t pid : {on_file, on_terminal}) {
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
  }
  close(master);
  EXPECT_NE(shown.find("rainbow_render: "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" left"), std::string::npos) << "no estimate of the time left: " << shown;
  EXPECT_EQ(slurp(dir + "/.stderr"), "");
  unlink((dir + "/.stderr").c_str());
  EXPECT_EQ(files(), 0) << "an interrupted render leaves its temporary file";
}

}  // namespace

namespace {

// The picture a run writes, or an empty one after saying why.
std::vector<COLORREF> render_pixels(RenderCli* t, std::vector<std::string> args) {
  args.insert(args.end(), {"--out", "p.png"});
  const Outcome r = t->run(args);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  int w = 0, h = 0;
  std::vector<COLORREF> px;
  EXPECT_TRUE(read_png(t->dir + "/p.png", &w, &h, &px));
  unlink((t->dir + "/p.png").c_str());
  return px;
}

}  // namespace

// No steps, a few, millions (which the threads split), windows too narrow
// for the layout, and more threads than work: always one thread's picture.
TEST_F(RenderCli, AnyThreadCountDrawsTheOneThreadPicture) {
  const struct {
    const char* size;
    const char* steps;
  } cases[] = {{"7x5", "0"},          {"64x48", "5"},    {"320x240", "2500000"},
               {"40x300", "2000000"}, {"1x1", "300000"}, {"300x7", "1000000"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.size) + ", " + c.steps + " steps");
    const std::vector<COLORREF> one =
        render_pixels(this, {"--size", c.size, "--steps", c.steps, "--threads", "1"});
    ASSERT_FALSE(one.empty());
    for (const char* threads : {"2", "3", "7", "16"}) {
      SCOPED_TRACE(std::string(threads) + " threads");
      EXPECT_TRUE(
          render_pixels(this, {"--size", c.size, "--steps", c.steps, "--threads", threads}) == one);
    }
  }
}

// Killed at any moment, a render leaves nothing beside its target, and the
// earlier picture as it was.
TEST_F(RenderCli, KilledRenderLeavesNoTemporaryFile) {
  for (int sig : {SIGKILL, SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    std::ofstream(dir + "/keep.png") << "the earlier picture";
    const pid_t pid = start({"--steps", "1000000000000", "--out", "keep.png"}, {"/dev/null"});
    usleep(300000);  // well into the drawing
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
    EXPECT_EQ(slurp(dir + "/keep.png"), "the earlier picture");
    unlink((dir + "/keep.png").c_str());
    EXPECT_EQ(files(), 0) << "a temporary file left behind";
  }
}

// A symbolic link as --out: the file it names gets the picture, whether it
// exists or not, and the link stays a link.
TEST_F(RenderCli, OutputThroughALinkWritesTheFileItNames) {
  ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
  const struct {
    const char* link;
    const char* points_to;
    const char* file;  // the file that must hold the picture
    bool exists;
  } cases[] = {
      {"a.png", "sub/real.png", "sub/real.png", true},
      {"b.png", "sub/new.png", "sub/new.png", false},
      {"sub/c.png", "../d.png", "d.png", true},
      {"e.png", "sub/c.png", "d.png", true},  // a link to a link
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    if (c.exists) std::ofstream(dir + "/" + c.file) << "the earlier picture";
    struct stat st;
    if (lstat((dir + "/" + c.link).c_str(), &st) != 0) {
      ASSERT_EQ(symlink(c.points_to, (dir + "/" + c.link).c_str()), 0);
    }
    const Outcome r = run({"--size", "8x8", "--steps", "10", "--out", c.link});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_EQ(lstat((dir + "/" + c.link).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link replaced";
    int w = 0, h = 0;
    std::vector<COLORREF> px;
    EXPECT_TRUE(read_png(dir + "/" + c.file, &w, &h, &px));
    EXPECT_EQ(w, 8);
  }
}

// The backdrop programs' first paint: their picture stretched over the
// client by COLORONCOLOR's rule, then the first step's pixels over it.
TEST_F(RenderCli, BackdropIsTheProgramsFirstPaint) {
  const struct {
    const char* file;
    const char* size;
    int w, h;
  } cases[] = {{"bmp/pal256", "333x217", 333, 217},
               {"bmp/rgb24_topdown", "10x5", 10, 5},
               {"jpeg_decode/baseline_420", "640x480", 640, 480},
               {"jpeg_decode/baseline_420", "1000x90", 1000, 90}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " at " + c.size);
    const std::string ext = std::string(c.file).rfind("bmp", 0) == 0 ? ".bmp" : ".jpg";
    // Named as neither: the format comes from the content.
    ASSERT_EQ(system(("cp '" + bt::data(c.file + ext) + "' '" + dir + "/picture.dat'").c_str()), 0);
    const bt::Ppm ppm = bt::read_ppm(bt::data(std::string(c.file) + ".ppm"));
    const std::vector<COLORREF> black = render_pixels(this, {"--size", c.size, "--steps", "0"});
    for (const char* threads : {"1", "2"}) {
      const std::vector<COLORREF> shown = render_pixels(
          this,
          {"--size", c.size, "--steps", "0", "--threads", threads, "--backdrop", "picture.dat"});
      ASSERT_EQ(shown.size(), black.size());
      int differing = 0;
      for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
          const size_t i = static_cast<size_t>(y * c.w + x);
          const COLORREF want =
              black[i] != 0
                  ? black[i]
                  : ppm.px[static_cast<size_t>(bt::source_index(y, ppm.h, c.h, true) * ppm.w +
                                               bt::source_index(x, ppm.w, c.w, false))];
          differing += shown[i] != want;
        }
      EXPECT_EQ(differing, 0);
    }
    unlink((dir + "/picture.dat").c_str());
  }
}

// A backdrop that cannot be shown is an error, named in one line, and
// nothing is written.  Nothing but a regular file is read: a pipe with no
// writer is refused, not waited on.
TEST_F(RenderCli, UnusableBackdropIsAnError) {
  enum Kind { kBytes, kNone, kPipe, kSocket, kFolder };
  struct Case {
    std::string what;
    Kind kind;
    std::string bytes;
    std::string reason;
  };
  const std::string bmp = slurp(bt::data("bmp/pal256.bmp"));
  std::vector<Case> cases = {
      {"a missing file", kNone, "", "No such file or directory"},
      {"a named pipe with no writer", kPipe, "", "a pipe, not a picture file"},
      {"a socket", kSocket, "", "a socket, not a picture file"},
      {"a folder", kFolder, "", "Is a directory"},
      {"a text file", kBytes, "not a picture\n", "neither a BMP nor a JPEG picture"},
      {"a PNG", kBytes, "\x89PNG\r\n\x1A\n", "neither a BMP nor a JPEG picture"},
      {"an empty file", kBytes, "", "neither a BMP nor a JPEG picture"},
      {"a truncated BMP", kBytes, bmp.substr(0, 60),
       std::string("LoadImageA: ") + bt::kInvalidData},
  };
  for (const bt::RefusedJpeg& j : bt::refused_jpegs())
    cases.push_back({j.what, kBytes, j.bytes, std::string("OleLoadPicture: ") + j.reason});
  const std::string path = dir + "/b.dat";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.kind == kBytes) std::ofstream(path, std::ios::binary) << c.bytes;
    if (c.kind == kPipe) {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    if (c.kind == kFolder) {
      ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    }
    const int listener = c.kind == kSocket ? socket(AF_UNIX, SOCK_STREAM, 0) : -1;
    if (c.kind == kSocket) {
      sockaddr_un address = {};
      address.sun_family = AF_UNIX;
      ASSERT_LT(path.size(), sizeof address.sun_path);
      memcpy(address.sun_path, path.c_str(), path.size() + 1);
      ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
      ASSERT_EQ(listen(listener, 1), 0);
    }
    const Outcome r = run({"--size", "32x32", "--backdrop", "b.dat", "--out", "out.png"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "rainbow_render: cannot show b.dat: " + c.reason + "\n");
    if (listener >= 0) close(listener);
    if (c.kind == kFolder)
      rmdir(path.c_str());
    else
      unlink(path.c_str());
    EXPECT_EQ(files(), 0) << "an output written";
  }
}
