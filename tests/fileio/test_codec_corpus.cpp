// The bad-file folders of the PCX, TGA, PNM, RAS, PSD, CLP, CUT, IMG, MAC, MSP and IFF
// decoders, read through each decoder directly: every file gives a code of its own
// format's decoder (never the placeholder's 1000) and no image.

#include <gtest/gtest.h>

#include <filesystem>

#include "fileio/imgx/Imgx.h"

namespace km {
namespace {

namespace fs = std::filesystem;
using Decode = imgx::Code (*)(ProgressWindow, const std::string&, DibHandle*);

imgx::Code DecodeTgaPlain(ProgressWindow p, const std::string& path, DibHandle* out) {
  imgx::ExtraHandle extra;
  const imgx::Code c = imgx::DecodeTGA(p, path, out, &extra);
  EXPECT_EQ(extra, nullptr) << path;
  return c;
}

struct Folder {
  const char* name;
  const char* extension;  // files of other extensions (companion palettes) are skipped
  Decode decode;
};

class CodecCorpus : public testing::TestWithParam<Folder> {};

TEST_P(CodecCorpus, EveryFileGivesACodeAndNoImage) {
  const Folder f = GetParam();
  const fs::path dir = fs::path(KILNMARK_TEST_DATA) / "bad" / f.name;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string ext = entry.path().extension().string();
    if (entry.path().filename() == "README" || (f.extension[0] != '\0' && ext != f.extension)) {
      continue;
    }
    ++files;
    DibHandle out;
    const imgx::Code code = f.decode(nullptr, entry.path().string(), &out);
    EXPECT_NE(code, imgx::kOk) << entry.path();
    EXPECT_NE(code, imgx::kNoReader) << entry.path();
    EXPECT_EQ(out, nullptr) << entry.path();
  }
  EXPECT_GE(files, 3) << dir;
}

INSTANTIATE_TEST_SUITE_P(Formats, CodecCorpus,
                         testing::Values(Folder{"pcx", "", imgx::DecodePCX}, Folder{"tga", "", DecodeTgaPlain},
                                         Folder{"pnm", "", imgx::DecodePXM}, Folder{"ras", "", imgx::DecodeRAS},
                                         Folder{"psd", "", imgx::DecodePSD}, Folder{"clp", "", imgx::DecodeCLP},
                                         Folder{"cut", ".cut", imgx::DecodeCUT}, Folder{"img", "", imgx::DecodeIMG},
                                         Folder{"mac", "", imgx::DecodeMAC}, Folder{"msp", "", imgx::DecodeMSP},
                                         Folder{"iff", "", imgx::DecodeIFF}),
                         [](const testing::TestParamInfo<Folder>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace km
