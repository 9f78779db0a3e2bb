// kilnmark-batch converting WebP and SVG files through the filters the program ships,
// registered by the installed ImportFilters.ini (no set-up of the user's), in this
// process and in the host; and a crashing filter in the host costing one file while
// the run goes on.

#include <sys/wait.h>
#include <webp/encode.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "fileio/imgx/Imgx.h"
#include "importfilters/FilterTestKit.h"
#include "script/ScriptFile.h"

namespace km {
namespace {

namespace fs = std::filesystem;

class ShippedFilters : public test::FilterFolder {
protected:
  void SetUp() override {
    FilterFolder::SetUp();
    setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);
    setenv("XDG_STATE_HOME", Path("state").c_str(), 1);
    fs::create_directories(Path("config/Tavo"));
    fs::create_directories(Path("in"));
    CScript script;
    auto out = std::make_unique<CScriptCommand>(544);  // "Set Output Options": BMP into out/
    out->Int1 = 0;
    out->Int2 = 1;
    out->Int3 = 300;
    out->Int4 = 15;
    out->Int5 = 0;
    out->Text1 = Path("out");
    script.Append(std::move(out));
    std::string message;
    ASSERT_EQ(WriteScriptFile(Path("bmp.rsq"), script, &message), 0) << message;
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_STATE_HOME");
    FilterFolder::TearDown();
  }

  // kilnmark-batch bmp.rsq 'in/*'; its exit status (-1 when it did not exit).
  int RunBatch() {
    const std::string command = std::string("'") + KILNMARK_BIN_DIR + "/kilnmark-batch' '" + Path("bmp.rsq") +
                                "' '" + Path("in") + "/*' > '" + Path("run.log") + "' 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Isolate() { test::WriteText(Path("config/Tavo/Tavo Kilnmark.ini"), "[ImportFilters]\nIsolate=1\n"); }

  DibHandle Output(const std::string& name) {
    DibHandle dib;
    EXPECT_EQ(imgx::DecodeBMP(nullptr, Path("out/" + name), &dib), 0) << name << "\n" << test::ReadText(Path("run.log"));
    return dib;
  }

  // 3 x 2, lossless: red, green, blue at half alpha over white, black, transparent.
  void WriteWebp(const std::string& name) {
    const std::uint8_t bgra[2][3][4] = {{{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 128}},
                                        {{255, 255, 255, 255}, {0, 0, 0, 255}, {9, 9, 9, 0}}};
    std::uint8_t* data = nullptr;
    const std::size_t size = WebPEncodeLosslessBGRA(&bgra[0][0][0], 3, 2, 12, &data);
    ASSERT_GT(size, 0u);
    test::WriteText(Path("in/" + name), std::string(reinterpret_cast<char*>(data), size));
    WebPFree(data);
  }
  void WriteSvgs() {
    // 4 x 2: a red square, a blue bar on the top row, nothing (white) under it.
    test::WriteText(Path("in/b.svg"),
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"2\">"
                    "<rect width=\"2\" height=\"2\" fill=\"#ff0000\"/>"
                    "<rect x=\"2\" width=\"2\" height=\"1\" fill=\"#0000ff\"/></svg>\n");
    // No size: the viewBox gives 3 x 3.
    test::WriteText(Path("in/c.svg"),
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 3 3\">"
                    "<rect width=\"3\" height=\"3\" fill=\"#00ff00\"/></svg>\n");
  }

  void ExpectConverted() {
    DibHandle a = Output("a.bmp");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->width(), 3);
    ASSERT_EQ(a->height(), 2);
    // Half-alpha blue over white: red and green 255 * 127 / 255 = 127, blue 255.
    const std::uint32_t webp[2][3] = {{0xFF0000, 0x00FF00, 0x7F7FFF}, {0xFFFFFF, 0x000000, 0xFFFFFF}};
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(test::ColourAt(*a, x, y), webp[y][x]) << "webp " << x << "," << y;
      }
    }
    DibHandle b = Output("b.bmp");
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->width(), 4);
    ASSERT_EQ(b->height(), 2);
    const std::uint32_t svg[2][4] = {{0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF}, {0xFF0000, 0xFF0000, 0xFFFFFF, 0xFFFFFF}};
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(test::ColourAt(*b, x, y), svg[y][x]) << "svg " << x << "," << y;
      }
    }
    DibHandle c = Output("c.bmp");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->width(), 3);
    EXPECT_EQ(c->height(), 3);
    EXPECT_EQ(test::ColourAt(*c, 1, 1), 0x00FF00u);
  }
};

TEST_F(ShippedFilters, WebpAndSvgConvertWithNoSetUp) {
  WriteWebp("a.webp");
  WriteSvgs();
  ASSERT_EQ(RunBatch(), 0) << test::ReadText(Path("run.log"));
  ExpectConverted();
}

TEST_F(ShippedFilters, WebpAndSvgConvertInTheHost) {
  Isolate();
  WriteWebp("a.webp");
  WriteSvgs();
  ASSERT_EQ(RunBatch(), 0) << test::ReadText(Path("run.log"));
  ExpectConverted();
}

TEST_F(ShippedFilters, ACrashingFilterInTheHostCostsOneFileAndTheRunGoesOn) {
  Isolate();
  Register({"Crash=" + test::TestFilter() + ",CRA,crash"}, "MS Graphic Import Filters",
           "config/Tavo/ImportFilters.ini");
  WriteWebp("a.webp");
  WriteSvgs();
  test::WriteText(Path("in/aa.cra"), "");
  EXPECT_EQ(RunBatch(), 1) << test::ReadText(Path("run.log"));  // some files failed
  ExpectConverted();
  EXPECT_FALSE(fs::exists(Path("out/aa.bmp")));
  const std::string log = test::ReadText(Path("run.log"));
  // (The host's own report of the crash may come between the two lines.)
  const std::size_t reading = log.find("in/aa.cra\n");
  ASSERT_NE(reading, std::string::npos) << log;
  EXPECT_NE(log.find("An error occurred. File was not converted.\n", reading), std::string::npos) << log;
  EXPECT_NE(log.find("3 File(s) successfully converted."), std::string::npos) << log;
}

}  // namespace
}  // namespace km
