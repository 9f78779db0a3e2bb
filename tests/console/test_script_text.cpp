#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "console/ConsoleRunner.h"
#include "console/ScriptText.h"
#include "script/ScriptFile.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScriptText : public ::testing::Test {
protected:
  void SetUp() override { root_ = test::MakeTempDir("scripttext"); }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // Resample to 320 wide; 236 optimised colours and the 20 Windows colours, diffused;
  // blur; a free turn left by 45 degrees on a background of red 0, green 128, blue 255.
  std::string WriteSmallScript() {
    CScript script;
    auto resize = std::make_unique<CScriptCommand>(501);
    resize->Int1 = 6;
    resize->Int2 = 1;
    resize->Int3 = 320;
    script.Append(std::move(resize));
    auto palette = std::make_unique<CScriptCommand>(519);
    palette->Int1 = 236;
    palette->Int2 = 1;
    palette->Int3 = 1;
    palette->Int4 = 0;
    palette->Int5 = 0;
    script.Append(std::move(palette));
    script.Append(std::make_unique<CScriptCommand>(537));
    auto rotate = std::make_unique<CScriptCommand>(508);
    rotate->Int1 = 45;
    rotate->Int2 = 3;
    rotate->Int3 = 1;
    rotate->Color1 = 0x00FF8000u;
    script.Append(std::move(rotate));
    const std::string path = root_ + "/small.rsq";
    std::string message;
    EXPECT_EQ(WriteScriptFile(path, script, &message), 0) << message;
    return path;
  }

  // Runs the option; *out and *err receive what it writes.
  int Run(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr) {
    std::ostringstream o;
    std::ostringstream e;
    int status = -1;
    EXPECT_TRUE(RunScriptTextOption(args, o, e, &status));
    if (out) *out = o.str();
    if (err) *err = e.str();
    return status;
  }

  std::string root_;
};

TEST_F(ScriptText, DescribePrintsEachCommandWithItsParameters) {
  std::string out;
  EXPECT_EQ(Run({"--describe", WriteSmallScript()}, &out), kExitConverted);
  EXPECT_EQ(out,
            "1. Resize/Resample Image\n"
            "    Size Image To:\n"
            "      320 x (Maintain Aspect)\n"
            "    Resize or Resample:\n"
            "      Resample\n"
            "2. Apply Fully Optimized Palette\n"
            "    Number of colors: 256\n"
            "    Apply using:\n"
            "      Optimized Median Cut Palette\n"
            "      Error Diffusion Dither\n"
            "      Include Windows Colors\n"
            "      Don't Reduce Color Bleed\n"
            "3. Filter: Blur\n"
            "    None\n"
            "4. Rotate Image\n"
            "    Direction: Left\n"
            "    Degrees: 45\n"
            "    Color: R:0 G:128 B:255\n");
}

TEST_F(ScriptText, ToJsonAndBackGiveTheSameFile) {
  const std::string script = WriteSmallScript();
  std::string json;
  EXPECT_EQ(Run({"--to-json", script}, &json), kExitConverted);
  EXPECT_NE(json.find("\"freeAngle\": 45"), std::string::npos) << json;
  std::ofstream(root_ + "/small.json") << json;
  std::string out;
  EXPECT_EQ(Run({"--from-json", root_ + "/small.json", root_ + "/back.rsq"}, &out), kExitConverted);
  EXPECT_EQ(out, "");
  EXPECT_EQ(ReadAll(root_ + "/back.rsq"), ReadAll(script));
}

TEST_F(ScriptText, RefusalsAnswerTwoWithTheMessageAndWriteNothing) {
  const std::string script = WriteSmallScript();
  std::string err;
  std::ofstream(root_ + "/bad.json") << R"({"commands": [{"code": 508, "angleChoice": 4}]})";
  EXPECT_EQ(Run({"--from-json", root_ + "/bad.json", root_ + "/out.rsq"}, nullptr, &err), kExitRefused);
  EXPECT_EQ(err, "Command 1 (Rotate Image), field \"angleChoice\": 4 is outside 0..3\n");
  EXPECT_FALSE(fs::exists(root_ + "/out.rsq"));

  EXPECT_EQ(Run({"--from-json", root_ + "/missing.json", root_ + "/out.rsq"}, nullptr, &err), kExitRefused);
  EXPECT_EQ(err, "The JSON file could not be read because no such file or directory\n");
  EXPECT_EQ(Run({"--to-json", root_ + "/missing.rsq"}, nullptr, &err), kExitRefused);
  EXPECT_EQ(err, "The script could not be loaded because no such file or directory\n");
  std::ofstream(root_ + "/junk.rsq") << "TAVO Batch Scrip";
  EXPECT_EQ(Run({"--describe", root_ + "/junk.rsq"}, nullptr, &err), kExitRefused);

  // A script file with a code outside the catalogue has no JSON form.
  CScript odd;
  odd.Append(std::make_unique<CScriptCommand>(506));
  odd.Append(std::make_unique<CScriptCommand>(600));
  std::string message;
  ASSERT_EQ(WriteScriptFile(root_ + "/odd.rsq", odd, &message), 0);
  std::string out;
  EXPECT_EQ(Run({"--to-json", root_ + "/odd.rsq"}, &out, &err), kExitRefused);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "Command 2, field \"code\": unknown command code 600\n");

  // Each option takes the whole line.
  for (const std::vector<std::string>& line :
       {std::vector<std::string>{"--to-json"}, {"--describe", script, "x.bmp"}, {script, "--describe"},
        {"--from-json", root_ + "/bad.json"}}) {
    EXPECT_EQ(Run(line, nullptr, &err), kExitRefused);
    EXPECT_EQ(err.rfind("--describe and --to-json take one script file", 0), 0u) << err;
  }
}

TEST_F(ScriptText, OtherLinesAreLeftToTheRun) {
  int status = -1;
  std::ostringstream out;
  EXPECT_FALSE(RunScriptTextOption({"a.rsq", "*.bmp", "-l", "log.txt"}, out, out, &status));
  EXPECT_EQ(status, -1);
}

// The program itself, in a pipe: to JSON, through standard input, back to a script.
TEST_F(ScriptText, TheProgramConvertsThroughAPipe) {
  const std::string script = WriteSmallScript();
  const std::string program = std::string(KILNMARK_BIN_DIR) + "/kilnmark-batch";
  const std::string line = "'" + program + "' --to-json '" + script + "' | '" + program + "' --from-json - '" +
                           root_ + "/piped.rsq'";
  EXPECT_EQ(std::system(line.c_str()), 0);
  EXPECT_EQ(ReadAll(root_ + "/piped.rsq"), ReadAll(script));
  MemoryProfile profile;
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunConsole({"--describe", script}, profile), kExitConverted);  // dispatched before the run
  EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("1. Resize/Resample Image\n", 0), 0u);
}

TEST_F(ScriptText, TheUsageNamesTheOptions) {
  MemoryProfile profile;
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunConsole({"--help"}, profile), kExitConverted);
  const std::string help = testing::internal::GetCapturedStdout();
  for (const char* option : {"--describe SCRIPT", "--to-json SCRIPT", "--from-json JSONFILE SCRIPT"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace km
