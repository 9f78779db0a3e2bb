// Every codec of this folder honours the progress window: a user who asks to stop
// gets 100, no image, and no output file.

#include <gtest/gtest.h>

#include <functional>

#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"

namespace km::imgx {
namespace {

// Answers "stop" from the n-th question on and records the percentages it was told.
class StopAfter final : public ProgressSink {
public:
  explicit StopAfter(int n) : n_(n) {}
  void report(int percent) override { reports.push_back(percent); }
  bool cancelled() override { return ++asked_ > n_; }
  std::vector<int> reports;

private:
  int n_;
  int asked_ = 0;
};

struct Codec {
  const char* name;
  int bits;
  int w;
  int h;
  std::function<Code(ProgressWindow, const std::string&, const Dib*)> encode;
  std::function<Code(ProgressWindow, const std::string&, DibHandle*)> decode;
};

const Codec kCodecs[] = {
    {"Bmp", 8, 9, 6, [](auto p, auto& f, auto d) { return EncodeBMP(p, f, d, 0); },
     [](auto p, auto& f, auto o) { return DecodeBMP(p, f, o); }},
    {"BmpRle", 4, 9, 6, [](auto p, auto& f, auto d) { return EncodeBMP(p, f, d, 2); },
     [](auto p, auto& f, auto o) { return DecodeBMP(p, f, o); }},
    {"CisRle", 1, 128, 96, [](auto p, auto& f, auto d) { return EncodeCISRLE(p, f, d); },
     [](auto p, auto& f, auto o) { return DecodeCISRLE(p, f, o); }},
    {"Png", 24, 9, 6, [](auto p, auto& f, auto d) { return EncodePNG(p, f, d, nullptr, 5, 0, 0, -1); },
     [](auto p, auto& f, auto o) { return DecodePNG(p, f, o, nullptr, nullptr); }},
    {"Jpeg", 24, 9, 6, [](auto p, auto& f, auto d) { return EncodeJPG(p, f, d, 90, 72, 0); },
     [](auto p, auto& f, auto o) { return DecodeJPG(p, f, o); }},
    {"Tiff", 8, 9, 6, [](auto p, auto& f, auto d) { return EncodeTIF(p, f, d, nullptr, 5, 0, 72); },
     [](auto p, auto& f, auto o) { return DecodeTIF(p, f, o, nullptr); }},
    {"Gif", 8, 9, 6, [](auto p, auto& f, auto d) { return EncodeGIF(p, f, d, 1, 1, -1); },
     [](auto p, auto& f, auto o) { return DecodeGIF(p, f, o, nullptr); }},
};

class CodecCancel : public testing::TestWithParam<Codec> {};

TEST_P(CodecCancel, StopsWithNothingLeftBehind) {
  const Codec& c = GetParam();
  test::TempFolder dir("cancel");
  DibHandle src = c.bits == 1 ? test::MakeDib(c.w, c.h, 1, 2) : test::MakePatterned(c.w, c.h, c.bits, 4);
  StopAfter encodeStop(2);
  EXPECT_EQ(c.encode(&encodeStop, dir.path("stopped"), src.get()), kCancelled);
  EXPECT_FALSE(std::filesystem::exists(dir.path("stopped")));
  EXPECT_FALSE(encodeStop.reports.empty());

  StopAfter never(1 << 30);
  ASSERT_EQ(c.encode(&never, dir.path("whole"), src.get()), kOk);
  EXPECT_EQ(never.reports.front(), 0);
  DibHandle out;
  StopAfter decodeStop(0);
  EXPECT_EQ(c.decode(&decodeStop, dir.path("whole"), &out), kCancelled);
  EXPECT_EQ(out, nullptr);
}

// A JPEG stopped after its output has outgrown the first buffer: the grown buffer is
// released once, with nothing written.
TEST(JpegCancel, StopAfterTheOutputGrewFreesItOnce) {
  test::TempFolder dir("cancel-grown");
  DibHandle src = test::MakePatterned(640, 640, 24, 7);
  StopAfter stop(600);
  EXPECT_EQ(EncodeJPG(&stop, dir.path("stopped.jpg"), src.get(), 100, 72, 0), kCancelled);
  EXPECT_FALSE(std::filesystem::exists(dir.path("stopped.jpg")));
  StopAfter never(1 << 30);
  ASSERT_EQ(EncodeJPG(&never, dir.path("whole.jpg"), src.get(), 100, 72, 0), kOk);
  EXPECT_GT(std::filesystem::file_size(dir.path("whole.jpg")), 256u * 1024u);
}

INSTANTIATE_TEST_SUITE_P(Codecs, CodecCancel, testing::ValuesIn(kCodecs),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace km::imgx
