// Files per second of a whole batch run, next to GraphicsMagick's mogrify and
// vipsthumbnail doing the nearest equivalent work in the same process run.
//
// 50 twelve-megapixel JPEGs (4000 x 3000) are made once in a temporary folder with the
// project's encoder (KILNMARK_BENCH_FILES=n makes n instead, for a short run). The
// script resamples each to 1600 pixels wide keeping the aspect (501: size choice 6,
// area-averaging resampler), applies "Filter: Sharpen" (541: the 3 x 3 kernel
// 0 -1 0 / -1 10 -1 / 0 -1 0 over 6) and writes JPEG at quality 85. It runs with one
// worker and with one worker per usable core. The mogrify command uses the box filter
// (area averaging when shrinking), the same kernel through -convolve (which divides by
// the kernel's sum, 6) and the same quality, once with its default threads and once
// limited to one thread (OMP_NUM_THREADS=1). vipsthumbnail only resizes (and decodes
// the JPEGs shrunk on load, which the batch run does not), one thread
// (VIPS_CONCURRENCY=1), beside our run of the resize alone with one worker.
//
// Each batch run is made in a child process, so its peak resident memory is its own:
// the counters give it per worker beside the size of one decoded picture (36 MB).
//
// Not part of the test suite: run it by hand from an optimised build,
//   cmake --preset default && cmake --build build/default --target bench_batch_throughput
//   build/default/bin/bench_batch_throughput
// The counters give files/s for each and the ratios.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "batch/BatchRun.h"
#include "batch/JobCount.h"
#include "common/MessageService.h"
#include "common/Profile.h"
#include "fileio/FileTypeTable.h"
#include "fileio/IoSettings.h"
#include "fileio/WriteImage.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"
#include "script/Script.h"

namespace {

namespace fs = std::filesystem;

// The number of inputs: 50, or KILNMARK_BENCH_FILES.
int FileCount() {
  static const int count = [] {
    const char* given = std::getenv("KILNMARK_BENCH_FILES");
    const int n = given != nullptr ? std::atoi(given) : 0;
    return n > 0 && n <= 200 ? n : 50;
  }();
  return count;
}
constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kTargetWidth = 1600;

// A photograph-like picture: smooth gradients with a little noise, different per seed,
// so the JPEG coder has real detail to work on.
km::DibHandle MakePicture(unsigned seed) {
  km::DibHandle dib;
  if (km::Dib::Create(kWidth, kHeight, 24, 0, &dib) != km::kOk) {
    return nullptr;
  }
  std::minstd_rand noise(seed);
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* p = dib->row(y);
    for (int x = 0; x < kWidth; ++x) {
      const int n = static_cast<int>(noise() % 17) - 8;
      const int b = (x * 255 / kWidth + static_cast<int>(seed) * 5 + n) & 0xFF;
      const int g = (y * 255 / kHeight + n) & 0xFF;
      const int r = ((x + y) * 255 / (kWidth + kHeight) + ((x / 97 + y / 61) % 2) * 40 + n) & 0xFF;
      p[3 * x] = static_cast<std::uint8_t>(b);
      p[3 * x + 1] = static_cast<std::uint8_t>(g);
      p[3 * x + 2] = static_cast<std::uint8_t>(r);
    }
  }
  return dib;
}

// The generated inputs, removed with their outputs when the program ends.
struct Corpus {
  Corpus() = default;
  Corpus(Corpus&& other) noexcept
      : root(std::move(other.root)), in(std::move(other.in)), list(std::move(other.list)),
        error(std::move(other.error)) {
    other.root.clear();
  }
  Corpus(const Corpus&) = delete;
  Corpus& operator=(const Corpus&) = delete;
  Corpus& operator=(Corpus&&) = delete;
  ~Corpus() {
    if (!root.empty()) {
      std::error_code ec;
      fs::remove_all(root, ec);
    }
  }
  std::string root;
  std::string in;
  std::string list;
  std::string error;
};

