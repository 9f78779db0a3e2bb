// Replays kept fuzz inputs through their entry, with any compiler and without libFuzzer:
//
//   fuzz_replay <target> <file or folder>...
//
// Every regular file named (folders: every regular file inside, in name order) is fed
// to the target's entry once. A broken promise aborts, so the run fails under the
// sanitizers just as the fuzzer would. Prints how many inputs ran; exit status 2 for an
// unknown target or a folder that cannot be read, 1 when no input was found.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzEntries.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <target> <file or folder>...\n", argv[0]);
    return 2;
  }
  const auto* target = std::find_if(std::begin(km::fuzz::kTargets), std::end(km::fuzz::kTargets),
                                    [&](const km::fuzz::Target& t) { return std::strcmp(t.name, argv[1]) == 0; });
  if (target == std::end(km::fuzz::kTargets)) {
    std::fprintf(stderr, "unknown target %s\n", argv[1]);
    return 2;
  }
  std::vector<fs::path> inputs;
  for (int i = 2; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      std::vector<fs::path> found;
      for (const auto& e : fs::directory_iterator(argv[i], ec)) {
        if (e.is_regular_file()) {
          found.push_back(e.path());
        }
      }
      if (ec) {
        std::fprintf(stderr, "cannot read %s\n", argv[i]);
        return 2;
      }
      std::sort(found.begin(), found.end());
      inputs.insert(inputs.end(), found.begin(), found.end());
    } else if (fs::is_regular_file(argv[i], ec)) {
      inputs.emplace_back(argv[i]);
    }
  }
  for (const fs::path& p : inputs) {
    std::ifstream f(p, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    std::fprintf(stderr, "%s\n", p.c_str());
    target->entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%s: %zu inputs replayed\n", target->name, inputs.size());
  return inputs.empty() ? 1 : 0;
}
