// rainbow_render --model physical as a user runs it: the same picture and
// profile for any number of threads; bad arguments named, exit status 2;
// nothing written when a file cannot be.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class PhysicalCli : public testing::Test {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/rainbow_physical_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { ASSERT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0); }

  // Runs the tool in the scratch directory; its exit status, stderr in err.
  int run(const std::string& args) {
    const std::string cmd =
        "cd '" + dir + "' && '" RAINBOW_RENDER "' " + args + " >/dev/null 2>.err";
    const int status = system(cmd.c_str());
    err = slurp(".err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string slurp(const std::string& name) {
    std::ifstream f(dir + "/" + name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  bool exists(const std::string& name) {
    struct stat st;
    return stat((dir + "/" + name).c_str(), &st) == 0;
  }

  std::string dir, err;
};

TEST_F(PhysicalCli, SamePictureAndProfileForAnyThreads) {
  const char* scenes[] = {
      "--size 160x120",
      "--size 160x120 --sun-elevation 12 --polarizer 30 --sun-disc 2",
  };
  for (const char* scene : scenes) {
    std::string picture, profile;
    for (int threads : {1, 2, 3, 7}) {
      const std::string t = std::to_string(threads);
      ASSERT_EQ(run(std::string("--model physical --steps 500000 ") + scene + " --threads " + t +
                    " --out p" + t + ".png --profile p" + t + ".csv --profile-bin 0.1"),
                0)
          << err;
      if (threads == 1) {
        picture = slurp("p1.png"), profile = slurp("p1.csv");
        EXPECT_GT(picture.size(), 1000u);
        EXPECT_EQ(profile.rfind("scattering_angle_deg,perpendicular,parallel\n120.050000,", 0), 0u);
        EXPECT_EQ(std::count(profile.begin(), profile.end(), '\n'), 601);
      } else {
        EXPECT_TRUE(slurp("p" + t + ".png") == picture) << scene << ", " << t << " threads";
        EXPECT_TRUE(slurp("p" + t + ".csv") == profile) << scene << ", " << t << " threads";
      }
    }
  }
}

TEST_F(PhysicalCli, BadArgumentsAreNamed) {
  struct Case {
    const char* args;
    const char* named;
  } cases[] = {
      {"--model quantum", "--model \"quantum\""},
      {"--model physical --wavelength 300", "--wavelength \"300\""},
      {"--model physical --sun-elevation 91", "--sun-elevation \"91\""},
      {"--model physical --index 1.33x", "--index \"1.33x\""},
      {"--model physical --optics waves", "--optics \"waves\""},
      {"--model physical --profile-bin 0", "--profile-bin \"0\""},
      {"--model physical --temperature", "--temperature needs a value"},
      {"--polarizer 10", "--polarizer needs --model physical"},
      {"--model physical --drop-radius 20", "--drop-radius needs --optics airy or mie"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(c.args), 2) << c.args;
    EXPECT_NE(err.find(c.named), std::string::npos) << c.args << ": " << err;
    EXPECT_FALSE(exists("rainbow.png")) << c.args;
  }
}

TEST_F(PhysicalCli, NoFileWhenOneCannotBeWritten) {
  EXPECT_EQ(run("--model physical --steps 1000 --out a.png --profile no/such/dir/p.csv"), 1);
  EXPECT_NE(err.find("no/such/dir/p.csv"), std::string::npos) << err;
  EXPECT_FALSE(exists("a.png"));
}

}  // namespace
