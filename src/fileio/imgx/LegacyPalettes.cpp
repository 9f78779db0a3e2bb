#include "fileio/imgx/LegacyPalettes.h"

namespace km::imgx {

namespace {
// The 16 text-mode colours as 0xRRGGBB.
constexpr std::uint32_t kSixteen[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA,
                                        0xAA5500, 0xAAAAAA, 0x555555, 0x5555FF, 0x55FF55, 0x55FFFF,
                                        0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

RgbQuad FromRgb(std::uint32_t rgb) {
  return RgbQuad{static_cast<std::uint8_t>(rgb & 0xFF), static_cast<std::uint8_t>((rgb >> 8) & 0xFF),
                 static_cast<std::uint8_t>(rgb >> 16), 0};
}
}  // namespace

RgbQuad EgaColour(std::uint8_t ega) {
  auto level = [ega](int high, int low) {
    return static_cast<std::uint8_t>(((ega >> high) & 1) * 0xAA + ((ega >> low) & 1) * 0x55);
  };
  return RgbQuad{level(0, 3), level(1, 4), level(2, 5), 0};
}

void CgaPalette(std::uint8_t background, std::uint8_t palette, RgbQuad* table) {
  table[0] = FromRgb(kSixteen[background & 0x0F]);
  if ((palette & 1) == 0) {
    table[1] = FromRgb(kSixteen[2]);
    table[2] = FromRgb(kSixteen[4]);
    table[3] = FromRgb(kSixteen[6]);
  } else {
    table[1] = FromRgb(kSixteen[3]);
    table[2] = FromRgb(kSixteen[5]);
    table[3] = FromRgb(kSixteen[7]);
  }
}

void DefaultPcPalette(int storedBits, RgbQuad* table, int count) {
  for (int i = 0; i < count; ++i) {
    table[i] = RgbQuad{};
  }
  switch (storedBits) {
    case 1:
      if (count >= 2) {
        table[1] = FromRgb(0xFFFFFF);
      }
      break;
    case 2:
      if (count >= 4) {
        table[0] = FromRgb(0);
        table[1] = FromRgb(kSixteen[11]);
        table[2] = FromRgb(kSixteen[13]);
        table[3] = FromRgb(kSixteen[15]);
      }
      break;
    case 8:
      for (int i = 0; i < count && i < 256; ++i) {
        const auto g = static_cast<std::uint8_t>(i);
        table[i] = RgbQuad{g, g, g, 0};
      }
      break;
    default:
      for (int i = 0; i < count && i < 16; ++i) {
        table[i] = FromRgb(kSixteen[i]);
      }
      break;
  }
}

}  // namespace km::imgx
