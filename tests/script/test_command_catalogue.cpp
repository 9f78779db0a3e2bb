#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "script/CommandCatalogue.h"

namespace km {
namespace {

using enum Field;

// One parameter field as the command's parameter table gives it: the range the stored
// value has and the default shown for the unset marker.
struct Want {
  Field field;
  std::int32_t min;
  std::int32_t max;
  std::int32_t def;
};

constexpr std::int32_t kAnyColour = 0xFFFFFF;

// Typed in from the parameter table, code by code; commands not listed use no field.
// Text fields carry no range (a path). Real1 of gamma is in hundredths.
const std::map<int, std::vector<Want>>& Expected() {
  static const std::map<int, std::vector<Want>> table = {
      {501, {{kInt1, 0, 7, 0}, {kInt2, 0, 2, 0}, {kInt3, 1, 32767, 100}, {kInt4, 1, 32767, 100}}},
      {502, {{kInt1, -100, 100, 0}, {kInt2, -100, 100, 0}}},
      {503, {{kInt1, -100, 100, 0}, {kInt2, -100, 100, 0}, {kInt3, -100, 100, 0}}},
      {504, {{kInt1, -100, 100, 0}, {kInt2, -100, 100, 0}, {kInt3, -100, 100, 0}}},
      {505, {{kInt1, 0, 100, 100}, {kInt2, 0, 100, 50}, {kInt3, 0, 100, 0}}},
      {508, {{kInt1, 1, 359, 0}, {kInt2, 0, 3, 0}, {kInt3, 0, 1, 0}, {kColor1, 0, kAnyColour, 0}}},
      {509, {{kInt1, 0, 32767, 5}, {kInt2, 0, 32767, 5}, {kInt3, 0, 32767, 5}, {kInt4, 0, 32767, 5},
             {kInt5, 0, 1, 0}, {kColor1, 0, kAnyColour, 0}}},
      // Width and height: from the image's size (checked below) up to 32767.
      {510, {{kInt1, 0, 1, 1}, {kInt2, 1, 32767, 100}, {kInt3, 1, 32767, 100}, {kColor1, 0, kAnyColour, 0}}},
      {511, {{kReal1, 1, 499, 120}}},
      {516, {{kInt1, 1, 7, 50}}},
      {517, {{kInt1, 1, 254, 255}}},
      {518, {{kText1, 0, 0, 0}, {kInt1, 0, 2, 0}}},
      {519, {{kInt1, 1, 256, 256}, {kInt2, 0, 1, 0}, {kInt3, 0, 1, 1}, {kInt4, 0, 1, 0}, {kInt5, 0, 1, 0}}},
      {520, {{kInt1, 0, 3, 0}, {kInt2, 0, 1, 0}, {kInt3, 0, 2, 0}, {kInt4, 0, 2, 0}}},
      {521, {{kInt1, 0, 2, 0}, {kInt2, 0, 2, 0}, {kInt3, 0, 1, 0}}},
      {522, {{kInt1, 0, 2, 0}, {kInt2, 0, 2, 0}, {kInt3, 0, 1, 0}, {kInt4, 0, 1, 0}}},
      {524, {{kInt1, 0, 255, 50}, {kInt2, 0, 255, 0}}},
      {525, {{kInt1, -100, 100, 30}, {kColor1, 0, kAnyColour, 0}}},
      {526, {{kInt1, -100, 100, 30}, {kColor1, 0, kAnyColour, 0}}},
      // 0..99, and a typed 100 is also accepted.
      {527, {{kInt1, 0, 100, 30}}},
      {528, {{kInt1, 0, 100, 30}}},
      {529, {{kInt1, 0, 100, 30}}},
      {530, {{kInt1, 0, 100, 30}}},
      {543, {{kInt1, 0, 100, 10}, {kInt2, 1, 4, 2}}},
      // Sub-type: per type, the longest list (TGA) has six. Transparency: mode 0..3 in
      // the high byte, entry 0..255 in the low byte.
      {544, {{kInt1, 0, 26, 0}, {kInt2, 0, 5, 0}, {kInt3, 1, 2400, 300}, {kInt4, 1, 99, 15},
             {kInt5, 0, 3 * 256 + 255, 0}, {kText1, 0, 0, 0}, {kColor1, 0, kAnyColour, 0}}},
      {545, {{kColor1, 0, kAnyColour, 0}}},
      {546, {{kColor1, 0, kAnyColour, 0}}},
      {547, {{kInt1, 0, 1, 0}, {kInt2, 0, 20, 0}}},
      {548, {{kInt1, 0, 359, 0}, {kInt2, 1, 40, 0}}},
      {549, {{kInt1, -45, 45, 0}, {kInt2, -45, 45, 0}, {kColor1, 0, kAnyColour, 0}}},
      {550, {{kInt1, 0, 1, 0}, {kInt2, 1, 100, 1}}},
      {556, {{kInt1, 1, 100, 1}, {kInt2, 1, 100, 1}, {kInt3, 0, 1, 1}}},
  };
  return table;
}

// The commands that refuse anything but true colour and greyscale at once, and the two
// that refuse only some settings on other images.
const std::set<int> kTrueColorOnly = {525, 526, 527, 528, 529, 530, 531, 532, 533, 534, 535, 536, 537, 538,
                                      539, 540, 541, 542, 543, 545, 546, 547, 548, 549, 551, 552, 553, 554, 555};
const std::set<int> kTrueColorSometimes = {501, 508};

const std::set<int> kNoDialog = {506, 507, 512, 513, 514, 515, 523, 531, 532, 533, 534, 535, 536,
                                 537, 538, 539, 540, 541, 542, 551, 552, 553, 554, 555};

TEST(CommandCatalogue, EveryRowHasTheFieldsRangesAndDefaultsOfItsCommand) {
  ASSERT_EQ(CommandCatalogue().size(), 56u);
  for (int code = 501; code <= 556; ++code) {
    SCOPED_TRACE(code);
    const CommandInfo* info = FindCommand(code);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->code, code);
    EXPECT_EQ(info->nameId(), code);
    const auto it = Expected().find(code);
    const std::vector<Want> none;
    const std::vector<Want>& want = it == Expected().end() ? none : it->second;
    ASSERT_EQ(info->fields.size(), want.size());
    for (const Want& w : want) {
      const FieldDef* f = FindField(code, w.field);
      ASSERT_NE(f, nullptr) << "field " << static_cast<int>(w.field);
      EXPECT_EQ(f->def, w.def) << "field " << static_cast<int>(w.field);
      if (w.field == kText1) {
        EXPECT_EQ(f->control, Control::kPath);
        continue;
      }
      EXPECT_EQ(f->valid.min, w.min) << "field " << static_cast<int>(w.field);
      EXPECT_EQ(f->valid.max, w.max) << "field " << static_cast<int>(w.field);
    }
  }
}

TEST(CommandCatalogue, TrueColourNeedsAndDialogs) {
  for (const CommandInfo& info : CommandCatalogue()) {
    SCOPED_TRACE(info.code);
    const TrueColor want = kTrueColorOnly.contains(info.code)        ? TrueColor::kRequired
                           : kTrueColorSometimes.contains(info.code) ? TrueColor::kSometimes
                                                                     : TrueColor::kAny;
    EXPECT_EQ(info.trueColor, want);
    EXPECT_EQ(info.hasDialog(), !kNoDialog.contains(info.code));
    // A command without a dialog has no parameters and describes as "None".
    if (!info.hasDialog()) {
      EXPECT_TRUE(info.fields.empty());
      EXPECT_EQ(info.description.format, 1508);
    }
  }
  EXPECT_EQ(FindCommand(500), nullptr);
  EXPECT_EQ(FindCommand(557), nullptr);
  EXPECT_EQ(FindField(537, kInt1), nullptr);
  EXPECT_EQ(FindField(557, kInt1), nullptr);
}

TEST(CommandCatalogue, DialogTemplatesAndPreviews) {
  // code -> template; previews on the adjustment, deformation and filter dialogs.
  const std::map<int, int> templates = {
      {501, 30760}, {502, 1505}, {503, 1508}, {504, 1508}, {505, 1508}, {508, 123}, {509, 122},
      {510, 146},   {511, 3002}, {516, 1507}, {517, 1507}, {518, 186},  {519, 30761}, {520, 183},
      {521, 184},   {522, 182},  {524, 1505}, {525, 151},  {526, 151},  {527, 149},   {528, 149},
      {529, 149},   {530, 149},  {543, 152},  {544, 30759}, {547, 127}, {548, 202},   {549, 154},
      {550, 125},   {556, 148}};
  const std::set<int> previews = {502, 503, 504, 505, 511, 516, 517, 524, 525, 526, 527,
                                  528, 529, 530, 543, 547, 548, 549, 550, 556};
  for (const CommandInfo& info : CommandCatalogue()) {
    SCOPED_TRACE(info.code);
    const auto t = templates.find(info.code);
    EXPECT_EQ(info.dialog.templateId, t == templates.end() ? 0 : t->second);
    EXPECT_EQ(info.dialog.preview, previews.contains(info.code));
  }
  EXPECT_EQ(FindCommand(518)->dialog.kind, DialogKind::kFileChooser);
  EXPECT_STREQ(FindCommand(518)->dialog.emptyPath, "C:\\*.Pal");
  EXPECT_EQ(FindCommand(545)->dialog.kind, DialogKind::kColorChooser);
  EXPECT_EQ(FindCommand(544)->dialog.kind, DialogKind::kOutputOptions);
  EXPECT_EQ(FindCommand(509)->dialog.nonZeroMessage, 5019);
  EXPECT_EQ(FindCommand(549)->dialog.nonZero.size(), 2u);
  EXPECT_EQ(FindCommand(502)->fields[1].label, 2001);
}

TEST(CommandCatalogue, OpeningRulesClampRaiseAndReset) {
  // A new "Posterize Image" shows 7: the default 50 clamped to 1..7.
  EXPECT_EQ(OpeningValue(*FindField(516, kInt1), kUnsetParam, 64, 64), 7);
  EXPECT_EQ(OpeningValue(*FindField(517, kInt1), kUnsetParam, 64, 64), 254);
  // A new "Rotate Image" shows the free angle 1; 400 is lowered to 359.
  EXPECT_EQ(OpeningValue(*FindField(508, kInt1), kUnsetParam, 64, 64), 1);
  EXPECT_EQ(OpeningValue(*FindField(508, kInt1), 400, 64, 64), 359);
  // "Enlarge Canvas" on 640 x 480 with a stored 100 x 100 shows 640 x 480; larger stays.
  EXPECT_EQ(OpeningValue(*FindField(510, kInt2), 100, 640, 480), 640);
  EXPECT_EQ(OpeningValue(*FindField(510, kInt3), 100, 640, 480), 480);
  EXPECT_EQ(OpeningValue(*FindField(510, kInt2), 40000, 640, 480), 40000);
  // Mosaic: a block size outside 1..100 becomes 1.
  EXPECT_EQ(OpeningValue(*FindField(556, kInt1), 0, 64, 64), 1);
  EXPECT_EQ(OpeningValue(*FindField(556, kInt2), 101, 64, 64), 1);
  EXPECT_EQ(OpeningValue(*FindField(556, kInt2), 37, 64, 64), 37);
  // Warp: the spin and the clamp stop at 99.
  EXPECT_EQ(OpeningValue(*FindField(528, kInt1), 100, 64, 64), 99);
  // Fields without an opening rule show what is stored, out of range or not.
  EXPECT_EQ(OpeningValue(*FindField(548, kInt2), kUnsetParam, 64, 64), 0);
  EXPECT_EQ(OpeningValue(*FindField(503, kInt1), 300, 64, 64), 300);
  // Gamma: 1.20 for the marker, clamped to 0.01..4.99.
  EXPECT_FLOAT_EQ(OpeningReal(*FindField(511, kReal1), kUnsetReal), 1.2f);
  EXPECT_FLOAT_EQ(OpeningReal(*FindField(511, kReal1), 7.0f), 4.99f);
  EXPECT_FLOAT_EQ(OpeningReal(*FindField(511, kReal1), 0.0f), 0.01f);
}

TEST(CommandCatalogue, OkValidatesOnlyWhereTheDialogDoes) {
  // Warp accepts a typed 100 although its spin stops at 99.
  EXPECT_TRUE(AcceptedOnOk(*FindField(527, kInt1), 100, 64, 64));
  EXPECT_FALSE(AcceptedOnOk(*FindField(527, kInt1), 101, 64, 64));
  // Motion blur and noise: the slider and spin reach 0, OK does not accept it.
  EXPECT_FALSE(AcceptedOnOk(*FindField(548, kInt2), 0, 64, 64));
  EXPECT_EQ(FindField(548, kInt2)->shown.min, 0);
  EXPECT_FALSE(AcceptedOnOk(*FindField(550, kInt2), 0, 64, 64));
  EXPECT_TRUE(AcceptedOnOk(*FindField(550, kInt2), 100, 64, 64));
  // Resize: the width is validated, the height only held by its spin.
  EXPECT_FALSE(AcceptedOnOk(*FindField(501, kInt3), 0, 64, 64));
  EXPECT_TRUE(AcceptedOnOk(*FindField(501, kInt4), 0, 64, 64));
  // The canvas may not be smaller than the image.
  EXPECT_FALSE(AcceptedOnOk(*FindField(510, kInt2), 639, 640, 480));
  EXPECT_TRUE(AcceptedOnOk(*FindField(510, kInt2), 640, 640, 480));
  EXPECT_FALSE(AcceptedOnOk(*FindField(510, kInt2), 32768, 640, 480));
}

}  // namespace
}  // namespace km
