#include "script/CommandCatalogue.h"

#include "imaging/filters/Filters.h"

namespace km {
namespace {

using enum Field;
using Arg = DescArg::Kind;

// ---- Field builders -----------------------------------------------------------------

// A field definition under construction; the modifiers return a changed copy.
struct F {
  FieldDef s;
  constexpr F spin() const { F r = *this; r.s.spin = true; return r; }
  constexpr F clampOnOpen() const { F r = *this; r.s.onOpen = OnOpen::kClamp; return r; }
  constexpr F resetOnOpen() const { F r = *this; r.s.onOpen = OnOpen::kResetToMin; return r; }
  constexpr F shown(std::int32_t lo, std::int32_t hi) const { F r = *this; r.s.shown = {lo, hi}; return r; }
  constexpr F unvalidated() const { F r = *this; r.s.validated = false; return r; }
  constexpr F label(int id) const { F r = *this; r.s.label = id; return r; }
  constexpr F named(const char* name) const { F r = *this; r.s.name = name; return r; }
  constexpr F atLeastImage(LowerBound side) const {
    F r = *this;
    r.s.lower = side;
    r.s.onOpen = OnOpen::kRaise;
    return r;
  }
  constexpr operator FieldDef() const { return s; }  // NOLINT(google-explicit-constructor)
};

// An edit box whose range OK validates.
constexpr F Number(Field f, std::int32_t lo, std::int32_t hi, std::int32_t def) {
  return F{{.field = f, .control = Control::kNumber, .def = def, .valid = {lo, hi}, .shown = {lo, hi},
            .validated = true}};
}

// Real1 in hundredths.
constexpr F Hundredths(Field f, std::int32_t lo, std::int32_t hi, std::int32_t def) {
  F r = Number(f, lo, hi, def);
  r.s.scale = 100;
  return r;
}

// A radio group of `count` buttons.
constexpr F Choice(Field f, std::int32_t count, std::int32_t def) {
  return F{{.field = f, .control = Control::kChoice, .def = def, .valid = {0, count - 1}, .shown = {0, count - 1}}};
}

constexpr F Check(Field f, std::int32_t def) {
  return F{{.field = f, .control = Control::kCheck, .def = def, .valid = {0, 1}, .shown = {0, 1}}};
}

constexpr F Colour(const char* name) {
  return F{{.field = kColor1, .control = Control::kColor, .valid = {0, 0xFFFFFF}, .shown = {0, 0xFFFFFF},
            .name = name}};
}

constexpr F Path(const char* name) { return F{{.field = kText1, .control = Control::kPath, .name = name}}; }

// A field of the output-options dialog, which enforces its own ranges.
constexpr F Output(Field f, std::int32_t lo, std::int32_t hi, std::int32_t def) {
  return F{{.field = f, .control = Control::kOutput, .def = def, .valid = {lo, hi}, .shown = {lo, hi}}};
}

// ---- Description builders -----------------------------------------------------------

constexpr DescArg Value(Field f) { return {.kind = IsRealField(f) ? Arg::kReal : Arg::kInt, .field = f}; }
constexpr DescArg TextOf(Field f) { return {.kind = Arg::kText, .field = f}; }
constexpr DescArg ColourText() { return {.kind = Arg::kColor, .field = kColor1}; }
constexpr DescArg Pick(int base, Field f, int count) { return {.kind = Arg::kChoice, .field = f, .id = base, .count = count}; }
constexpr DescArg PickDown(int top, Field f, int count) {
  return {.kind = Arg::kReverse, .field = f, .id = top, .count = count};
}
constexpr DescArg ZeroOrNot(Field f, int whenZero, int otherwise) {
  return {.kind = Arg::kZeroOrNot, .field = f, .id = whenZero, .other = otherwise};
}
constexpr DescArg Special(Arg kind) { return {.kind = kind}; }

// ---- Dialog builders ----------------------------------------------------------------

constexpr DialogDef Form(int templateId, bool preview, int title = 0) {
  return {.kind = DialogKind::kForm, .templateId = templateId, .preview = preview, .title = title};
}

constexpr DialogDef WithRules(DialogDef d, std::uint16_t rules) {
  d.rules = rules;
  return d;
}

constexpr DialogDef WithColourTitle(DialogDef d, int title) {
  d.colorTitle = title;
  return d;
}

constexpr DialogDef Unchanged(DialogDef d, SmallList<FieldValue, 3> values) {
  d.unchanged = values;
  return d;
}

constexpr DialogDef NonZero(DialogDef d, SmallList<Field, 4> fields) {
  d.rules |= kRuleNonZero;
  d.nonZero = fields;
  d.nonZeroMessage = 5019;  // "You must specify at least one non-zero value"
  return d;
}

// ---- Shapes shared by several commands ----------------------------------------------

// The three percentages of 503, 504 and 505 on template 1508.
constexpr CommandFields Three(std::int32_t lo, std::int32_t hi, std::array<std::int32_t, 3> def,
                              std::array<int, 3> labels, std::array<const char*, 3> names) {
  return {Number(kInt1, lo, hi, def[0]).label(labels[0]).named(names[0]),
          Number(kInt2, lo, hi, def[1]).label(labels[1]).named(names[1]),
          Number(kInt3, lo, hi, def[2]).label(labels[2]).named(names[2])};
}

constexpr CommandInfo Perspective(CommandCode code, int axis) {
  return {.code = code, .trueColor = TrueColor::kRequired,
          .fields = {Number(kInt1, -100, 100, 30).spin().clampOnOpen().named("difference"), Colour("background")},
          .dialog = Form(151, true, code),
          .description = {1512, {Value(kInt1), ColourText()}},
          .operation = Operation::kPerspective, .args = {axis}};
}

// 527..530: WarpDIB(100 + a * Int1, 100 + b * Int1).
constexpr CommandInfo Warp(CommandCode code, int a, int b) {
  return {.code = code, .trueColor = TrueColor::kRequired,
          .fields = {Number(kInt1, 0, 100, 30).shown(0, 99).spin().clampOnOpen().named("effect")},
          .dialog = Form(149, true, code),
          .description = {1513, {Value(kInt1)}},
          .operation = Operation::kWarp, .args = {a, b}};
}

constexpr CommandInfo Plain(CommandCode code, Operation op, TrueColor tc = TrueColor::kAny, int arg = 0) {
  return {.code = code, .trueColor = tc, .operation = op, .args = {arg}};
}

constexpr CommandInfo Kernel(CommandCode code, int kernel) {
  return Plain(code, Operation::kConvolve, TrueColor::kRequired, kernel);
}

constexpr CommandInfo Rank(CommandCode code, int mode) {
  return Plain(code, Operation::kRankFilter, TrueColor::kRequired, mode);
}

constexpr CommandInfo ColourOnly(CommandCode code, Operation op) {
  return {.code = code, .trueColor = TrueColor::kRequired, .fields = {Colour("background")},
          .dialog = {.kind = DialogKind::kColorChooser, .title = 2517},  // "Select Background Color"
          .description = {0, {ColourText()}}, .operation = op};
}

// ---- The rows -----------------------------------------------------------------------

constexpr std::array<CommandInfo, kCommandCount> kRows = {{
    {.code = kResizeResample, .trueColor = TrueColor::kSometimes,
     .fields = {Choice(kInt1, 8, 0).named("size"), Choice(kInt2, 3, 0).named("method"),
                Number(kInt3, 1, 32767, 100).spin().named("width"),
                Number(kInt4, 1, 32767, 100).spin().unvalidated().named("height")},
     .dialog = Form(30760, false),
     .description = {2036, {Special(Arg::kResizeSize), Pick(2033, kInt2, 3)}},
     .operation = Operation::kResize},
    {.code = kBrightnessContrast,
     .fields = {Number(kInt1, -100, 100, 0).spin().clampOnOpen().label(2000).named("brightness"),
                Number(kInt2, -100, 100, 0).spin().clampOnOpen().label(2001).named("contrast")},
     .dialog = Unchanged(Form(1505, true, kBrightnessContrast), {{kInt1, 0}, {kInt2, 0}}),
     .description = {1505, {Value(kInt1), Value(kInt2)}},
     .operation = Operation::kBrightnessContrast},
    {.code = kAdjustRGB, .fields = Three(-100, 100, {0, 0, 0}, {2008, 2009, 2010}, {"red", "green", "blue"}),
     .dialog = Unchanged(Form(1508, true, kAdjustRGB), {{kInt1, 0}, {kInt2, 0}, {kInt3, 0}}),
     .description = {1510, {Value(kInt1), Value(kInt2), Value(kInt3)}},
     .operation = Operation::kAdjustRGB},
    {.code = kAdjustHSL, .fields = Three(-100, 100, {0, 0, 0}, {2005, 2006, 2007}, {"hue", "saturation", "luminance"}),
     .dialog = Unchanged(Form(1508, true, kAdjustHSL), {{kInt1, 0}, {kInt2, 0}, {kInt3, 0}}),
     .description = {1509, {Value(kInt1), Value(kInt2), Value(kInt3)}},
     .operation = Operation::kAdjustHSL},
    {.code = kHighlightMidtoneShadow, .fields = Three(0, 100, {100, 50, 0}, {2002, 2003, 2004}, {"highlight", "midtone", "shadow"}),
     .dialog = Unchanged(Form(1508, true, kHighlightMidtoneShadow), {{kInt1, 100}, {kInt2, 50}, {kInt3, 0}}),
     .description = {1507, {Value(kInt1), Value(kInt2), Value(kInt3)}},
     .operation = Operation::kHighlightMidtoneShadow},
    Plain(kFlipImage, Operation::kFlip),
    Plain(kMirrorImage, Operation::kMirror),
    {.code = kRotateImage, .trueColor = TrueColor::kSometimes,
     .fields = {Number(kInt1, 1, 359, 0).clampOnOpen().named("freeAngle"), Choice(kInt2, 4, 0).named("angleChoice"),
                Choice(kInt3, 2, 0).named("direction"), Colour("background")},
     .dialog = WithRules(Form(123, false), kRuleFreeAngleFocus),
     .description = {2039, {Pick(2037, kInt3, 2), Special(Arg::kRotateDegrees), ColourText()}},
     .operation = Operation::kRotate},
    {.code = kAddBorders,
     .fields = {Number(kInt1, 0, 32767, 5).spin().named("left"), Number(kInt2, 0, 32767, 5).spin().named("right"),
                Number(kInt3, 0, 32767, 5).spin().named("top"), Number(kInt4, 0, 32767, 5).spin().named("bottom"),
                Check(kInt5, 0).named("symmetric"), Colour("color")},
     .dialog = NonZero(WithColourTitle(WithRules(Form(122, false), kRuleSymmetricBorders), 2518),
                       {kInt1, kInt2, kInt3, kInt4}),
     .description = {1500, {Value(kInt1), Value(kInt2), Value(kInt3), Value(kInt4), ColourText()}},
     .operation = Operation::kBorders},
    {.code = kEnlargeCanvas,
     .fields = {Check(kInt1, 1).named("center"),
                Number(kInt2, 1, 32767, 100).spin().atLeastImage(LowerBound::kImageWidth).named("width"),
                Number(kInt3, 1, 32767, 100).spin().atLeastImage(LowerBound::kImageHeight).named("height"),
                Colour("color")},
     .dialog = WithColourTitle(Form(146, false), 2517),
     .description = {1516, {Value(kInt2), Value(kInt3), ZeroOrNot(kInt1, 1518, 1517), ColourText()}},
     .operation = Operation::kCanvas},
    {.code = kGammaCorrection,
     .fields = {Hundredths(kReal1, 1, 499, 120).spin().clampOnOpen().named("gamma")},
     .dialog = Form(3002, true),
     .description = {1506, {Value(kReal1)}},
     .operation = Operation::kGamma},
    Plain(kChangeToGreyscale, Operation::kGreyscale),
    Plain(kEqualizeHistogram, Operation::kEqualize),
    Plain(kStretchHistogram, Operation::kStretchHistogram),
    Plain(kNegativeImage, Operation::kInvert),
    {.code = kPosterizeImage,
     .fields = {Number(kInt1, 1, 7, 50).spin().clampOnOpen().label(2013).named("bits")},
     .dialog = Form(1507, true, kPosterizeImage),
     .description = {1514, {Value(kInt1)}},
     .operation = Operation::kPosterize},
    {.code = kSolarizeImage,
     .fields = {Number(kInt1, 1, 254, 255).spin().clampOnOpen().label(2014).named("threshold")},
     .dialog = Form(1507, true, kSolarizeImage),
     .description = {1515, {Value(kInt1)}},
     .operation = Operation::kSolarize},
    {.code = kApplyNewPalette,
     .fields = {Path("file"), Choice(kInt1, 3, 0).named("method")},
     .dialog = {.kind = DialogKind::kFileChooser, .templateId = 186, .title = kApplyNewPalette,
                .filter = 2015, .defaultExtension = "PAL", .emptyPath = "C:\\*.Pal"},
     .description = {1501, {TextOf(kText1), {.kind = Arg::kList, .field = kInt1, .count = 3, .ids = {1504, 1502, 1503}}}},
     .operation = Operation::kApplyPaletteFile},
    {.code = kApplyOptimizedPalette,
     .fields = {Number(kInt1, 1, 256, 256).named("colors"), Check(kInt2, 0).named("windowsColors"),
                Choice(kInt3, 2, 1).named("method"), Check(kInt4, 0).named("reduceBleed"),
                Choice(kInt5, 2, 0).named("algorithm")},
     .dialog = WithRules(Form(30761, false), kRuleOptimizedTotal | kRuleOptimizedMethods),
     .description = {2059, {Special(Arg::kOptimizedCount), ZeroOrNot(kInt5, 1540, 1541), ZeroOrNot(kInt3, 2040, 2042),
                            PickDown(1545, kInt2, 2), PickDown(1547, kInt4, 2)}},
     .operation = Operation::kFullyOptimized},
    {.code = kChangeTo2Colors,
     .fields = {Choice(kInt1, 4, 0).named("component"), Choice(kInt2, 2, 0).named("weighting"),
                Choice(kInt3, 3, 0).named("method"), Choice(kInt4, 3, 0).named("kernel")},
     .dialog = WithRules(Form(183, false), kRuleFirstChoiceIfNone),
     .description = {1556, {Pick(1550, kInt1, 4), Pick(1554, kInt2, 2),
                            {.kind = Arg::kTwoColorMethod, .id = 1557, .count = 3, .ids = {1543, 2041}}}},
     .operation = Operation::kTwoColors},
    {.code = kChangeTo16Colors,
     .fields = {Choice(kInt1, 3, 0).named("palette"), Choice(kInt2, 3, 0).named("method"),
                Check(kInt3, 0).named("reduceBleed")},
     .dialog = WithRules(Form(184, false), kRuleOptimizedMethods),
     .description = {1549, {Pick(1540, kInt1, 3), Pick(2040, kInt2, 3), PickDown(1547, kInt3, 2)}},
     .operation = Operation::kReduceColors, .args = {4}},
    {.code = kChangeTo256Colors,
     .fields = {Choice(kInt1, 3, 0).named("palette"), Choice(kInt2, 3, 0).named("method"),
                Check(kInt3, 0).named("windowsColors"), Check(kInt4, 0).named("reduceBleed")},
     .dialog = WithRules(Form(182, false), kRuleOptimizedMethods | kRuleWindowsOnlyOptimized),
     .description = {1548, {Pick(1540, kInt1, 3), Pick(2040, kInt2, 3), PickDown(1545, kInt3, 2),
                            PickDown(1547, kInt4, 2)}},
     .operation = Operation::kReduceColors, .args = {8}},
    Plain(kChangeToTrueColor, Operation::kTrueColor),
    {.code = kColorizeImage,
     .fields = {Number(kInt1, 0, 255, 50).label(2011).named("hue"), Number(kInt2, 0, 255, 0).label(2012).named("saturation")},
     .dialog = Form(1505, true, kColorizeImage),
     .description = {1511, {Value(kInt1), Value(kInt2)}},
     .operation = Operation::kColorize},
    Perspective(kHorizontalPerspective, 0),
    Perspective(kVerticalPerspective, 1),
    Warp(kHorizontalCylinder, 0, -1),
    Warp(kVerticalCylinder, -1, 0),
    Warp(kPinch, 1, 1),
    Warp(kPunch, -1, -1),
    Kernel(kEdgeEnhance, kKernelEdgeEnhance),
    Kernel(kEdgeEnhanceMore, kKernelEdgeEnhanceMore),
    Kernel(kFindEdges, kKernelFindEdges),
    Kernel(kFindHorizontalEdges, kKernelFindHorizontalEdges),
    Kernel(kFindVerticalEdges, kKernelFindVerticalEdges),
    Kernel(kTraceContour, kKernelTraceContour),
    Kernel(kBlur, kKernelBlur),
    Kernel(kBlurMore, kKernelBlurMore),
    Kernel(kSoften, kKernelSoften),
    Kernel(kSoftenMore, kKernelSoftenMore),
    Kernel(kSharpen, kKernelSharpen),
    Kernel(kSharpenMore, kKernelSharpenMore),
    {.code = kUnsharpen, .trueColor = TrueColor::kRequired,
     .fields = {Number(kInt1, 0, 100, 10).named("clipping"), Number(kInt2, 1, 4, 2).named("strength")},
     .dialog = Form(152, true),
     .description = {2045, {Value(kInt1), Value(kInt2)}},
     .operation = Operation::kUnsharpen},
    // Int2 indexes the type's sub-type list, of at most 6 entries (TGA); Int5 holds the
    // transparency mode 0..3 in its high byte and a palette entry in its low byte.
    {.code = kSetOutputOptions,
     .fields = {Output(kInt1, 0, 26, 0).named("type"), Output(kInt2, 0, 5, 0).named("subType"),
                Output(kInt3, 1, 2400, 300).named("resolution"), Output(kInt4, 1, 99, 15).named("compression"),
                Output(kInt5, 0, 0x03FF, 0).named("transparency"), Path("folder"), Colour("transparentColor")},
     .dialog = {.kind = DialogKind::kOutputOptions, .templateId = 30759, .emptyPath = "C:\\"},
     .description = {1521, {Special(Arg::kOutputType), Special(Arg::kOutputSubType), TextOf(kText1)}},
     .operation = Operation::kNothing},
    ColourOnly(kCircle, Operation::kCircle),
    ColourOnly(kPentagon, Operation::kPentagon),
    {.code = kWind, .trueColor = TrueColor::kRequired,
     .fields = {Choice(kInt1, 2, 0).named("direction"), Number(kInt2, 0, 20, 0).named("strength")},
     .dialog = Unchanged(Form(127, true), {{kInt2, 0}}),
     .description = {2044, {Value(kInt2), Pick(2037, kInt1, 2)}},
     .operation = Operation::kWind},
    {.code = kMotionBlur, .trueColor = TrueColor::kRequired,
     .fields = {Number(kInt1, 0, 359, 0).named("angle"), Number(kInt2, 1, 40, 0).shown(0, 40).spin().named("intensity")},
     .dialog = WithRules(Form(202, true), kRuleDirectionDial),
     .description = {2043, {Value(kInt1), Value(kInt2)}},
     .operation = Operation::kMotionBlur},
    {.code = kSkew, .trueColor = TrueColor::kRequired,
     .fields = {Number(kInt1, -45, 45, 0).named("horizontal"), Number(kInt2, -45, 45, 0).named("vertical"),
                Colour("background")},
     // Both 0 is refused on OK, and it would also be refused by the operation: the
     // preview of a freshly opened dialog shows the picture as it is instead.
     .dialog = Unchanged(NonZero(Form(154, true), {kInt1, kInt2}), {{kInt1, 0}, {kInt2, 0}}),
     .description = {2047, {Value(kInt1), Value(kInt2), ColourText()}},
     .operation = Operation::kSkew},
    {.code = kAddNoise,
     .fields = {Choice(kInt1, 2, 0).named("type"), Number(kInt2, 1, 100, 1).shown(0, 100).spin().named("amount")},
     .dialog = Form(125, true),
     .description = {2050, {Pick(2048, kInt1, 2), Value(kInt2)}},
     .operation = Operation::kAddNoise},
    Plain(kDespeckle, Operation::kDespeckle, TrueColor::kRequired),
    Rank(kDilate, kRankDilate),
    Kernel(kEmboss, kKernelEmboss),
    Rank(kErode, kRankErode),
    Rank(kMedianFilter, kRankMedian),
    {.code = kMosaic,
     .fields = {Number(kInt1, 1, 100, 1).resetOnOpen().named("width"), Number(kInt2, 1, 100, 1).resetOnOpen().named("height"),
                Check(kInt3, 1).named("symmetric")},
     .dialog = WithRules(Form(148, true), kRuleSymmetricBlock),
     .description = {2046, {Value(kInt1), Value(kInt2)}},
     .operation = Operation::kMosaic},
}};

constexpr bool InCodeOrder() {
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    if (kRows[i].code != kFirstCommandCode + static_cast<int>(i)) return false;
  }
  return true;
}
static_assert(InCodeOrder(), "one row per code, in code order");

constexpr bool SameName(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

constexpr bool EveryFieldNamedOnce() {
  for (const CommandInfo& row : kRows) {
    for (std::size_t i = 0; i < row.fields.size(); ++i) {
      if (row.fields[i].name[0] == '\0') return false;
      for (std::size_t j = 0; j < i; ++j) {
        if (SameName(row.fields[i].name, row.fields[j].name)) return false;
      }
    }
  }
  return true;
}
static_assert(EveryFieldNamedOnce(), "every field has a name of its own within its command");

}  // namespace

std::int32_t CScriptCommand::*IntMember(Field f) {
  static constexpr std::int32_t CScriptCommand::*kInts[] = {&CScriptCommand::Int1, &CScriptCommand::Int2,
                                                             &CScriptCommand::Int3, &CScriptCommand::Int4,
                                                             &CScriptCommand::Int5};
  return IsIntField(f) ? kInts[static_cast<int>(f)] : nullptr;
}

float CScriptCommand::*RealMember(Field f) {
  if (f == kReal1) return &CScriptCommand::Real1;
  if (f == kReal2) return &CScriptCommand::Real2;
  return nullptr;
}

std::uint32_t CScriptCommand::*ColorMember(Field f) {
  if (f == kColor1) return &CScriptCommand::Color1;
  if (f == kColor2) return &CScriptCommand::Color2;
  return nullptr;
}

std::string CScriptCommand::*TextMember(Field f) {
  if (f == kText1) return &CScriptCommand::Text1;
  if (f == kText2) return &CScriptCommand::Text2;
  return nullptr;
}

const CommandInfo* FindCommand(int code) {
  return IsCommandCode(code) ? &kRows[static_cast<std::size_t>(code - kFirstCommandCode)] : nullptr;
}

const FieldDef* FindField(int code, Field field) {
  const CommandInfo* info = FindCommand(code);
  if (!info) return nullptr;
  for (const FieldDef& f : info->fields) {
    if (f.field == field) return &f;
  }
  return nullptr;
}

std::span<const CommandInfo> CommandCatalogue() { return kRows; }

namespace {

Range WithImageBound(const FieldDef& entry, Range r, int imageWidth, int imageHeight) {
  switch (entry.lower) {
    case LowerBound::kFixed: break;
    case LowerBound::kImageWidth: r.min = imageWidth; break;
    case LowerBound::kImageHeight: r.min = imageHeight; break;
  }
  return r;
}

}  // namespace

Range ValidRange(const FieldDef& entry, int imageWidth, int imageHeight) {
  return WithImageBound(entry, entry.valid, imageWidth, imageHeight);
}

Range ShownRange(const FieldDef& entry, int imageWidth, int imageHeight) {
  return WithImageBound(entry, entry.shown, imageWidth, imageHeight);
}

std::int32_t OpeningValue(const FieldDef& entry, std::int32_t stored, int imageWidth, int imageHeight) {
  const std::int32_t v = ParamOrDefault(stored, entry.def);
  const Range shown = ShownRange(entry, imageWidth, imageHeight);
  switch (entry.onOpen) {
    case OnOpen::kKeep: return v;
    case OnOpen::kClamp: return shown.clamp(v);
    case OnOpen::kRaise: return std::max(v, shown.min);
    case OnOpen::kResetToMin: {
      const Range valid = ValidRange(entry, imageWidth, imageHeight);
      return valid.contains(v) ? v : valid.min;
    }
  }
  return v;
}

float OpeningReal(const FieldDef& entry, float stored) {
  const float v = RealOrDefault(stored, entry.realDefault());
  if (entry.onOpen != OnOpen::kClamp) return v;
  const auto scale = static_cast<float>(entry.scale);
  return std::clamp(v, static_cast<float>(entry.shown.min) / scale, static_cast<float>(entry.shown.max) / scale);
}

bool AcceptedOnOk(const FieldDef& entry, std::int64_t value, int imageWidth, int imageHeight) {
  return !entry.validated || ValidRange(entry, imageWidth, imageHeight).contains(value);
}

}  // namespace km
