// What every tone and colour operation shares: a missing argument is refused with 101,
// cancel answers 100 and leaves no result, progress counts rows or table entries, and
// the source is never touched.

#include <string>

#include "ToneTestUtil.h"
#include "imaging/tone/Tone.h"

namespace km {
namespace {

using test::ToneOp;

struct NamedOp {
  const char* name;
  ToneOp op;
  bool greyPixels;  // changes a greyscale image's pixels rather than its table
};

void PrintTo(const NamedOp& c, std::ostream* os) { *os << c.name; }

const NamedOp kOps[] = {
    {"Brightness", [](ProgressWindow p, const Dib* s, DibHandle* r) { return ToneCurveDIB(p, s, r, 20, ToneCurveKind::Brightness); }, true},
    {"Contrast", [](ProgressWindow p, const Dib* s, DibHandle* r) { return ToneCurveDIB(p, s, r, -20, ToneCurveKind::Contrast); }, true},
    {"Solarize", [](ProgressWindow p, const Dib* s, DibHandle* r) { return ToneCurveDIB(p, s, r, 128, ToneCurveKind::Solarize); }, true},
    {"Gamma", [](ProgressWindow p, const Dib* s, DibHandle* r) { return GammaDIB(p, s, r, 2.0f); }, true},
    {"Hms", [](ProgressWindow p, const Dib* s, DibHandle* r) { return HighlightMidtoneShadowDIB(p, s, r, 80, 50, 10); }, true},
    {"Posterize", [](ProgressWindow p, const Dib* s, DibHandle* r) { return PosterizeDIB(p, s, r, 2); }, true},
    {"Rgb", [](ProgressWindow p, const Dib* s, DibHandle* r) { return AdjustRGBDIB(p, s, r, 10, 20, 30); }, false},
    {"Hsl", [](ProgressWindow p, const Dib* s, DibHandle* r) { return AdjustHSLDIB(p, s, r, 10, 20, 30); }, false},
    {"Colorize", [](ProgressWindow p, const Dib* s, DibHandle* r) { return ColorizeDIB(p, s, r, 30, 200); }, false},
    {"Greyscale", [](ProgressWindow p, const Dib* s, DibHandle* r) { return GreyscaleDIB(p, s, r); }, false},
    {"Equalize", [](ProgressWindow p, const Dib* s, DibHandle* r) { return EqualizeDIB(p, s, r); }, true},
    {"Stretch", [](ProgressWindow p, const Dib* s, DibHandle* r) { return StretchHistogramDIB(p, s, r); }, true},
    {"Invert", [](ProgressWindow p, const Dib* s, DibHandle* r) { return InvertDIB(p, s, r); }, true},
};

class ToneContract : public testing::TestWithParam<NamedOp> {};

std::vector<DibHandle> Sources() {
  std::vector<DibHandle> out;
  out.push_back(test::MakeRgb(5, 4, 200, 100, 50));
  out.push_back(test::MakeGrey(5, 4, 77));
  DibHandle pal = test::MakeDib(5, 4, 4);
  test::FillRandom(*pal, 1);
  out.push_back(std::move(pal));
  return out;
}

TEST_P(ToneContract, MissingArgumentsAreRefused) {
  DibHandle src = test::MakeRgb(2, 2, 1, 2, 3);
  DibHandle out = test::MakeRgb(1, 1, 0, 0, 0);
  EXPECT_EQ(GetParam().op(nullptr, nullptr, &out), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(GetParam().op(nullptr, src.get(), nullptr), kInvalidArgument);
}

TEST_P(ToneContract, CancelLeavesNoResultAndTheSourceAlone) {
  for (const DibHandle& src : Sources()) {
    const auto before = test::Bytes(*src);
    for (const int after : {1, 2}) {
      test::RecordingSink sink(after);
      DibHandle out = test::MakeRgb(1, 1, 0, 0, 0);
      EXPECT_EQ(GetParam().op(&sink, src.get(), &out), kCancelled) << src->bitCount() << " bits";
      EXPECT_EQ(out, nullptr);
      EXPECT_EQ(test::Bytes(*src), before);
    }
  }
}

// Four rows report 0, 25, 50, 75 (the histogram operations in two passes of two
// halves); a 16-entry table reports every entry. Without a sink nothing is asked.
TEST_P(ToneContract, ProgressPerRowOrPerTableEntry) {
  const NamedOp& op = GetParam();
  const bool histogram = std::string(op.name) == "Equalize" || std::string(op.name) == "Stretch";
  std::vector<DibHandle> sources = Sources();
  for (std::size_t k = 0; k < sources.size(); ++k) {
    test::RecordingSink sink;
    DibHandle out;
    ASSERT_EQ(op.op(&sink, sources[k].get(), &out), kOk);
    const bool rows = k == 0 || (k == 1 && op.greyPixels);
    if (histogram && rows) {
      EXPECT_EQ(sink.reports, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87}));
    } else if (histogram) {
      EXPECT_EQ(sink.reports.front(), 0);
    } else if (rows) {
      EXPECT_EQ(sink.reports, (std::vector<int>{0, 25, 50, 75})) << k;
    } else {
      const int entries = sources[k]->colorCount();
      ASSERT_EQ(sink.reports.size(), static_cast<std::size_t>(entries)) << k;
      EXPECT_EQ(sink.reports[1], 100 / entries);
      EXPECT_EQ(sink.reports.back(), (entries - 1) * 100 / entries);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Tone, ToneContract, testing::ValuesIn(kOps),
                         [](const testing::TestParamInfo<NamedOp>& info) { return info.param.name; });

}  // namespace
}  // namespace km
