// The clipboard block of one script command. A block that decodes encodes to a block
// that decodes to the same command.

#include <cstdlib>
#include <vector>

#include "FuzzEntries.h"
#include "script/ClipboardBlock.h"

namespace km::fuzz {

namespace {

bool SameCommand(const CScriptCommand& a, const CScriptCommand& b) {
  return EncodeClipboardBlock(a) == EncodeClipboardBlock(b);
}

}  // namespace

int FuzzClipboard(const std::uint8_t* data, std::size_t size) {
  // The decoder gets a heap copy of exactly `size` bytes, so a read past it is caught.
  const std::vector<std::uint8_t> block(data, data + size);
  CScriptCommand command(512);
  command.Text1 = "untouched";
  if (!DecodeClipboardBlock(block.data(), block.size(), &command)) {
    if (command.Code != 512 || command.Text1 != "untouched") {
      std::abort();
    }
    return 0;
  }
  const std::vector<std::uint8_t> encoded = EncodeClipboardBlock(command);
  CScriptCommand again;
  if (!DecodeClipboardBlock(encoded.data(), encoded.size(), &again) || !SameCommand(command, again)) {
    std::abort();
  }
  return 0;
}

}  // namespace km::fuzz
