#include "commands/Describe.h"

#include <array>
#include <cstdint>
#include <string>
#include <variant>

#include "StringTable.h"
#include "commands/Dispatcher.h"
#include "imaging/palette/Palette.h"
#include "script/CommandCatalogue.h"

namespace km {
namespace {

// String base + value for a choice 0..count-1; empty for any other stored value (a
// script file may hold anything), so it never shows a neighbouring string.
std::string Choice(int base, std::int64_t value, int count) {
  return value >= 0 && value < count ? LoadString(base + static_cast<int>(value)) : std::string();
}

// String top - value for a choice 0..count-1 (the lists stored in reverse order).
std::string ReverseChoice(int top, std::int64_t value, int count) {
  return value >= 0 && value < count ? LoadString(top - static_cast<int>(value)) : std::string();
}

std::string MaintainAspect(std::int64_t width, std::int64_t height) {
  if (width >= 1 && height >= 1) return FormatString(2030, width, height);
  if (height == -1) return FormatString(2031, width);
  return FormatString(2032, height);
}

struct SubTypes {
  int base;
  int count;
};

// Sub-type strings per output type (Int1 of 544); count 0 = no sub-types.
SubTypes SubTypesOf(int type) {
  switch (type) {
    case 0: return {1805, 3};   // BMP
    case 3: return {1810, 3};   // DIB
    case 4: return {1815, 4};   // EPS
    case 5: return {1820, 4};   // GIF
    case 6: return {1825, 2};   // IFF
    case 8:                     // JIF
    case 9: return {1890, 2};   // JPG
    case 10: return {1830, 2};  // LBM
    case 11: return {1840, 2};  // MAC
    case 13:                    // PBM
    case 16:                    // PGM
    case 19: return {1850, 2};  // PPM
    case 15: return {1845, 3};  // PCX
    case 18: return {1885, 2};  // PNG
    case 22: return {1855, 2};  // RLE
    case 23: return {1860, 6};  // TGA
    case 24: return {1870, 5};  // TIF
    case 26: return {1880, 3};  // WPG
    default: return {0, 0};
  }
}

constexpr int kOutputTypeCount = 27;

// What one description argument formats: a number, a real number or a text.
using DescValue = std::variant<std::int64_t, double, std::string>;

// A field as a wide number, so that sums such as Int1 + 20 cannot overflow.
std::int64_t IntOf(const CScriptCommand& c, Field f) { return c.*IntMember(f); }

DescValue ArgValue(const DescArg& a, const CScriptCommand& c) {
  using Kind = DescArg::Kind;
  switch (a.kind) {
    case Kind::kInt: return IntOf(c, a.field);
    case Kind::kReal: return static_cast<double>(c.*RealMember(a.field));
    case Kind::kText: return c.*TextMember(a.field);
    case Kind::kColor: return ColorText(c);
    case Kind::kChoice: return Choice(a.id, IntOf(c, a.field), a.count);
    case Kind::kReverse: return ReverseChoice(a.id, IntOf(c, a.field), a.count);
    case Kind::kZeroOrNot: return LoadString(IntOf(c, a.field) == 0 ? a.id : a.other);
    case Kind::kList: {
      const std::int64_t v = IntOf(c, a.field);
      return v >= 0 && v < a.count ? LoadString(a.ids[static_cast<std::size_t>(v)]) : std::string();
    }
    case Kind::kResizeSize: return ResizeSizeText(c);
    case Kind::kRotateDegrees: {
      static constexpr std::int64_t kQuarterTurns[] = {90, 180, 270};
      return c.Int2 >= 0 && c.Int2 <= 2 ? kQuarterTurns[c.Int2] : std::int64_t{c.Int1};
    }
    case Kind::kOptimizedCount: return std::int64_t{c.Int1} + (c.Int2 == 1 ? kWindowsColorCount : 0);
    case Kind::kTwoColorMethod:
      if (c.Int3 == 0 || c.Int3 == 1) return LoadString(a.ids[static_cast<std::size_t>(c.Int3)]);
      return c.Int3 == 2 ? Choice(a.id, c.Int4, a.count) : std::string();
    case Kind::kOutputType: return OutputTypeName(c.Int1);
    case Kind::kOutputSubType: return OutputSubTypeName(c.Int1, c.Int2);
  }
  return std::string();
}

}  // namespace

std::string ColorText(const CScriptCommand& command) {
  const std::uint32_t c = command.Color1;
  return FormatString(2069, c & 0xFFu, (c >> 8) & 0xFFu, (c >> 16) & 0xFFu);
}

std::string ResizeSizeText(const CScriptCommand& c) {
  if (c.Int1 >= 0 && c.Int1 < static_cast<int>(kResizePresets.size())) {
    const ResizePreset& p = kResizePresets[static_cast<std::size_t>(c.Int1)];
    return MaintainAspect(p.width, p.height);
  }
  switch (c.Int1) {
    case 6: return MaintainAspect(c.Int3, -1);
    case 7: return MaintainAspect(-1, c.Int4);
    default: return MaintainAspect(c.Int3, c.Int4);  // 5, custom width and height
  }
}

std::string OutputTypeName(int type) {
  if (type < 0 || type >= kOutputTypeCount) return {};
  std::string name = LoadString(1700 + type);
  return name.substr(0, name.find('|'));
}

std::string OutputSubTypeName(int type, int subType) {
  SubTypes s = SubTypesOf(type);
  if (s.count == 0) return LoadString(1800);
  if (subType < 0 || subType >= s.count) return {};
  return LoadString(s.base + subType);
}

std::string DescribeCommand(const CScriptCommand& c) {
  const CommandInfo* info = FindCommand(c.Code);
  if (!info) return LoadString(kNoParametersText);
  const Description& d = info->description;
  std::array<DescValue, 5> values;
  for (std::size_t i = 0; i < d.args.size(); ++i) {
    values[i] = ArgValue(d.args[i], c);
  }
  if (d.format == 0) return std::get<std::string>(values[0]);
  const auto arg = [&](std::size_t i) { return std::visit([](const auto& v) { return FormatArg(v); }, values[i]); };
  return FormatText(LoadString(d.format), {arg(0), arg(1), arg(2), arg(3), arg(4)});
}

bool DescribeCommand(const CScript& script, int index, std::string* text) {
  const CScriptCommand* c = script.GetAt(index);
  if (!c || !text) return false;
  *text = DescribeCommand(*c);
  return true;
}

}  // namespace km
