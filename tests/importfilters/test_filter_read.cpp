// Reading through import filters, in this process and in the host program: the picture
// at its bounds' size, every result code, "GetFilterPref" only with the prompt flag,
// the fallback after a failed library read, and, in the host, a crashing filter, a
// hanging one ended by cancel, and no exchange files left behind.

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/Profile.h"
#include "fileio/ReadImage.h"
#include "fileio/filters/ImportFilters.h"
#include "importfilters/FilterTestKit.h"

namespace km {
namespace {

namespace fs = std::filesystem;
using test::TestFilter;

constexpr char kSection[] = "MS Graphic Import Filters";

// Cancelled once the given time has passed.
class CancelAfter final : public ProgressSink {
public:
  explicit CancelAfter(std::chrono::milliseconds after) : at_(std::chrono::steady_clock::now() + after) {}
  void report(int) override {}
  bool cancelled() override { return std::chrono::steady_clock::now() >= at_; }

private:
  std::chrono::steady_clock::time_point at_;
};

// Param: true runs every filter in the host program.
class FilterRead : public test::FilterFolder, public ::testing::WithParamInterface<bool> {
protected:
  void SetUp() override {
    FilterFolder::SetUp();
    // Exchange folders go here, so the test sees that none is left.
    fs::create_directories(Path("tmp"));
    setenv("TMPDIR", Path("tmp").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TMPDIR");
    FilterFolder::TearDown();
  }
  // One registration "Name=library,EXT,options", read at once into a table.
  FileTypeTable Table(const std::vector<std::string>& lines) {
    return BuildFileTypeTable(1, kSection, {Register(lines)}, GetParam());
  }
  // Reads an empty file with the extension `ext`.
  ReadResult Read(const FileTypeTable& t, const std::string& ext, int prompt = 1, int tableIndex = -1) {
    const std::string file = Path("in." + ext);
    test::WriteText(file, "");
    InputPreferences p;
    p.metafilePrompt = prompt;
    return ReadImageFile(nullptr, t, p, file, tableIndex);
  }
  std::string Log() const { return test::ReadText(Path("log")); }
  std::string LogOption() const { return "log=" + Path("log"); }
};

TEST_P(FilterRead, PictureArrivesAtItsBoundsSizeWithoutPreferences) {
  const FileTypeTable t = Table({"Test=" + TestFilter() + ",TST," + LogOption()});
  const ReadResult r = Read(t, "tst");
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.type, 508);
  test::ExpectTestPicture(r.image.get());  // bounds 8 x 4 at 192 units per inch: 4 x 2
  EXPECT_EQ(Log().rfind("info 2\nimport " + Path("in.tst") + "\npid ", 0), 0u) << Log();
  EXPECT_TRUE(fs::is_empty(Path("tmp")));
}

TEST_P(FilterRead, PreferencesAskedForOnlyWithThePromptFlag) {
  const FileTypeTable t = Table({"Test=" + TestFilter() + ",TST," + LogOption()});
  ASSERT_EQ(Read(t, "tst", 1).code, 0);  // stored "WMF_Prompt" 1: flag 0
  EXPECT_EQ(Log().find("pref"), std::string::npos);
  ASSERT_EQ(Read(t, "tst", 0).code, 0);  // stored 0: flag 1
  EXPECT_NE(Log().find("pref ok\n"), std::string::npos) << Log();
}

TEST_P(FilterRead, EveryCode) {
  fs::copy_file(TestFilter(), Path("copy.so"));
  const struct {
    std::string registration;
    int code;
  } cases[] = {
      {TestFilter() + ",C01,version1", 5201},
      {TestFilter() + ",C02,fail=5307", 5301},
      {TestFilter() + ",C03,fail=5308", 5301},
      {TestFilter() + ",C04,fail=5314", 5301},
      {TestFilter() + ",C05,fail=5310", 100},
      {TestFilter() + ",C06,fail=5319", 100},
      {TestFilter() + ",C07,fail=5355", 100},
      {TestFilter() + ",C08,fail=5301", 5301},
      {TestFilter() + ",C09,fail=4321", 4321},
      {TestFilter() + ",C10,nometa", 5202},
      {TestFilter() + ",C11,inch0", 304},
      {TestFilter("kmtest-filter-noimport") + ",C12", 5202},
      {TestFilter("kmtest-filter-noinfo") + ",C13", 104},
      {Path("copy.so") + ",C14", 104},  // removed after registration
      {TestFilter("kmtest-filter-upper") + ",C15", 0},
  };
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    lines.push_back("Case " + std::to_string(i) + "=" + cases[i].registration);
  }
  const FileTypeTable t = Table(lines);
  ASSERT_EQ(t.entryCount(), 29 + static_cast<int>(std::size(cases)));
  fs::remove(Path("copy.so"));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const ReadResult r = Read(t, "c" + std::string(i + 1 < 10 ? "0" : "") + std::to_string(i + 1));
    EXPECT_EQ(r.code, cases[i].code) << cases[i].registration;
    EXPECT_EQ(r.image != nullptr, cases[i].code == 0) << cases[i].registration;
  }
  EXPECT_TRUE(fs::is_empty(Path("tmp")));
}