// Writes the inputs once: with the project's JPEG encoder, or through GraphicsMagick
// when that encoder is not available in this build.
const Corpus& Inputs() {
  static const Corpus corpus = [] {
    Corpus c;
    std::string pattern = (fs::temp_directory_path() / "kilnmark-bench-batch-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      c.error = "cannot make a temporary folder";
      return c;
    }
    c.root = pattern;
    c.in = c.root + "/in";
    c.list = c.root + "/list.txt";
    fs::create_directories(c.in);
    std::string names;
    for (int i = 0; i < FileCount(); ++i) {
      const std::string name = "photo" + std::to_string(i) + ".jpg";
      const std::string path = c.in + "/" + name;
      km::DibHandle dib = MakePicture(static_cast<unsigned>(i + 1));
      if (!dib) {
        c.error = "out of memory";
        return c;
      }
      if (km::imgx::EncodeJPG(nullptr, path, dib.get(), 85, 300, 0) != 0) {
        const std::string bmp = c.root + "/tmp.bmp";
        if (km::imgx::EncodeBMP(nullptr, bmp, dib.get(), 0) != 0 ||
            std::system(("gm convert -quality 85 '" + bmp + "' '" + path + "'").c_str()) != 0) {
          c.error = "cannot write the input JPEGs";
          return c;
        }
        fs::remove(bmp);
      }
      names += name + "\n";
    }
    FILE* f = std::fopen(c.list.c_str(), "wb");
    if (f == nullptr || std::fwrite(names.data(), 1, names.size(), f) != names.size()) {
      c.error = "cannot write the list file";
    }
    if (f != nullptr) {
      std::fclose(f);
    }
    return c;
  }();
  return corpus;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A batch run with `jobs` workers, in a child process: seconds, the files converted
// and the child's peak resident bytes (beside the parent's resident bytes at the fork).
double RunBatchOnce(const Corpus& c, int jobs, bool resizeOnly, int* converted, long long* peakBytes,
                    long long* baseBytes, double* cpuSeconds) {
  km::CScript script;
  auto resize = std::make_unique<km::CScriptCommand>(501);
  resize->Int1 = 6;  // width Int3, height keeping the aspect
  resize->Int2 = 1;  // resample
  resize->Int3 = kTargetWidth;
  script.Append(std::move(resize));
  if (!resizeOnly) {
    script.Append(std::make_unique<km::CScriptCommand>(541));
  }
  auto options = std::make_unique<km::CScriptCommand>(km::kSetOutputOptions);
  options->Int1 = km::kOutJPG - 1;
  options->Int2 = 0;
  script.Append(std::move(options));

  const std::string out = c.root + "/out-batch";
  fs::remove_all(out);
  km::BatchSettings settings;
  settings.inputFolder = c.in;
  settings.outputFolder = out;
  settings.listFile = c.list;
  settings.outputFormat = km::kOutJPG;
  settings.subType = 0;
  settings.currentLogPath = c.root + "/CURRENT.LOG";
  settings.jobs = jobs;
  km::MemoryProfile profile;
  km::OutputOptions stored;
  stored.compression = 15;  // quality 100 - 15 = 85
  stored.dpi = 300;
  km::SaveOutputOptions(profile, stored);

  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    long size = 0;
    if (std::fscanf(statm, "%ld %ld", &size, &pages) != 2) {
      pages = 0;
    }
    std::fclose(statm);
  }
  *baseBytes = static_cast<long long>(pages) * ::sysconf(_SC_PAGESIZE);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    km::BatchObserver observer;
    km::SilentMessageService messages;
    const km::FileTypeTable types;
    km::BatchRun run(script, settings, profile, observer, messages, types);
    run.RunBatch();
    ::_exit(run.outcome().converted);
  }
  int status = 0;
  rusage usage{};
  const bool waited = child > 0 && ::wait4(child, &status, 0, &usage) == child;
  const double seconds = Seconds(start);
  *converted = waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  *peakBytes = static_cast<long long>(usage.ru_maxrss) * 1024;
  *cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return seconds;
}

// vipsthumbnail on one thread, resize only: seconds, or a negative value on failure.
double RunVipsOnce(const Corpus& c) {
  const std::string out = c.root + "/out-vips";
  fs::remove_all(out);
  fs::create_directories(out);
  const std::string command = "cd '" + c.in + "' && VIPS_CONCURRENCY=1 vipsthumbnail --size " +
                              std::to_string(kTargetWidth) + "x -o '" + out + "/%s.jpg[Q=85]' *.jpg";
  const auto start = std::chrono::steady_clock::now();
  const bool ok = std::system(command.c_str()) == 0;
  const double seconds = Seconds(start);
  std::size_t written = 0;
  for (const auto& entry : fs::directory_iterator(out)) {
    written += entry.path().extension() == ".jpg";
  }
  return ok && written == static_cast<std::size_t>(FileCount()) ? seconds : -1;
}

double RunMogrifyOnce(const Corpus& c, bool oneThread, bool* ok) {
  const std::string out = c.root + (oneThread ? "/out-gm1" : "/out-gm");
  fs::remove_all(out);
  fs::create_directories(out);
  // mogrify puts each input's path as given under the output folder: name them bare.
  const std::string command = "cd '" + c.in + "' && " + (oneThread ? "OMP_NUM_THREADS=1 " : "") +
                              "gm mogrify -output-directory '" + out + "' -filter Box -resize " +
                              std::to_string(kTargetWidth) +
                              "x -convolve 0,-1,0,-1,10,-1,0,-1,0 -quality 85 *.jpg";
  const auto start = std::chrono::steady_clock::now();
  *ok = std::system(command.c_str()) == 0;
  const double seconds = Seconds(start);
  std::size_t written = 0;
  for (const auto& entry : fs::directory_iterator(out)) {
    written += entry.path().extension() == ".jpg";
  }
  *ok = *ok && written == static_cast<std::size_t>(FileCount());
  return seconds;
}

