#pragma once

// The block one script command travels in through the clipboard ("ZVK Script Command").
// Little-endian, no padding:
//
//   offset 0        4 bytes   Code
//   offset 4       20 bytes   Int1..Int5
//   offset 24       8 bytes   Real1, Real2 (IEEE single bit patterns)
//   offset 32       4 bytes   Color1 (0x00BBGGRR)
//   offset 36       4 bytes   Color2
//   offset 40   L1 + 1 bytes  Text1 and a zero byte
//   offset 41+L1 L2 + 1 bytes Text2 and a zero byte
//
// The block is L1 + L2 + 46 bytes long: four bytes more than the content, left zero.
// Unlike a script file record, the colours come before the texts and the texts are
// zero-terminated rather than length-prefixed.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "script/Script.h"

namespace km {

inline constexpr char kClipboardFormatName[] = "ZVK Script Command";
inline constexpr std::size_t kClipboardFixedSize = 40;   // the numbers before the texts
inline constexpr std::size_t kClipboardSlack = 4;        // the unwritten tail

// The block for `command`.
std::vector<std::uint8_t> EncodeClipboardBlock(const CScriptCommand& command);

// Reads a block into *command (every field, no checks). False, with *command unchanged,
// when the block is shorter than the 40 bytes of numbers or either text has no zero
// byte inside the block.
bool DecodeClipboardBlock(const std::uint8_t* data, std::size_t size, CScriptCommand* command);

}  // namespace km
