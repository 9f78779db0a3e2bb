// kilnmark-batch spread over machines: its options, its JSON lines, and the recipes of
// examples/cluster run on this machine (GNU parallel with a login file whose slots are
// this machine and a stand-in for ssh; the Slurm array script with the variables Slurm
// would set), each checked against one plain run.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "console/ConsoleRunner.h"
#include "fileio/imgx/Imgx.h"
#include "script/ScriptFile.h"
#include "support/Base64Decode.h"
#include "support/DibTestUtil.h"
#include "support/PeerTools.h"
#include "support/ScriptTestUtil.h"

namespace km {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kProgram = std::string(KILNMARK_BIN_DIR) + "/kilnmark-batch";
const std::string kRecipes = std::string(KILNMARK_TEST_DATA) + "/../../examples/cluster";

std::string TextOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Lines LinesOf(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

// A dozen small pictures (one of them broken, one with a name that is not UTF-8) and a
// flip script per output folder.
class ClusterConsole : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = test::MakeTempDir("cluster-console");
    setenv("XDG_STATE_HOME", root_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    fs::create_directories(root_ + "/in");
    for (int i = 0; i < 10; ++i) {
      const std::string name = "p" + std::to_string(i) + ".bmp";
      DibHandle img = test::MakeRgb(7, 5, static_cast<std::uint8_t>(20 * i), 80, 160);
      ASSERT_EQ(imgx::EncodeBMP(nullptr, root_ + "/in/" + name, img.get(), 0), 0);
      inputs_.push_back(root_ + "/in/" + name);
    }
    DibHandle img = test::MakeRgb(4, 4, 1, 2, 3);
    ASSERT_EQ(imgx::EncodeBMP(nullptr, root_ + "/in/caf\xE9.bmp", img.get(), 0), 0);  // Latin-1 name
    inputs_.push_back(root_ + "/in/caf\xE9.bmp");
    std::ofstream(root_ + "/in/broken.bmp") << "not an image";
    inputs_.push_back(root_ + "/in/broken.bmp");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // Flip, then BMP into root/<folder>.
  std::string Script(const std::string& folder) {
    const std::string path = root_ + "/" + folder + ".rsq";
    std::string message;
    EXPECT_TRUE(test::WriteFlipToBmpScript(path, root_ + "/" + folder, &message)) << message;
    return path;
  }

  std::string Pattern() const { return root_ + "/in/*.bmp"; }

  // The program run on its own, standard output into a file; the exit status.
  int Spawn(const Lines& arguments, const std::string& stdoutPath) {
    Lines argv = {"env", "HOME=" + root_, kProgram};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return test::RunPeer(argv, {}, stdoutPath);
  }

  // Every line parsed by a strict parser; a failure for a line that does not parse.
  static std::vector<nlohmann::json> Parse(const std::string& text) {
    std::vector<nlohmann::json> records;
    for (const std::string& line : LinesOf(text)) {
      try {
        records.push_back(nlohmann::json::parse(line));
      } catch (const nlohmann::json::exception& e) {
        ADD_FAILURE() << e.what() << ": " << line;
      }
    }
    return records;
  }

  // The input path a record names: its exact bytes when they are not UTF-8.
  static std::string InputOf(const nlohmann::json& record) {
    if (record.contains("input_base64")) {
      return test::FromBase64(record.at("input_base64").get<std::string>());
    }
    return record.at("input").get<std::string>();
  }

  // Each listed input named by exactly one record; the broken one failed, the rest
  // converted (or `settled`: skipped or converted).
  void ExpectEachInputOnce(const std::vector<nlohmann::json>& records, bool settled = false) {
    std::map<std::string, int> seen;
    for (const nlohmann::json& r : records) {
      const std::string input = InputOf(r);
      ++seen[input];
      const std::string status = r.at("status").get<std::string>();
      if (input == root_ + "/in/broken.bmp") {
        EXPECT_EQ(status, "failed");
        EXPECT_NE(r.at("code").get<int>(), 0);
        EXPECT_FALSE(r.at("message").get<std::string>().empty());
      } else if (settled) {
        EXPECT_TRUE(status == "converted" || status == "skipped") << input << " " << status;
      } else {
        EXPECT_EQ(status, "converted") << input;
        EXPECT_EQ(r.at("code").get<int>(), 0) << input;
      }
      EXPECT_TRUE(r.at("milliseconds").is_number_integer());
      EXPECT_TRUE(r.at("output").is_string());
    }
    EXPECT_EQ(seen.size(), inputs_.size());
    for (const std::string& input : inputs_) {
      EXPECT_EQ(seen[input], 1) << input;
    }
  }

  // The same names in both folders, each file byte for byte the same; the count.
  std::size_t ExpectSameOutputs(const std::string& a, const std::string& b) {
    std::map<std::string, std::string> left;
    std::map<std::string, std::string> right;
    for (const auto& e : fs::directory_iterator(root_ + "/" + a)) {
      left[e.path().filename().string()] = TextOf(e.path().string());
    }
    for (const auto& e : fs::directory_iterator(root_ + "/" + b)) {
      right[e.path().filename().string()] = TextOf(e.path().string());
    }
    EXPECT_TRUE(left == right) << a << " and " << b << " differ";
    return left.size();
  }

  std::string root_;
  Lines inputs_;
};

TEST_F(ClusterConsole, RefusedOptionValuesAnswerTwo) {
  const std::string script = Script("out");
  MemoryProfile profile;
  for (const Lines& extra : {Lines{"--shard", "0/4"}, Lines{"--shard", "5/4"}, Lines{"--shard=1/0"},
                             Lines{"--shard", "two/4"}, Lines{"--shard"}, Lines{"--log-format", "xml"},
                             Lines{"--log-format=JSONL"}, Lines{"--log-format"}}) {
    Lines arguments = {script, Pattern()};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunConsole(arguments, profile), kExitRefused) << extra[0];
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(said.rfind("--shard takes K/N", 0) == 0 || said.rfind("--log-format takes text or jsonl", 0) == 0)
        << said;
  }
  EXPECT_FALSE(fs::exists(root_ + "/out"));
}

TEST_F(ClusterConsole, JsonLinesOnStandardOutputParseAndNameEachFileOnce) {
  const std::string script = Script("out");
  const std::string stdoutPath = root_ + "/stdout.jsonl";
  EXPECT_EQ(Spawn({script, Pattern(), "--log-format", "jsonl"}, stdoutPath), kExitSomeFailed);  // broken.bmp
  const std::string text = TextOf(stdoutPath);
  const auto records = Parse(text);
  EXPECT_EQ(records.size(), LinesOf(text).size());  // nothing but JSON lines
  ExpectEachInputOnce(records);
  // The Latin-1 name: U+FFFD in "input", its bytes in "input_base64", and an output.
  for (const auto& r : records) {
    if (r.contains("input_base64")) {
      EXPECT_EQ(r.at("input").get<std::string>(), root_ + "/in/caf\xEF\xBF\xBD.bmp");
      EXPECT_EQ(r.at("output").get<std::string>(), root_ + "/out/caf\xEF\xBF\xBD.bmp");
      EXPECT_TRUE(r.contains("output_base64"));
    }
  }
  EXPECT_TRUE(fs::exists(root_ + "/out/caf\xE9.bmp"));

  // With -l the file takes the JSON lines and standard output keeps the text log; a
  // second run with --skip-existing skips every converted file.
  const std::string jsonPath = root_ + "/run.jsonl";
  EXPECT_EQ(Spawn({script, Pattern(), "--skip-existing", "-l", jsonPath, "--log-format=jsonl"}, stdoutPath),
            kExitSomeFailed);
  const auto again = Parse(TextOf(jsonPath));
  ExpectEachInputOnce(again, true);
  for (const auto& r : again) {
    if (InputOf(r) != root_ + "/in/broken.bmp") {
      EXPECT_EQ(r.at("status"), "skipped");
    }
  }
  const std::string log = TextOf(stdoutPath);
  EXPECT_NE(log.find("Skipping " + root_ + "/in/p0.bmp: output " + root_ + "/out/p0.bmp is up to date.\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("0 File(s) successfully converted.\n"), std::string::npos) << log;

  // Once the broken file is gone, a run where every file is up to date answers 0.
  fs::remove(root_ + "/in/broken.bmp");
  EXPECT_EQ(Spawn({script, Pattern(), "--skip-existing"}, stdoutPath), kExitConverted);
}

// Four parts run one after another on one output folder, each with its own JSON lines.
TEST_F(ClusterConsole, FourPartsGiveTheOutputsOfOneRun) {
  ASSERT_EQ(Spawn({Script("single"), Pattern()}, root_ + "/single.log"), kExitSomeFailed);
  const std::string script = Script("parts");
  std::string all;
  for (int k = 1; k <= 4; ++k) {
    const std::string path = root_ + "/part" + std::to_string(k) + ".jsonl";
    const int status = Spawn({script, Pattern(), "--shard", std::to_string(k) + "/4", "--log-format", "jsonl"}, path);
    EXPECT_TRUE(status == kExitConverted || status == kExitSomeFailed) << k;
    const std::string text = TextOf(path);
    EXPECT_EQ(LinesOf(text).size(), 3u) << k;  // 12 files, 4 parts
    all += text;
  }
  ExpectEachInputOnce(Parse(all));
  EXPECT_EQ(ExpectSameOutputs("single", "parts"), 11u);
}

// examples/cluster/parallel-ssh.sh with a login file of two slots on this machine (":")
// and two on "nodeb", reached through a stand-in for ssh that runs the command here the
// way ssh runs it on the remote side (one string for the login shell, with SHELL set
// as sshd sets it: parallel's remote worker starts the command through $SHELL), so the
// quoting of the remote command is exercised as well.
TEST_F(ClusterConsole, GnuParallelWithFourPartsOverLoginSlotsGivesTheOutputsOfOneRun) {
  KM_REQUIRE_PEER("parallel");
  ASSERT_EQ(Spawn({Script("single"), Pattern()}, root_ + "/single.log"), kExitSomeFailed);
  const std::string script = Script("spread");
  const std::string ssh = root_ + "/fake-ssh";
  std::ofstream(ssh) << "#!/bin/sh\n"
                        "while [ $# -gt 0 ]; do case \"$1\" in -*) shift;; *) break;; esac; done\n"
                        "shift\n"
                        "[ \"$1\" = \"--\" ] && shift\n"
                        "SHELL=/bin/sh exec /bin/sh -c \"$*\"\n";  // sshd sets SHELL to the login shell
  fs::permissions(ssh, fs::perms::owner_all);
  std::ofstream(root_ + "/nodes.txt") << "# two slots here, two on nodeb\n2/:\n2/nodeb\n";
  const std::string results = root_ + "/results.jsonl";
  const int status = test::RunPeer({"sh", "-c", "cd \"$0\" && exec \"$@\"", root_, "env", "HOME=" + root_,
                                    "PARALLEL_SSH=" + ssh, "SSHLOGINFILE=" + root_ + "/nodes.txt",
                                    "KILNMARK_BATCH=" + kProgram, "bash", kRecipes + "/parallel-ssh.sh", script,
                                    Pattern(), "4"},
                                   {}, results);
  EXPECT_EQ(status, 1);  // parallel: one part failed (the one holding broken.bmp)
  ExpectEachInputOnce(Parse(TextOf(results)));
  EXPECT_EQ(ExpectSameOutputs("single", "spread"), 11u);
  // parallel's job log: four parts, on both logins.
  const Lines jobs = LinesOf(TextOf(root_ + "/parts.log"));
  ASSERT_EQ(jobs.size(), 5u);
  std::string hosts;
  for (std::size_t i = 1; i < jobs.size(); ++i) {
    hosts += jobs[i].find("\tnodeb\t") != std::string::npos ? 'b' : jobs[i].find("\t:\t") != std::string::npos ? 'l' : '?';
  }
  EXPECT_NE(hosts.find('l'), std::string::npos) << hosts;
  EXPECT_NE(hosts.find('b'), std::string::npos) << hosts;
  EXPECT_EQ(hosts.find('?'), std::string::npos) << hosts;
}

// examples/cluster/slurm-array.sh as four array tasks would run it.
TEST_F(ClusterConsole, SlurmArrayScriptTasksGiveTheOutputsOfOneRun) {
  ASSERT_EQ(Spawn({Script("single"), Pattern()}, root_ + "/single.log"), kExitSomeFailed);
  const std::string script = Script("array");
  std::string all;
  for (int task = 1; task <= 4; ++task) {
    const std::string path = root_ + "/task" + std::to_string(task) + ".jsonl";
    const int status = test::RunPeer({"env", "HOME=" + root_, "SLURM_ARRAY_TASK_ID=" + std::to_string(task),
                                      "PARTS=4", "SCRIPT=" + script, "INPUT=" + Pattern(), "KILNMARK_BATCH=" + kProgram, "bash",
                                      kRecipes + "/slurm-array.sh"},
                                     {}, path);
    EXPECT_TRUE(status == kExitConverted || status == kExitSomeFailed) << task;
    all += TextOf(path);
  }
  ExpectEachInputOnce(Parse(all));
  EXPECT_EQ(ExpectSameOutputs("single", "array"), 11u);
}

}  // namespace
}  // namespace km
