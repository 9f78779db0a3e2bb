// A filter for the tests, driven by its registration's option string (words separated
// by blanks):
//   log=PATH    appends "info", "pref ok" / "pref bad", "import" and "pid N" lines to PATH
//   version1    GetFilterInfo answers interface version 1
//   fail=N      ImportGr answers N
//   nometa      ImportGr answers 0 without a metafile
//   inch0       the picture's units per inch are 0
//   crash       ImportGr dies of a segmentation fault
//   hang        ImportGr never returns
// Otherwise the picture is 4 x 2 pixels (top row red, green, blue, white; bottom row
// black, grey 128, yellow, cyan) with bounds (0, 0, 8, 4) at 192 units per inch.
// Built several times: TEST_FILTER_IMPORT picks the import entry's name (none when
// undefined), TEST_FILTER_NO_INFO leaves out GetFilterInfo.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BitmapMetafile.h"

namespace {

constexpr unsigned kPreferenceMagic = 0x4B4D5046;  // what GetFilterPref expects to get

struct Options {
  std::string log;
  bool version1 = false, nometa = false, inch0 = false, crash = false, hang = false;
  int fail = 0;
};

Options Parse(const char* text) {
  Options o;
  std::string s = text != nullptr ? text : "";
  std::size_t at = 0;
  while (at < s.size()) {
    std::size_t end = s.find(' ', at);
    if (end == std::string::npos) {
      end = s.size();
    }
    const std::string w = s.substr(at, end - at);
    if (w.rfind("log=", 0) == 0) o.log = w.substr(4);
    else if (w.rfind("fail=", 0) == 0) o.fail = std::atoi(w.c_str() + 5);
    else if (w == "version1") o.version1 = true;
    else if (w == "nometa") o.nometa = true;
    else if (w == "inch0") o.inch0 = true;
    else if (w == "crash") o.crash = true;
    else if (w == "hang") o.hang = true;
    at = end + 1;
  }
  return o;
}

// The preference block carries the parsed options from GetFilterInfo to the other calls.
struct Preferences {
  unsigned magic;
  char options[1];  // the option string, NUL-terminated, as long as it needs
};

void Log(const Options& o, const std::string& line) {
  if (o.log.empty()) {
    return;
  }
  if (std::FILE* f = std::fopen(o.log.c_str(), "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

const char* OptionsOf(KmFilterMemory preferences) {
  const auto* p = static_cast<const Preferences*>(preferences);
  return p != nullptr && p->magic == kPreferenceMagic ? p->options : "";
}

[[maybe_unused]] int Import(const KmImportFile* file, KmPictInfo* picture, KmFilterMemory preferences) {
  const Options o = Parse(OptionsOf(preferences));
  Log(o, "import " + std::string(file->fullName));
  Log(o, "pid " + std::to_string(getpid()));
  if (o.crash) {
    raise(SIGSEGV);
  }
  while (o.hang) {
    pause();
  }
  if (o.fail != 0) {
    return o.fail;
  }
  if (o.nometa) {
    return 0;
  }
  // B, G, R, A; top row first.
  const std::uint8_t pixels[2][4][4] = {
      {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {255, 255, 255, 255}},
      {{0, 0, 0, 255}, {128, 128, 128, 255}, {0, 255, 255, 255}, {255, 255, 0, 255}},
  };
  const int r = km::filterkit::MakeBitmapMetafile(&pixels[0][0][0], 4, 2, 16, false, picture);
  if (r != 0) {
    return r;
  }
  // Twice the units: the window extent (at byte 42: height, width) and the bitmap's
  // destination size (at byte 66) become 4 x 8, as do the bounds.
  auto* m = static_cast<std::uint8_t*>(picture->metafile);
  m[42] = m[66] = 4;
  m[44] = m[68] = 8;
  picture->right = 8;
  picture->bottom = 4;
  picture->inch = o.inch0 ? 0 : 192;
  return 0;
}

}  // namespace

extern "C" {

#ifndef TEST_FILTER_NO_INFO
KM_FILTER_EXPORT int GetFilterInfo(int16_t version, const char* options, KmFilterMemory* preferences,
                                   KmFilterMemory* fileTypes) {
  const Options o = Parse(options);
  Log(o, "info " + std::to_string(version));
  const std::size_t length = std::strlen(options);
  auto* p = static_cast<Preferences*>(std::malloc(sizeof(Preferences) + length));
  p->magic = kPreferenceMagic;
  std::memcpy(p->options, options, length + 1);
  *preferences = p;
  *fileTypes = std::malloc(16);  // released by the program like the preferences
  return o.version1 ? 1 : KM_FILTER_INTERFACE_VERSION;
}
#endif

KM_FILTER_EXPORT void GetFilterPref(void* /*instance*/, void* /*window*/, KmFilterMemory preferences,
                                    uint16_t /*flags*/) {
  const Options o = Parse(OptionsOf(preferences));
  Log(o, preferences != nullptr && static_cast<Preferences*>(preferences)->magic == kPreferenceMagic ? "pref ok"
                                                                                                      : "pref bad");
}

#ifdef TEST_FILTER_IMPORT
KM_FILTER_EXPORT int TEST_FILTER_IMPORT(void* /*deviceContext*/, const KmImportFile* file, KmPictInfo* picture,
                                        KmFilterMemory preferences) {
  return Import(file, picture, preferences);
}
#endif

}  // extern "C"
