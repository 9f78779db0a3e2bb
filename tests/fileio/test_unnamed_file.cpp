// Unnamed output files and the hidden temporaries of ended processes.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "fileio/UnnamedFile.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    names.insert(e.path().filename().string());
  }
  return names;
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The id of a process that has ended (and been reaped).
long EndedProcess() {
  const pid_t child = ::fork();
  if (child == 0) {
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

class UnnamedFileTest : public ::testing::Test {
protected:
  void SetUp() override { dir_ = test::MakeTempDir("unnamed"); }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string dir_;
};

TEST_F(UnnamedFileTest, HasNoNameUntilPublishedThenReplacesTheTarget) {
  const std::string target = dir_ + "/out.bmp";
  WriteText(target, "old");
  UnnamedFile file;
  if (!file.Open(dir_)) {
    GTEST_SKIP() << "this file system has no unnamed files";
  }
  WriteText(file.path(), "complete");
  EXPECT_EQ(Names(dir_), std::set<std::string>{"out.bmp"});
  EXPECT_EQ(ReadText(target), "old");
  ASSERT_TRUE(file.Publish(target));
  EXPECT_EQ(Names(dir_), std::set<std::string>{"out.bmp"});
  EXPECT_EQ(ReadText(target), "complete");
}

TEST_F(UnnamedFileTest, AnUnpublishedFileLeavesNothing) {
  {
    UnnamedFile file;
    if (!file.Open(dir_)) {
      GTEST_SKIP() << "this file system has no unnamed files";
    }
    WriteText(file.path(), "abandoned");
  }
  EXPECT_TRUE(Names(dir_).empty());
}

TEST_F(UnnamedFileTest, MissingFolderIsRefused) {
  UnnamedFile file;
  EXPECT_FALSE(file.Open(dir_ + "/missing"));
  EXPECT_TRUE(file.path().empty());
  EXPECT_FALSE(file.Publish(dir_ + "/x"));
}

TEST(TemporaryNames, CarryTheProcessId) {
  const long pid = static_cast<long>(::getpid());
  const std::string a = ProcessTemporaryName("/tmp/out", ".bmp");
  const std::string b = ProcessTemporaryName("/tmp/out/", ".bmp");
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind("/tmp/out/.kilnmark-" + std::to_string(pid) + "-", 0), 0u) << a;
  EXPECT_EQ(TemporaryNameOwner(fs::path(a).filename().string()), pid);
  EXPECT_EQ(TemporaryNameOwner(".kilnmark-123-4.bmp"), 123);
  EXPECT_EQ(TemporaryNameOwner("..kilnmark-123-4.bmp.part"), 123);  // the encoder's partial file
  for (const char* other : {"kilnmark-123-4.bmp", ".kilnmark-.bmp", ".kilnmark-12x-1", ".kilnmark-123",
                            ".out.bmp.part", "...kilnmark-1-2", ".kilnmark-1234567890-1"}) {
    EXPECT_EQ(TemporaryNameOwner(other), 0) << other;
  }
}

TEST_F(UnnamedFileTest, StaleTemporariesOfEndedProcessesAreRemoved) {
  const std::string ended = std::to_string(EndedProcess());
  const std::string alive = std::to_string(::getpid());
  for (const std::string& name : std::initializer_list<std::string>{".kilnmark-" + ended + "-0.bmp", "..kilnmark-" + ended + "-0.bmp.part",
                                  ".kilnmark-" + ended + "-3.link", ".kilnmark-" + alive + "-0.bmp",
                                  std::string(".a.bmp.part"), "kilnmark-" + ended + "-0.bmp", std::string("picture.bmp")}) {
    WriteText(dir_ + "/" + name, "x");
  }
  fs::create_directory(dir_ + "/.kilnmark-" + ended + "-9.bmp");  // not a file: kept
  EXPECT_EQ(RemoveStaleTemporaries(dir_), 3);
  EXPECT_EQ(Names(dir_), (std::set<std::string>{".kilnmark-" + alive + "-0.bmp", ".a.bmp.part",
                                                "kilnmark-" + ended + "-0.bmp", "picture.bmp",
                                                ".kilnmark-" + ended + "-9.bmp"}));
  EXPECT_EQ(RemoveStaleTemporaries(dir_ + "/missing"), 0);
}

}  // namespace
}  // namespace km
