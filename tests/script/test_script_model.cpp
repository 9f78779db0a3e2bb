#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "StringTable.h"
#include "script/Script.h"

namespace km {
namespace {

std::unique_ptr<CScriptCommand> Cmd(int code) { return std::make_unique<CScriptCommand>(code); }

// Codes of the script in order, for compact expectations.
std::vector<int> Codes(const CScript& s) {
  std::vector<int> v;
  for (int i = 0; i < s.GetCount(); ++i) v.push_back(s.GetAt(i)->Code);
  return v;
}

TEST(ScriptCommand, NewCommandHoldsUnsetMarkers) {
  CScriptCommand c;
  EXPECT_EQ(c.Code, -1);
  for (int v : {c.Int1, c.Int2, c.Int3, c.Int4, c.Int5}) EXPECT_EQ(v, -650000);
  std::uint32_t bits;
  std::memcpy(&bits, &c.Real1, 4);
  EXPECT_EQ(bits, 0xC91EB100u);
  std::memcpy(&bits, &c.Real2, 4);
  EXPECT_EQ(bits, 0xC91EB100u);
  EXPECT_TRUE(c.Text1.empty());
  EXPECT_TRUE(c.Text2.empty());
  EXPECT_EQ(c.Color1, 0u);
  EXPECT_EQ(c.Color2, 0u);
}

TEST(ScriptCommand, DefaultsReplaceOnlyTheExactMarker) {
  EXPECT_EQ(ParamOrDefault(-650000, 100), 100);
  EXPECT_EQ(ParamOrDefault(-650001, 100), -650001);
  EXPECT_EQ(ParamOrDefault(0, 100), 0);
  EXPECT_FLOAT_EQ(RealOrDefault(kUnsetReal, 1.2f), 1.2f);
  EXPECT_FLOAT_EQ(RealOrDefault(-650000.0f, 1.2f), 1.2f);
  // A neighbouring float is a real value, not the marker.
  float next = std::nextafter(-650000.0f, 0.0f);
  EXPECT_EQ(RealOrDefault(next, 1.2f), next);
  EXPECT_FLOAT_EQ(RealOrDefault(0.5f, 1.2f), 0.5f);
}

TEST(ScriptList, BadIndicesNeverFail) {
  CScript s;
  EXPECT_EQ(s.GetAt(0), nullptr);
  EXPECT_EQ(s.GetAt(-1), nullptr);
  s.RemoveAt(0);
  s.RemoveAt(-3);
  auto back = s.SetAt(0, Cmd(506));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Code, 506);
  s.Append(Cmd(507));
  EXPECT_EQ(s.GetAt(1), nullptr);
  s.RemoveAt(1);
  EXPECT_EQ(s.GetCount(), 1);
  EXPECT_FALSE(s.Swap(0, 1));
  EXPECT_EQ(s.InsertAfter(nullptr, 0), nullptr);
  EXPECT_EQ(s.GetCount(), 1);
}

TEST(ScriptList, InsertAfterPlacesAtSelectionPlusOne) {
  CScript s;
  s.InsertAfter(Cmd(501), -1);  // nothing selected: first
  EXPECT_EQ(Codes(s), (std::vector<int>{501}));
  s.InsertAfter(Cmd(502), -1);
  EXPECT_EQ(Codes(s), (std::vector<int>{502, 501}));
  s.InsertAfter(Cmd(503), 1);  // last selected: appended
  EXPECT_EQ(Codes(s), (std::vector<int>{502, 501, 503}));
  s.InsertAfter(Cmd(504), 1);  // second selected: third
  EXPECT_EQ(Codes(s), (std::vector<int>{502, 501, 504, 503}));
  s.InsertAfter(Cmd(505), 99);  // beyond the end: appended
  s.InsertAfter(Cmd(506), -7);  // any negative: first
  EXPECT_EQ(Codes(s), (std::vector<int>{506, 502, 501, 504, 503, 505}));
}

TEST(ScriptList, SetAtHandsBackTheReplacedCommand) {
  CScript s;
  s.Append(Cmd(501));
  s.Append(Cmd(502));
  CScriptCommand* first = s.GetAt(0);
  auto old = s.SetAt(0, Cmd(510));
  EXPECT_EQ(old.get(), first);
  EXPECT_EQ(Codes(s), (std::vector<int>{510, 502}));
  EXPECT_EQ(s.SetAt(1, nullptr), nullptr);  // a null never enters the list
  EXPECT_EQ(Codes(s), (std::vector<int>{510, 502}));
  EXPECT_TRUE(s.Swap(0, 1));
  EXPECT_EQ(Codes(s), (std::vector<int>{502, 510}));
}

TEST(ScriptList, FindCodeAndIndexOf) {
  CScript s;
  s.Append(Cmd(506));
  CScriptCommand* a = s.Append(Cmd(544));
  CScriptCommand* b = s.Append(Cmd(544));
  EXPECT_EQ(s.FindCode(544), a);
  EXPECT_NE(s.FindCode(544), b);
  EXPECT_EQ(s.FindCode(501), nullptr);
  EXPECT_EQ(s.IndexOf(b), 2);
  CScriptCommand outside(544);
  EXPECT_EQ(s.IndexOf(&outside), -1);
  EXPECT_EQ(s.IndexOf(nullptr), -1);
  s.RemoveAt(1);
  EXPECT_EQ(s.FindCode(544), b);
  s.RemoveAll();
  EXPECT_EQ(s.GetCount(), 0);
}

TEST(Catalogue, FiftySixNamedCommandsInCaseInsensitiveOrder) {
  const auto& order = CatalogueDisplayOrder();
  ASSERT_EQ(order.size(), 56u);
  std::vector<int> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 56; ++i) EXPECT_EQ(sorted[static_cast<std::size_t>(i)], 501 + i);
  EXPECT_TRUE(LoadString(557).empty());  // the list ends at the first missing id
  for (int code : order) EXPECT_FALSE(CommandName(code).empty()) << code;
  // Case-insensitive: "Apply a New Palette" precedes "Apply Fully Optimized Palette",
  // which a plain byte comparison would put the other way round.
  auto pos = [&](int code) { return std::find(order.begin(), order.end(), code) - order.begin(); };
  EXPECT_LT(pos(518), pos(519));
  EXPECT_EQ(order.front(), 509);  // "Add Borders"
  EXPECT_EQ(order.back(), 514);   // "Stretch Histogram"
  // Digits and spaces before letters: "Change to 16 colors" < "Change to 16.7 Mil colors"
  // < "Change to 2 colors" < "Change to 256 colors" < "Change to Greyscale".
  EXPECT_LT(pos(521), pos(523));
  EXPECT_LT(pos(523), pos(520));
  EXPECT_LT(pos(520), pos(522));
  EXPECT_LT(pos(522), pos(512));
}

TEST(Catalogue, DialogFlags) {
  for (int code : {506, 507, 512, 513, 514, 515, 523, 531, 537, 542, 551, 555}) {
    EXPECT_FALSE(HasParameterDialog(code)) << code;
  }
  for (int code : {501, 508, 511, 518, 519, 543, 544, 545, 546, 548, 550, 556}) {
    EXPECT_TRUE(HasParameterDialog(code)) << code;
  }
  EXPECT_FALSE(HasParameterDialog(500));
  EXPECT_FALSE(HasParameterDialog(557));
}

}  // namespace
}  // namespace km
