// Small valid files with bytes overwritten, cut short or repeated: every decoder must
// answer with a code or an image that keeps the image rules, never crash, hang or
// touch memory it does not own (the sanitizer build checks the last).

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"

namespace km::imgx {
namespace {

struct Target {
  const char* name;
  std::function<Code(const std::string&, const Dib*)> encode;
  std::function<Code(const std::string&, DibHandle*)> decode;
  int bits;
};

const Target kTargets[] = {
    {"BmpRle8", [](auto& f, auto d) { return EncodeBMP(nullptr, f, d, 2); },
     [](auto& f, auto o) { return DecodeBMP(nullptr, f, o); }, 8},
    {"BmpOs2", [](auto& f, auto d) { return EncodeBMP(nullptr, f, d, 1); },
     [](auto& f, auto o) { return DecodeBMP(nullptr, f, o); }, 4},
    {"Png", [](auto& f, auto d) { return EncodePNG(nullptr, f, d, nullptr, 5, 1, 0, 2); },
     [](auto& f, auto o) { return DecodePNG(nullptr, f, o, nullptr, nullptr); }, 8},
    {"Jpeg", [](auto& f, auto d) { return EncodeJPG(nullptr, f, d, 80, 72, 1); },
     [](auto& f, auto o) { return DecodeJPG(nullptr, f, o); }, 24},
    {"TiffLzw", [](auto& f, auto d) { return EncodeTIF(nullptr, f, d, nullptr, 5, 0, 72); },
     [](auto& f, auto o) { return DecodeTIF(nullptr, f, o, nullptr); }, 24},
    {"TiffPackBits", [](auto& f, auto d) { return EncodeTIF(nullptr, f, d, nullptr, 32773, 0, 72); },
     [](auto& f, auto o) { return DecodeTIF(nullptr, f, o, nullptr); }, 8},
    {"Gif", [](auto& f, auto d) { return EncodeGIF(nullptr, f, d, 1, 1, 3); },
     [](auto& f, auto o) { return DecodeGIF(nullptr, f, o, nullptr); }, 8},
    {"CisRle", [](auto& f, auto d) { return EncodeCISRLE(nullptr, f, d); },
     [](auto& f, auto o) { return DecodeCISRLE(nullptr, f, o); }, 1},
};

class MutatedFiles : public testing::TestWithParam<Target> {};

TEST_P(MutatedFiles, GiveACodeOrASoundImage) {
  const Target& t = GetParam();
  test::TempFolder dir("mutate");
  DibHandle src = t.bits == 1 ? test::MakeDib(128, 96, 1, 2) : test::MakePatterned(23, 17, t.bits, 5);
  test::FillRandom(*src, 5);
  ASSERT_EQ(t.encode(dir.path("good"), src.get()), kOk);
  const std::vector<std::uint8_t> good = test::ReadBytes(dir.path("good"));
  std::mt19937 rng(1234);
  const std::string path = dir.path("bad");
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> bad = good;
    switch (round % 3) {
      case 0:  // overwrite a few bytes, often in the header
        for (int k = 0; k < 1 + round % 4; ++k) {
          const std::size_t at = rng() % (round % 2 == 0 ? std::min<std::size_t>(bad.size(), 64) : bad.size());
          bad[at] = static_cast<std::uint8_t>(rng());
        }
        break;
      case 1:  // cut short
        bad.resize(rng() % bad.size());
        break;
      default: {  // a stretch repeated, shifting what follows
        const std::size_t at = rng() % bad.size();
        const std::size_t n = std::min<std::size_t>(1 + rng() % 16, bad.size() - at);
        bad.insert(bad.begin() + static_cast<std::ptrdiff_t>(at), good.begin() + static_cast<std::ptrdiff_t>(at),
                   good.begin() + static_cast<std::ptrdiff_t>(at + n));
        break;
      }
    }
    test::WriteBytes(path, bad);
    DibHandle out;
    const Code c = t.decode(path, &out);
    if (c == kOk) {
      ASSERT_NE(out, nullptr) << "round " << round;
      EXPECT_EQ(ValidateDib(out.get()), km::kOk) << "round " << round;
    } else {
      EXPECT_EQ(out, nullptr) << "round " << round;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, MutatedFiles, testing::ValuesIn(kTargets),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace km::imgx
