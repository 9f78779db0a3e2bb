#include "commands/Describe.h"

#include <cstdint>

#include "StringTable.h"

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

}  // namespace

std::string ColorText(const CScriptCommand& command) {
  const std::uint32_t c = command.Color1;
  return FormatString(2069, c & 0xFFu, (c >> 8) & 0xFFu, (c >> 16) & 0xFFu);
}

std::string ResizeSizeText(const CScriptCommand& c) {
  switch (c.Int1) {
    case 0: return MaintainAspect(320, 200);
    case 1: return MaintainAspect(640, 350);
    case 2: return MaintainAspect(640, 480);
    case 3: return MaintainAspect(800, 600);
    case 4: return MaintainAspect(1024, 768);
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
  // Wide copies so that sums like Int1 + 20 cannot overflow.
  const std::int64_t i1 = c.Int1, i2 = c.Int2, i3 = c.Int3, i4 = c.Int4, i5 = c.Int5;
  switch (c.Code) {
    case 501:
      return FormatString(2036, ResizeSizeText(c), Choice(2033, i2, 3));
    case 502:
      return FormatString(1505, i1, i2);
    case 503:
      return FormatString(1510, i1, i2, i3);
    case 504:
      return FormatString(1509, i1, i2, i3);
    case 505:
      return FormatString(1507, i1, i2, i3);
    case 508: {
      std::int64_t degrees = i2 == 0 ? 90 : i2 == 1 ? 180 : i2 == 2 ? 270 : i1;
      return FormatString(2039, Choice(2037, i3, 2), degrees, ColorText(c));
    }
    case 509:
      return FormatString(1500, i1, i2, i3, i4, ColorText(c));
    case 510:
      return FormatString(1516, i2, i3, LoadString(i1 == 0 ? 1518 : 1517), ColorText(c));
    case 511:
      return FormatString(1506, static_cast<double>(c.Real1));
    case 516:
      return FormatString(1514, i1);
    case 517:
      return FormatString(1515, i1);
    case 518: {
      std::string method = i1 == 0 ? LoadString(1504) : i1 == 1 ? LoadString(1502)
                         : i1 == 2 ? LoadString(1503) : std::string();
      return FormatString(1501, c.Text1, method);
    }
    case 519:
      return FormatString(2059, i1 + (i2 == 1 ? 20 : 0), LoadString(i5 == 0 ? 1540 : 1541),
                          LoadString(i3 != 0 ? 2042 : 2040), ReverseChoice(1545, i2, 2),
                          ReverseChoice(1547, i4, 2));
    case 520: {
      std::string method = i3 == 0 ? LoadString(1543) : i3 == 1 ? LoadString(2041)
                         : i3 == 2 ? Choice(1557, i4, 3) : std::string();
      return FormatString(1556, Choice(1550, i1, 4), Choice(1554, i2, 2), method);
    }
    case 521:
      return FormatString(1549, Choice(1540, i1, 3), Choice(2040, i2, 3), ReverseChoice(1547, i3, 2));
    case 522:
      return FormatString(1548, Choice(1540, i1, 3), Choice(2040, i2, 3), ReverseChoice(1545, i3, 2),
                          ReverseChoice(1547, i4, 2));
    case 524:
      return FormatString(1511, i1, i2);
    case 525:
    case 526:
      return FormatString(1512, i1, ColorText(c));
    case 527:
    case 528:
    case 529:
    case 530:
      return FormatString(1513, i1);
    case 543:
      return FormatString(2045, i1, i2);
    case 544:
      return FormatString(1521, OutputTypeName(c.Int1), OutputSubTypeName(c.Int1, c.Int2), c.Text1);
    case 545:
    case 546:
      return ColorText(c);
    case 547:
      return FormatString(2044, i2, Choice(2037, i1, 2));
    case 548:
      return FormatString(2043, i1, i2);
    case 549:
      return FormatString(2047, i1, i2, ColorText(c));
    case 550:
      return FormatString(2050, Choice(2048, i1, 2), i2);
    case 556:
      return FormatString(2046, i1, i2);
    default:
      return LoadString(1508);
  }
}

bool DescribeCommand(const CScript& script, int index, std::string* text) {
  const CScriptCommand* c = script.GetAt(index);
  if (!c || !text) return false;
  *text = DescribeCommand(*c);
  return true;
}

}  // namespace km
