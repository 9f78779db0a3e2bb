#pragma once

// The entry functions of the fuzz targets. Each takes one input, runs a parser (or the
// dispatcher) on it and checks what came back; a broken promise aborts. libFuzzer
// drives them in the clang fuzz build (LibFuzzerMain.cpp, one program per entry) and
// the test suite replays the kept seeds and regression inputs through the same
// functions under the sanitizers (ReplayMain.cpp), whatever the compiler.

#include <cstddef>
#include <cstdint>
#include <span>

namespace km::fuzz {

using Entry = int (*)(const std::uint8_t* data, std::size_t size);

int FuzzDecode(const std::uint8_t* data, std::size_t size);
int FuzzScript(const std::uint8_t* data, std::size_t size);
int FuzzTextPalette(const std::uint8_t* data, std::size_t size);
int FuzzRiffPalette(const std::uint8_t* data, std::size_t size);
int FuzzList(const std::uint8_t* data, std::size_t size);
int FuzzClipboard(const std::uint8_t* data, std::size_t size);
int FuzzDispatch(const std::uint8_t* data, std::size_t size);
int FuzzScriptJson(const std::uint8_t* data, std::size_t size);
int FuzzJson(const std::uint8_t* data, std::size_t size);
int FuzzMeta(const std::uint8_t* data, std::size_t size);

struct Target {
  const char* name;  // also the folder of its seeds (corpus/<name>) and regressions
  Entry entry;
};

inline constexpr Target kTargets[] = {
    {"decode", FuzzDecode},          {"script", FuzzScript}, {"palette_text", FuzzTextPalette},
    {"palette_riff", FuzzRiffPalette}, {"list", FuzzList},     {"clipboard", FuzzClipboard},
    {"dispatch", FuzzDispatch},
    {"script_json", FuzzScriptJson}, {"json", FuzzJson},            {"meta", FuzzMeta},
};

}  // namespace km::fuzz