TEST_P(FilterRead, VersionOneIsRefusedBeforeAnyImport) {
  const FileTypeTable t = Table({"Old=" + TestFilter() + ",OLD,version1 " + LogOption()});
  EXPECT_EQ(Read(t, "old", 0).code, 5201);
  EXPECT_EQ(Log(), "info 2\n");
}

TEST_P(FilterRead, FailedLibraryReadFallsBackToAFilterOnlyUnderAllFiles) {
  const FileTypeTable t = Table({"CGM Filter=" + TestFilter() + ",CGM"});
  const std::string file = Path("broken.cgm");
  test::WriteText(file, "this is no metafile at all");
  InputPreferences p;
  const ReadResult all = ReadImageFile(nullptr, t, p, file, 0);
  ASSERT_EQ(all.code, 0);
  EXPECT_EQ(all.type, 111);
  test::ExpectTestPicture(all.image.get());
  const int cgmEntry = t.findKey("CGM");
  ASSERT_EQ(t.entry(cgmEntry).type, 111);
  const ReadResult chosen = ReadImageFile(nullptr, t, p, file, cgmEntry);
  EXPECT_NE(chosen.code, 0);
  EXPECT_EQ(chosen.image, nullptr);
  EXPECT_NE(ReadImageFile(nullptr, t, p, file, -1).code, 0);
}

INSTANTIATE_TEST_SUITE_P(InProcessAndHost, FilterRead, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Host" : "InProcess"; });

class FilterHost : public FilterRead {};

TEST_P(FilterHost, CrashingFilterCostsOneFile) {
  const FileTypeTable t = Table({"Crash=" + TestFilter() + ",CRA,crash", "Test=" + TestFilter() + ",TST"});
  EXPECT_EQ(Read(t, "cra").code, 5301);
  const ReadResult after = Read(t, "tst");
  ASSERT_EQ(after.code, 0);
  test::ExpectTestPicture(after.image.get());
  EXPECT_TRUE(fs::is_empty(Path("tmp")));
}

TEST_P(FilterHost, CancelEndsAHangingFilter) {
  const FileTypeTable t = Table({"Hang=" + TestFilter() + ",HNG,hang " + LogOption()});
  test::WriteText(Path("in.hng"), "");
  CancelAfter cancel(std::chrono::milliseconds(500));
  const auto start = std::chrono::steady_clock::now();
  const ReadResult r = ReadImageFile(&cancel, t, InputPreferences{}, Path("in.hng"), -1);
  EXPECT_EQ(r.code, 100);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  const std::string log = Log();
  const std::size_t at = log.find("pid ");
  ASSERT_NE(at, std::string::npos) << log;
  const pid_t pid = std::atoi(log.c_str() + at + 4);
  EXPECT_EQ(kill(pid, 0), -1);  // ended and reaped
  EXPECT_EQ(errno, ESRCH);
  EXPECT_TRUE(fs::is_empty(Path("tmp")));
}

TEST_P(FilterHost, APathThatWouldBreakTheExchangeFileIsRefused) {
  const FileTypeTable t = Table({"Test=" + TestFilter() + ",TST"});
  const std::string file = Path("two\nlines.tst");
  test::WriteText(file, "");
  EXPECT_EQ(ReadImageFile(nullptr, t, InputPreferences{}, file, -1).code, 5301);
}

INSTANTIATE_TEST_SUITE_P(Isolated, FilterHost, ::testing::Values(true),
                         [](const auto&) { return "Host"; });

}  // namespace
}  // namespace km
