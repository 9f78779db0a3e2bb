#include <gtest/gtest.h>

#include "script/Defaults.h"

namespace km {
namespace {

TEST(DialogDefaults, FreshCommandsShowTheirDefaults) {
  CScriptCommand hms = WithDialogDefaults(CScriptCommand(505));
  EXPECT_EQ(hms.Int1, 100);
  EXPECT_EQ(hms.Int2, 50);
  EXPECT_EQ(hms.Int3, 0);
  EXPECT_EQ(hms.Int4, kUnsetParam);  // not covered by the dialog: keeps the marker

  EXPECT_FLOAT_EQ(WithDialogDefaults(CScriptCommand(511)).Real1, 1.2f);

  CScriptCommand out = WithDialogDefaults(CScriptCommand(544));
  EXPECT_EQ(out.Int3, 300);
  EXPECT_EQ(out.Int4, 15);
  EXPECT_EQ(out.Int5, 0);
  EXPECT_TRUE(out.Text1.empty());

  CScriptCommand borders = WithDialogDefaults(CScriptCommand(509));
  EXPECT_EQ(borders.Int1 + borders.Int2 + borders.Int3 + borders.Int4, 20);
  EXPECT_EQ(borders.Int5, 0);

  CScriptCommand opt = WithDialogDefaults(CScriptCommand(519));
  EXPECT_EQ(opt.Int1, 256);
  EXPECT_EQ(opt.Int3, 1);
  EXPECT_EQ(WithDialogDefaults(CScriptCommand(517)).Int1, 255);  // the dialog clamps later
  EXPECT_EQ(WithDialogDefaults(CScriptCommand(556)).Int3, 1);
}

TEST(DialogDefaults, StoredValuesAndOtherCommandsAreKept) {
  CScriptCommand c(502);
  c.Int1 = 10;
  CScriptCommand shown = WithDialogDefaults(c);
  EXPECT_EQ(shown.Int1, 10);
  EXPECT_EQ(shown.Int2, 0);
  CScriptCommand blur = WithDialogDefaults(CScriptCommand(537));
  EXPECT_EQ(blur.Int1, kUnsetParam);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(blur.Real1), kUnsetRealBits);
  CScriptCommand notGamma = WithDialogDefaults(CScriptCommand(502));
  EXPECT_EQ(std::bit_cast<std::uint32_t>(notGamma.Real1), kUnsetRealBits);
}

}  // namespace
}  // namespace km
