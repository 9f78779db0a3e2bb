#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

// A file of zero bytes or one byte, read as every file type the table offers: each
// reader must answer a code without an image (and, under the sanitizers, without
// touching the empty buffer).
TEST(EmptyFiles, EveryFileTypeRefusesThemCleanly) {
  const std::string dir = test::MakeTempDir("empty");
  const FileTypeTable types;
  const InputPreferences preferences;
  for (const std::string& content : {std::string(), std::string(1, '\0'), std::string("P")}) {
    const std::string path = dir + "/input";
    std::ofstream(path, std::ios::binary) << content;
    for (int entry = 0; entry <= types.entryCount(); ++entry) {
      const ReadResult r = ReadImageFile(nullptr, types, preferences, path, entry);
      EXPECT_NE(r.code, 0) << "entry " << entry << ", " << content.size() << " bytes";
      EXPECT_EQ(r.image, nullptr) << "entry " << entry;
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace km
