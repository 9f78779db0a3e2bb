// A run over 1,000 small files: it completes, converts every file, and the process's
// resident memory does not grow with the number of files beyond the log itself.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "BatchTestKit.h"

// Under AddressSanitizer freed blocks wait in a quarantine (256 MiB by default) before
// they are reused, and the pages it holds stay resident: over 1,000 files that looks
// like growth per file. This program keeps the quarantine at 1 MiB, ample for these
// tests' use-after-free checks, and drains it before each reading. Both are unused in
// builds without the sanitizer (the purge function is then null).
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=1"; }
extern "C" void __sanitizer_purge_allocator() __attribute__((weak));

namespace km::test {
namespace {

long ResidentBytes() {
  if (__sanitizer_purge_allocator != nullptr) {
    __sanitizer_purge_allocator();
  }
  long pages = 0;
  long resident = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) {
    return -1;
  }
  const int read = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  return read == 2 ? resident * ::sysconf(_SC_PAGESIZE) : -1;
}

// Keeps nothing per file, so only the run's own state can grow.
class MeasuringObserver : public BatchObserver {
public:
  void fileStarted(int number, int /*total*/, bool /*scanning*/) override {
    if (number == 201) {
      after200 = ResidentBytes();
    }
  }
  void runFinished(const BatchOutcome&) override { after1000 = ResidentBytes(); }
  long after200 = -1;
  long after1000 = -1;
};

TEST(BatchScale, ThousandSmallFilesWithoutGrowthPerFile) {
  constexpr int kFiles = 1000;
  BatchFolder folder("batch-scale");
  // 64 x 64 at 24 bits: 12 KiB per image, so keeping one image (or its file's bytes)
  // per file would add some 10 MiB over the last 800 files, far above the allowance.
  DibHandle image = MakeRgb(64, 64, 0, 0, 0);
  FillRandom(*image, 7);
  WriteBmp(folder.inPath("img.bmp"), *image);
  const std::vector<std::uint8_t> bytes = FileBytesOf(folder.inPath("img.bmp"));
  std::string list;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "f" + std::to_string(i) + ".bmp";
    WriteText(folder.inPath(name), std::string(bytes.begin(), bytes.end()));
    list += name + "\n";
  }
  WriteText(folder.listPath(), list);
  CScript script;
  AddCommand(script, 507);  // mirror
  AddCommand(script, 544);

  MeasuringObserver observer;
  FakeMessageService messages;
  MemoryProfile profile;
  const FileTypeTable types;
  BatchRun run(script, folder.Settings(), profile, observer, messages, types);
  ASSERT_EQ(run.RunBatch(), 1);
  EXPECT_EQ(run.outcome().converted, kFiles);
  EXPECT_EQ(FolderNames(folder.out()).size(), static_cast<std::size_t>(kFiles));
  ASSERT_GT(observer.after200, 0);
  ASSERT_GT(observer.after1000, 0);

  // What the later 800 files may add: their log lines (kept for the log window and
  // CURRENT.LOG) with generous allocator overhead, plus a fixed 2 MiB of slack.
  std::size_t logBytes = 0;
  for (const std::string& line : run.log()) {
    logBytes += line.capacity() + sizeof(std::string);
  }
  const long allowed = static_cast<long>(logBytes) * 2 + (2L << 20);
  const long growth = observer.after1000 - observer.after200;
  std::printf("resident after 200 files %ld KiB, after 1000 files %ld KiB, growth %ld KiB, allowed %ld KiB\n",
              observer.after200 / 1024, observer.after1000 / 1024, growth / 1024, allowed / 1024);
  EXPECT_LT(growth, allowed);
}

}  // namespace
}  // namespace km::test
