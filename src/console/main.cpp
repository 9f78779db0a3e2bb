#include <string>
#include <vector>

#include "app/SettingsProfile.h"
#include "console/ConsoleRunner.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  km::SettingsProfile profile;  // ~/.config/Tavo/Tavo Kilnmark.ini
  return km::RunConsole(arguments, profile);
}
