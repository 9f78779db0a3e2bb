#pragma once

// The bad-file corpus of one format: every file in tests/data/bad/<format>/ (except its
// README) must give a non-zero code and no image. Each file's README line says what it
// guards.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "fileio/imgx/Codes.h"
#include "imaging/Dib.h"

namespace km::test {

inline void ExpectBadCorpus(const std::string& format,
                            const std::function<imgx::Code(const std::string&, DibHandle*)>& decode) {
  const std::filesystem::path dir = std::filesystem::path(KILNMARK_TEST_DATA) / "bad" / format;
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename() == "README") {
      continue;
    }
    ++files;
    DibHandle out;
    const imgx::Code code = decode(entry.path().string(), &out);
    EXPECT_NE(code, imgx::kOk) << entry.path();
    EXPECT_EQ(out, nullptr) << entry.path();
  }
  EXPECT_GT(files, 0);
}

}  // namespace km::test
