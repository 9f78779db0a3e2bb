#include "script/ClipboardBlock.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace km {
namespace {

void Put32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

}  // namespace

std::vector<std::uint8_t> EncodeClipboardBlock(const CScriptCommand& c) {
  const std::size_t l1 = c.Text1.size();
  const std::size_t l2 = c.Text2.size();
  std::vector<std::uint8_t> block(kClipboardFixedSize + l1 + 1 + l2 + 1 + kClipboardSlack, 0);
  std::uint8_t* p = block.data();
  const std::uint32_t numbers[10] = {
      static_cast<std::uint32_t>(c.Code), static_cast<std::uint32_t>(c.Int1), static_cast<std::uint32_t>(c.Int2),
      static_cast<std::uint32_t>(c.Int3), static_cast<std::uint32_t>(c.Int4), static_cast<std::uint32_t>(c.Int5),
      std::bit_cast<std::uint32_t>(c.Real1), std::bit_cast<std::uint32_t>(c.Real2), c.Color1, c.Color2};
  for (std::uint32_t v : numbers) {
    Put32(p, v);
    p += 4;
  }
  std::memcpy(p, c.Text1.data(), l1);
  p += l1 + 1;
  std::memcpy(p, c.Text2.data(), l2);
  return block;
}

bool DecodeClipboardBlock(const std::uint8_t* data, std::size_t size, CScriptCommand* command) {
  if (data == nullptr || command == nullptr || size < kClipboardFixedSize) {
    return false;
  }
  const std::uint8_t* end = data + size;
  const std::uint8_t* text1 = data + kClipboardFixedSize;
  const std::uint8_t* zero1 = std::find(text1, end, 0);
  if (zero1 == end) {
    return false;
  }
  const std::uint8_t* text2 = zero1 + 1;
  const std::uint8_t* zero2 = std::find(text2, end, 0);
  if (zero2 == end) {
    return false;
  }
  CScriptCommand& c = *command;
  c.Code = static_cast<std::int32_t>(Get32(data));
  std::int32_t* ints[5] = {&c.Int1, &c.Int2, &c.Int3, &c.Int4, &c.Int5};
  for (int i = 0; i < 5; ++i) *ints[i] = static_cast<std::int32_t>(Get32(data + 4 + 4 * i));
  c.Real1 = std::bit_cast<float>(Get32(data + 24));
  c.Real2 = std::bit_cast<float>(Get32(data + 28));
  c.Color1 = Get32(data + 32);
  c.Color2 = Get32(data + 36);
  c.Text1.assign(reinterpret_cast<const char*>(text1), static_cast<std::size_t>(zero1 - text1));
  c.Text2.assign(reinterpret_cast<const char*>(text2), static_cast<std::size_t>(zero2 - text2));
  return true;
}

}  // namespace km
