// rainbow_render as a user runs it: bad arguments give the usage and exit 2,
// an unwritable output exits 1 with a message, a good run writes a PNG of
// the asked size whose pixels are the pinned picture.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "golden.h"
#include "support.h"

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class RenderCli : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rainbow_render_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    const std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }

  // Runs the tool in the scratch directory with `args`.
  Outcome run(const std::vector<std::string>& args) {
    const std::string out = dir + "/.stdout", err = dir + "/.stderr";
    Outcome r;
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(126);
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
      std::vector<char*> argv = {const_cast<char*>(RAINBOW_RENDER)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(RAINBOW_RENDER, argv.data());
      _exit(127);
    }
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

// Decodes a PNG into COLORREF pixels; false when it is not one.
bool read_png(const std::string& path, int* w, int* h, std::vector<COLORREF>* px) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
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

TEST_F(RenderCli, BadArgumentsGiveTheUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {"--size"},
      {"--size", "0x5"},
      {"--size", "10x"},
      {"--size", "10"},
      {"--size", "-1x5"},
      {"--size", "10x10x"},
      {"--size", "16385x10"},
      {"--size", "99999999999999999999x1"},
      {"--steps"},
      {"--steps", "-1"},
      {"--steps", "1e3"},
      {"--steps", "1000000000001"},
      {"--out", ""},
      {"--bogus"},
      {"--size", "8x8", "--steps", "1", "extra"},
  };
  for (const std::vector<std::string>& args : cases) {
    std::string line;
    for (const std::string& a : args) line += " [" + a + "]";
    SCOPED_TRACE(line);
    const Outcome r = run(args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err.rfind("usage: rainbow_render", 0), 0u) << r.err;
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Outcome r = run(c.args);
    ASSERT_EQ(r.exit_code, 0) << r.err;
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

}  // namespace
