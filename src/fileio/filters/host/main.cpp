// kilnmark-filter-host: runs one import filter for the program, in a process of its
// own, as driven by the exchange file named on the command line.

#include <iostream>

#include "fileio/filters/FilterHost.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kilnmark-filter-host FLTRUN16.INI\n";
    return 2;
  }
  return km::filters::RunFilterHost(argv[1]);
}