// The speed-up `threads` busy loops get over one on this machine now: what other work
// leaves to a run with one worker per core, the most its ratio over one worker can be.
double SpinSpeedup(int threads) {
  const auto spin = [] {
    volatile std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < 300000000u; ++i) {
      sum = sum + i;
    }
  };
  auto start = std::chrono::steady_clock::now();
  spin();
  const double single = Seconds(start);
  start = std::chrono::steady_clock::now();
  std::vector<std::thread> spinning;
  for (int i = 0; i < threads; ++i) {
    spinning.emplace_back(spin);
  }
  for (std::thread& t : spinning) {
    t.join();
  }
  return threads * single / Seconds(start);
}

void BM_BatchVersusMogrify(benchmark::State& state) {
  const Corpus& c = Inputs();
  if (!c.error.empty()) {
    state.SkipWithError(c.error.c_str());
    return;
  }
  if (std::system("gm version >/dev/null 2>&1") != 0) {
    state.SkipWithError("GraphicsMagick (gm) is not installed");
    return;
  }
  const bool haveVips = std::system("vipsthumbnail --version >/dev/null 2>&1") == 0;
  const int files = FileCount();
  const int cores = km::UsableCores();
  double one = 0;
  double all = 0;
  double resizeOne = 0;
  double gm = 0;
  double gm1 = 0;
  double vips1 = 0;
  long long peakOne = 0;
  long long peakAll = 0;
  long long base = 0;
  double cpuOne = 0;
  double cpuAll = 0;
  double cpu = 0;
  bool ok = true;
  for (auto _ : state) {
    int converted = 0;
    long long peak = 0;
    one += RunBatchOnce(c, 1, false, &converted, &peak, &base, &cpu);
    cpuOne += cpu;
    ok = ok && converted == files;
    peakOne = std::max(peakOne, peak);
    all += RunBatchOnce(c, cores, false, &converted, &peak, &base, &cpu);
    cpuAll += cpu;
    ok = ok && converted == files;
    peakAll = std::max(peakAll, peak);
    resizeOne += RunBatchOnce(c, 1, true, &converted, &peak, &base, &cpu);
    ok = ok && converted == files;
    bool okAll = false;
    bool okOne = false;
    gm += RunMogrifyOnce(c, false, &okAll);
    gm1 += RunMogrifyOnce(c, true, &okOne);
    ok = ok && okAll && okOne;
    if (haveVips) {
      const double v = RunVipsOnce(c);
      ok = ok && v > 0;
      vips1 += v;
    }
  }
  if (!ok) {
    state.SkipWithError("a run did not convert every file (batch, gm mogrify or vipsthumbnail)");
    return;
  }
  const double runs = static_cast<double>(state.iterations());
  const double rate = files * runs;
  const double picture = 3.0 * kWidth * kHeight;
  state.counters["files"] = files;
  state.counters["cores"] = cores;
  state.counters["batch_j1_files_per_s"] = rate / one;
  state.counters["batch_jall_files_per_s"] = rate / all;
  state.counters["batch_jall_over_j1"] = one / all;
  state.counters["spin_jall_over_j1"] = SpinSpeedup(cores);
  // Processors the runs kept busy on average (CPU time over wall time): on a shared
  // machine, what the other work left them.
  state.counters["batch_j1_cpus_used"] = cpuOne / one;
  state.counters["batch_jall_cpus_used"] = cpuAll / all;
  state.counters["gm_files_per_s"] = rate / gm;
  state.counters["gm_1thread_files_per_s"] = rate / gm1;
  state.counters["batch_j1_over_gm_1thread"] = gm1 / one;
  state.counters["batch_jall_over_gm"] = gm / all;
  state.counters["batch_Mpx_per_s"] = rate / one * kWidth * kHeight / 1e6;
  state.counters["resize_j1_files_per_s"] = rate / resizeOne;
  if (haveVips) {
    state.counters["vips_1thread_files_per_s"] = rate / vips1;
    state.counters["resize_j1_over_vips_1thread"] = vips1 / resizeOne;
  }
  // Peak resident memory above the parent's at the fork, per worker, in decoded pictures.
  state.counters["rss_j1_per_worker_pictures"] = static_cast<double>(peakOne - base) / picture;
  state.counters["rss_jall_per_worker_pictures"] = static_cast<double>(peakAll - base) / cores / picture;
  state.counters["rss_jall_MB"] = static_cast<double>(peakAll) / 1e6;
}
BENCHMARK(BM_BatchVersusMogrify)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
