// Input list files. Every name that comes back is non-empty and holds no line feed,
// carriage return or NUL byte; together they are never longer than the file.

#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "MemoryFile.h"
#include "batch/ListFile.h"

namespace km::fuzz {

int FuzzList(const std::uint8_t* data, std::size_t size) {
  const std::string path = WriteMemoryFile(0, data, size);
  std::vector<std::string> lines;
  if (!ReadListFile(path, &lines)) {
    std::abort();  // the file is there and readable
  }
  std::size_t total = 0;
  for (const std::string& line : lines) {
    if (line.empty() || line.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
      std::abort();
    }
    total += line.size();
  }
  if (total > size) {
    std::abort();
  }
  return 0;
}

}  // namespace km::fuzz
