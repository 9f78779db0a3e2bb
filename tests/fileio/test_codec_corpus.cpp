// The bad-file folders of the PCX, TGA, PNM, RAS, PSD, CLP, CUT, IMG, MAC, MSP and IFF
// decoders and of the metafile readers (WMF, CGM, Lotus PIC), read through each decoder
// directly: every file gives a code of its own format's decoder (never the
// placeholder's 1000) and no image.

#include <gtest/gtest.h>

#include <filesystem>

#include "fileio/imgx/Imgx.h"
#include "fileio/meta/Meta.h"

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

imgx::Code DecodeWmfPlain(ProgressWindow p, const std::string& path, DibHandle* out) {
  return imgx::DecodeWMF(p, path, out, 100, 100, 0);
}

template <imgx::Code (*DecodeMeta)(ProgressWindow, const std::string&, imgx::MetafileHandle*, int*, int*)>
imgx::Code DecodeAndRender(ProgressWindow p, const std::string& path, DibHandle* out) {
  imgx::MetafileHandle mf;
  int w = 0, h = 0;
  const imgx::Code c = DecodeMeta(p, path, &mf, &w, &h);
  EXPECT_EQ(c == imgx::kOk, mf != nullptr) << path;
  return c != imgx::kOk ? c : imgx::MetaToDIB(p, mf.get(), out, 8, 0, 0, w, h, w, h, 0);
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
                                         Folder{"iff", "", imgx::DecodeIFF}, Folder{"wmf", "", DecodeWmfPlain},
                                         Folder{"cgm", "", DecodeAndRender<imgx::DecodeCGM>},
                                         Folder{"lpic", "", DecodeAndRender<imgx::DecodeLPIC>}),
                         [](const testing::TestParamInfo<Folder>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace km
