// kilnmark-batch with several workers: the forms of -j and the counts it refuses, the
// same standard output and -l log whatever the count, the exit statuses, and Ctrl+C
// while large outputs are written by two workers.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "console/ConsoleRunner.h"
#include "console/JobsOption.h"
#include "fileio/imgx/Imgx.h"
#include "script/ScriptFile.h"
#include "support/DibTestUtil.h"
#include "support/ScriptTestUtil.h"

extern char** environ;

namespace km {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

std::string TextOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(JobsOptionTest, EveryFormIsTakenOutAndTheLastWins) {
  struct Case {
    Args given;
    Args left;
    int jobs;
  };
  const std::vector<Case> cases = {
      {{"s.rsq", "-j", "4", "*.bmp"}, {"s.rsq", "*.bmp"}, 4},
      {{"s.rsq", "--jobs", "2"}, {"s.rsq"}, 2},
      {{"--jobs=3", "s.rsq"}, {"s.rsq"}, 3},
      {{"s.rsq", "-j8", "-l", "x.log"}, {"s.rsq", "-l", "x.log"}, 8},
      {{"s.rsq", "-j", "0"}, {"s.rsq"}, 0},
      {{"s.rsq", "-j", "5", "--jobs=1"}, {"s.rsq"}, 1},
      {{"s.rsq", "-e"}, {"s.rsq", "-e"}, -7},  // none given: left alone
  };
  for (const Case& c : cases) {
    Args args = c.given;
    int jobs = -7;
    EXPECT_TRUE(TakeJobsOption(&args, &jobs)) << c.given[1];
    EXPECT_EQ(args, c.left);
    EXPECT_EQ(jobs, c.jobs);
  }
  for (const Args& bad : std::vector<Args>{{"s.rsq", "-j"},
                                           {"s.rsq", "--jobs"},
                                           {"s.rsq", "-j", "x"},
                                           {"s.rsq", "--jobs=-1"},
                                           {"s.rsq", "--jobs="},
                                           {"s.rsq", "-j", "257"},
                                           {"s.rsq", "-j2x"}}) {
    Args args = bad;
    int jobs = 0;
    EXPECT_FALSE(TakeJobsOption(&args, &jobs)) << bad.back();
  }
}

class ConsoleJobs : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = test::MakeTempDir("console-jobs");
    setenv("XDG_STATE_HOME", root_.c_str(), 1);
    fs::create_directories(root_ + "/in");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  void WriteInputs(int count, int width, int height) {
    for (int i = 0; i < count; ++i) {
      DibHandle img = test::MakeRgb(width, height, static_cast<std::uint8_t>(20 * i), 20, 30);
      const std::string name = root_ + "/in/f" + std::to_string(10 + i) + ".bmp";
      ASSERT_EQ(imgx::EncodeBMP(nullptr, name, img.get(), 0), 0);
    }
  }

  // Flip, then BMP into root/out.
  std::string WriteScript() {
    const std::string path = root_ + "/flip.rsq";
    std::string message;
    EXPECT_TRUE(test::WriteFlipToBmpScript(path, root_ + "/out", &message)) << message;
    return path;
  }

  int Run(const Args& args, std::string* out = nullptr, std::string* err = nullptr) {
    MemoryProfile profile;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = RunConsole(args, profile);
    const std::string o = testing::internal::GetCapturedStdout();
    const std::string e = testing::internal::GetCapturedStderr();
    if (out != nullptr) *out = o;
    if (err != nullptr) *err = e;
    return status;
  }

  std::string root_;
};

// 0 when every file converts, 1 when one fails, for one worker and for four, with the
// same standard output and log; a refused count answers 2 with its message.
TEST_F(ConsoleJobs, StatusesOutputAndLogAreTheSameForAnyCount) {
  WriteInputs(9, 7, 5);
  const std::string script = WriteScript();
  for (const bool withBadFile : {false, true}) {
    if (withBadFile) std::ofstream(root_ + "/in/f13.bmp") << "not an image";
    std::string firstOut;
    std::string firstLog;
    for (const char* jobs : {"1", "4", "0"}) {
      const std::string log = root_ + "/run.log";
      fs::remove_all(root_ + "/out");
      std::string out;
      EXPECT_EQ(Run({script, root_ + "/in/*.bmp", "-j", jobs, "-l", log}, &out),
                withBadFile ? kExitSomeFailed : kExitConverted)
          << jobs;
      if (firstOut.empty()) {
        firstOut = out;
        firstLog = TextOf(log);
        EXPECT_NE(firstLog.find(withBadFile ? "8 File(s)" : "9 File(s)"), std::string::npos) << firstLog;
      } else {
        EXPECT_EQ(out, firstOut) << jobs;
        EXPECT_EQ(TextOf(log), firstLog) << jobs;
      }
    }
  }
  for (const Args& bad : std::vector<Args>{{"-j"}, {"--jobs=300"}, {"-j", "x"}}) {
    Args args = {script, root_ + "/in/*.bmp"};
    args.insert(args.end(), bad.begin(), bad.end());
    std::string err;
    EXPECT_EQ(Run(args, nullptr, &err), kExitRefused) << bad.back();
    EXPECT_EQ(err, "-j and --jobs take the number of files to convert at once: 1 to 256, or 0 for one per processor.\n");
  }
  EXPECT_EQ(Run({script, root_ + "/in/*.bmp", "-jx"}), kExitRefused);  // not a count: an unknown switch
  std::string help;
  EXPECT_EQ(Run({"--help"}, &help), kExitConverted);
  EXPECT_NE(help.find("-j N, --jobs N"), std::string::npos) << help;
}

// Ctrl+C once while two workers write 4.5 MB outputs: the steps in hand are cancelled,
// no further file starts, the process answers 130, and the output folder holds only
// whole files.
TEST_F(ConsoleJobs, CtrlCWithTwoWorkersAnswers130AndLeavesOnlyWholeFiles) {
  constexpr int kWidth = 1500;
  constexpr int kHeight = 1000;
  constexpr int kFiles = 12;
  WriteInputs(kFiles, kWidth, kHeight);
  const std::string script = WriteScript();
  const std::string program = std::string(KILNMARK_BIN_DIR) + "/kilnmark-batch";
  const std::string log = root_ + "/run.log";
  Args args = {program, script, root_ + "/in/*.bmp", "-j", "2", "-l", log};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);

  // Once the first output is there, the next ones are being made.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  std::error_code ec;
  while (!fs::exists(root_ + "/out/f10.bmp", ec) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(pid, SIGINT);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kExitAborted);

  const std::string text = TextOf(log);
  EXPECT_NE(text.find("User abort. Processing halted.\r\n"), std::string::npos) << text;
  int whole = 0;
  for (const auto& e : fs::directory_iterator(root_ + "/out")) {
    const std::string name = e.path().filename().string();
    ASSERT_NE(name[0], '.') << "a temporary was left: " << name;
    DibHandle image;
    EXPECT_EQ(imgx::DecodeBMP(nullptr, e.path().string(), &image), imgx::kOk) << name;
    EXPECT_TRUE(image && image->width() == kWidth && image->height() == kHeight) << name;
    ++whole;
  }
  EXPECT_GE(whole, 1);
  EXPECT_LT(whole, kFiles);
  EXPECT_NE(text.find(std::to_string(whole) + " File(s) successfully converted.\r\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace km
