// Plain main() for the fuzz target: runs it once over every file named on the
// command line, or found in a named directory, so a corpus replays as an
// ordinary test without libFuzzer. Fails when there was nothing to run.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

void run(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  unsigned count = 0;
  for (int i = 1; i < argc; i++) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (const fs::directory_entry& e : fs::directory_iterator(argv[i], ec)) {
        if (e.is_regular_file()) run(e.path()), count++;
      }
    } else if (fs::is_regular_file(argv[i], ec)) {
      run(argv[i]), count++;
    } else {
      fprintf(stderr, "%s: no such file or directory\n", argv[i]);
      return 1;
    }
  }
  printf("%u inputs run\n", count);
  return count ? 0 : 1;
}
