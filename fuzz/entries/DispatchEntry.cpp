// The dispatcher: a chain of up to three commands run on a small image of any depth,
// every field of every command drawn from the input (the unset marker, the default,
// either end of its range, a small number or any 32 bits), as a batch run would. Any
// image that comes back must pass ValidateDib; a failure never comes with an image.
// The work runs under a small memory ceiling, so a parameter asking for a huge result
// must be answered with 102, not by allocating it.
//
// Input: depth, width, height, table size, then the table and pixel bytes, then per
// command its code and fields, then the gathered palette of command 519.

#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "MemoryFile.h"
#include "commands/Dispatcher.h"
#include "imaging/MemoryCeiling.h"
#include "script/CommandCatalogue.h"

namespace km::fuzz {

namespace {

constexpr std::uint64_t kCeiling = std::uint64_t{2} << 20;  // keeps every input well under a second
constexpr int kMaxSide = 24;

// depth choice 4 is an 8-bit image with the grey ramp the tone operations look for.
DibHandle MakeImage(FuzzInput& in) {
  static constexpr int kDepths[] = {1, 4, 8, 24, 8};
  const int choice = in.pick(5);
  const int bits = kDepths[choice];
  const int width = 1 + in.pick(kMaxSide);
  const int height = 1 + in.pick(kMaxSide);
  const int clrUsed = bits <= 8 && choice != 4 ? in.pick((1 << bits) + 1) : 0;
  DibHandle dib;
  if (Dib::Create(width, height, bits, clrUsed, &dib) != kOk) {
    std::abort();
  }
  const int colors = dib->colorCount();
  for (int i = 0; i < colors; ++i) {
    RgbQuad& q = dib->colors()[i];
    if (choice == 4) {
      q = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), 0};
    } else {
      q = {in.u8(), in.u8(), in.u8(), 0};
    }
  }
  const std::size_t stride = dib->stride();
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = dib->row(y);
    in.bytes(row, stride);
    if (bits == 8) {
      // Decoders hand on only indices inside the table.
      for (int x = 0; x < width; ++x) {
        row[x] = static_cast<std::uint8_t>(row[x] % colors);
      }
    } else if (bits == 4 && colors < 16) {
      for (int x = 0; x < width; ++x) {
        std::uint8_t& b = row[x / 2];
        const int shift = x % 2 == 0 ? 4 : 0;
        const int v = ((b >> shift) & 15) % colors;
        b = static_cast<std::uint8_t>((b & ~(15 << shift)) | (v << shift));
      }
    } else if (bits == 1 && colors < 2) {
      std::memset(row, 0, stride);
    }
  }
  return dib;
}

std::int32_t DrawInt(FuzzInput& in, const FieldDef& entry) {
  switch (in.pick(6)) {
    case 0: return kUnsetParam;
    case 1: return entry.def;
    case 2: return entry.valid.min;
    case 3: return entry.valid.max;
    case 4: return static_cast<std::int8_t>(in.u8());
    default: return static_cast<std::int32_t>(in.u32());
  }
}

float DrawReal(FuzzInput& in, const FieldDef& entry) {
  const float scale = static_cast<float>(entry.scale);
  switch (in.pick(6)) {
    case 0: return kUnsetReal;
    case 1: return entry.realDefault();
    case 2: return static_cast<float>(entry.valid.min) / scale;
    case 3: return static_cast<float>(entry.valid.max) / scale;
    case 4: return static_cast<float>(static_cast<std::int8_t>(in.u8())) / 8.0f;
    default: {
      const std::uint32_t bits = in.u32();
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;  // NaN and infinities included
    }
  }
}

// Palette files for 518: none, a missing one, or a file made of the next input bytes.
std::string DrawPath(FuzzInput& in, int slot) {
  switch (in.pick(3)) {
    case 0: return "";
    case 1: return "/nonexistent/kilnmark-fuzz.pal";
    default: {
      std::uint8_t file[64];
      const std::size_t n = in.pick(65);
      in.bytes(file, n);
      return WriteMemoryFile(slot, file, n);
    }
  }
}

CScriptCommand DrawCommand(FuzzInput& in, int slot) {
  const auto rows = CommandCatalogue();
  const CommandInfo& info = rows[static_cast<std::size_t>(in.pick(static_cast<int>(rows.size())))];
  CScriptCommand c(info.code);
  for (const FieldDef& entry : info.fields) {
    if (IsIntField(entry.field)) {
      c.*IntMember(entry.field) = DrawInt(in, entry);
    } else if (IsRealField(entry.field)) {
      c.*RealMember(entry.field) = DrawReal(in, entry);
    } else if (auto color = ColorMember(entry.field)) {
      c.*color = in.u32();
    } else if (auto text = TextMember(entry.field)) {
      c.*text = DrawPath(in, slot);
    }
  }
  return c;
}

}  // namespace

int FuzzDispatch(const std::uint8_t* data, std::size_t size) {
  ScopedMemoryBudget budget(kCeiling);
  FuzzInput in(data, size);
  DibHandle image = MakeImage(in);
  CScript script;
  const int count = 1 + in.pick(3);
  for (int i = 0; i < count; ++i) {
    script.Append(std::make_unique<CScriptCommand>(DrawCommand(in, i)));
  }
  RgbQuad palette[256];
  const int paletteCount = in.pick(257);
  in.bytes(reinterpret_cast<std::uint8_t*>(palette), sizeof palette);

  for (int i = 0; i < count; ++i) {
    DibHandle made;
    const int code = DoCommand(script, i, image.get(), &made, nullptr, palette, paletteCount);
    if (code != 0 && made) {
      std::abort();
    }
    if (made) {
      if (ValidateDib(made.get()) != kOk) {
        std::abort();
      }
      image = std::move(made);
    }
    if (ValidateDib(image.get()) != kOk) {
      std::abort();  // the source is never changed
    }
  }
  return 0;
}

}  // namespace km::fuzz
