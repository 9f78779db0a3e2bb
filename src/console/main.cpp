#include <string>
#include <vector>

#include "common/Profile.h"
#include "console/ConsoleRunner.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  km::MemoryProfile profile;
  return km::RunConsole(arguments, profile);
}
