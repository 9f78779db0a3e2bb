#include "fileio/filters/FilterHost.h"

#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "fileio/filters/FilterCall.h"
#include "fileio/filters/IniFile.h"

namespace km::filters {

namespace {

constexpr char kSection[] = "FLTRUN16";
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::size_t kPlaceableSize = 22;

void Put16(std::vector<std::uint8_t>* b, unsigned v) {
  b->push_back(static_cast<std::uint8_t>(v));
  b->push_back(static_cast<std::uint8_t>(v >> 8));
}

bool FitsInt16(long v) { return v >= -32768 && v <= 32767; }

// The 22-byte header that gives a metafile its bounds and units per inch. A filter's
// own placeable header is replaced by one made from the bounds it reported.
imgx::Code WritePlaceable(const std::string& path, const FilterPicture& p) {
  if (!FitsInt16(p.left) || !FitsInt16(p.top) || !FitsInt16(p.right) || !FitsInt16(p.bottom) || p.inch <= 0 ||
      p.inch > 65535) {
    return imgx::kBadDimensions;
  }
  const std::uint8_t* body = p.metafile.get();
  std::size_t size = p.size;
  if (size >= kPlaceableSize && body[0] == 0xD7 && body[1] == 0xCD && body[2] == 0xC6 && body[3] == 0x9A) {
    body += kPlaceableSize;
    size -= kPlaceableSize;
  }
  std::vector<std::uint8_t> header;
  Put16(&header, kPlaceableKey & 0xFFFF);
  Put16(&header, kPlaceableKey >> 16);
  Put16(&header, 0);
  for (long v : {p.left, p.top, p.right, p.bottom}) {
    Put16(&header, static_cast<unsigned>(v) & 0xFFFF);
  }
  Put16(&header, static_cast<unsigned>(p.inch));
  Put16(&header, 0);
  Put16(&header, 0);
  unsigned checksum = 0;
  for (std::size_t i = 0; i < 20; i += 2) {
    checksum ^= header[i] | (header[i + 1] << 8);
  }
  Put16(&header, checksum);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  out.write(reinterpret_cast<const char*>(body), static_cast<std::streamsize>(size));
  out.flush();
  return out ? imgx::kOk : imgx::kWriteError;
}

void Report(const std::string& hwnd) {
  int fd = -1;
  const auto [end, ec] = std::from_chars(hwnd.data(), hwnd.data() + hwnd.size(), fd);
  if (ec == std::errc() && end == hwnd.data() + hwnd.size() && fd > 2) {
    const char done = 1;
    [[maybe_unused]] const ssize_t n = write(fd, &done, 1);
    close(fd);
  }
}

}  // namespace

int RunFilterHost(const std::string& iniPath) {
  IniEntries entries = ReadIniSection(iniPath, kSection);
  const std::string open = IniValue(entries, "Open");
  const std::string filter = IniValue(entries, "Filter");
  if (open.empty() || filter.empty()) {
    return 2;
  }
  const int prompt = IniValue(entries, "Options") == "1" ? 1 : 0;
  FilterPicture picture;
  imgx::Code r = CallImportFilter(filter, IniValue(entries, "FilterOptions"), open, prompt, &picture);
  std::string metafile;
  if (r == imgx::kOk) {
    metafile = (std::filesystem::path(iniPath).parent_path() / "picture.wmf").string();
    r = WritePlaceable(metafile, picture);
  }
  SetIniValue(&entries, "MetaFile", r == imgx::kOk ? metafile : std::string());
  SetIniValue(&entries, "RetVal", std::to_string(r));
  const bool written = WriteIniSection(iniPath, kSection, entries);
  Report(IniValue(entries, "Hwnd"));
  return written ? 0 : 2;
}

}  // namespace km::filters
