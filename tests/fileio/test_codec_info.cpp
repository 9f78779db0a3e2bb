// The information records of the PCX, TGA, PNM, RAS, PSD, CLP, CUT, IMG, MAC, MSP and IFF
// codecs: size, stored depth and type code from the header of a file we wrote.

#include <gtest/gtest.h>

#include <functional>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"

namespace km::test {
namespace {

using namespace imgx;

struct InfoCase {
  const char* file;
  int bits;  // of the source image
  std::function<Code(const std::string&, const Dib*)> encode;
  Code (*info)(const std::string&, ImageInfo*);
  int storedBits;
  std::uint16_t type;
};

class CodecInfo : public CodecTest, public testing::WithParamInterface<InfoCase> {};

TEST_P(CodecInfo, ReadsTheHeader) {
  const InfoCase& c = GetParam();
  const bool mac = std::string(c.file) == "a.mac";
  const int width = mac ? 576 : 23;
  const int height = mac ? 720 : 7;
  DibHandle src = c.bits == 24 ? MakeDib(width, height, 24) : RandomPaletteImage(width, height, c.bits, 0, 1);
  if (c.bits == 8 && std::string(c.file) == "a.pgm") {
    src = MakeGrey(width, height);
  }
  const std::string path = Path(c.file);
  ASSERT_EQ(c.encode(path, src.get()), imgx::kOk);
  ImageInfo info;
  ASSERT_EQ(c.info(path, &info), imgx::kOk);
  EXPECT_EQ(info.name, path);
  EXPECT_EQ(info.width, width);
  EXPECT_EQ(info.height, height);
  EXPECT_EQ(info.bits, c.storedBits);
  EXPECT_EQ(info.type, c.type);
  EXPECT_EQ(info.fileSize, ReadBytes(path).size());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CodecInfo,
    testing::Values(
        InfoCase{"a.pcx", 24, [](const std::string& p, const Dib* d) { return EncodePCX(nullptr, p, d, 5, 72); }, InfoPCX, 24, 16},
        InfoCase{"a.tga", 8, [](const std::string& p, const Dib* d) { return EncodeTGA(nullptr, p, d, nullptr, 8, 1); }, InfoTGA, 8, 20},
        InfoCase{"a.pgm", 8, [](const std::string& p, const Dib* d) { return EncodePXM(nullptr, p, d, 1, ""); }, InfoPXM, 8, 108},
        InfoCase{"a.ppm", 24, [](const std::string& p, const Dib* d) { return EncodePXM(nullptr, p, d, 0, ""); }, InfoPXM, 24, 109},
        InfoCase{"a.ras", 8, [](const std::string& p, const Dib* d) { return EncodeRAS(nullptr, p, d); }, InfoRAS, 8, 18},
        InfoCase{"a.psd", 24, [](const std::string& p, const Dib* d) { return EncodePSD(nullptr, p, d, 0); }, InfoPSD, 24, 106},
        InfoCase{"a.clp", 4, [](const std::string& p, const Dib* d) { return EncodeCLP(nullptr, p, d); }, InfoCLP, 4, 2},
        InfoCase{"a.cut", 8, [](const std::string& p, const Dib* d) { return EncodeCUT(nullptr, p, d); }, InfoCUT, 8, 3},
        InfoCase{"a.img", 1, [](const std::string& p, const Dib* d) { return EncodeIMG(nullptr, p, d); }, InfoIMG, 1, 8},
        InfoCase{"a.mac", 1, [](const std::string& p, const Dib* d) { return EncodeMAC(nullptr, p, d, 0); }, InfoMAC, 1, 13},
        InfoCase{"a.msp", 1, [](const std::string& p, const Dib* d) { return EncodeMSP(nullptr, p, d); }, InfoMSP, 1, 14},
        InfoCase{"a.lbm", 4, [](const std::string& p, const Dib* d) { return EncodeIFF(nullptr, p, d, 0); }, InfoIFF, 4, 7}),
    [](const testing::TestParamInfo<InfoCase>& info) {
      std::string name = info.param.file;
      return name.substr(2);
    });

}  // namespace
}  // namespace km::test
