#pragma once

// The input list of a batch run: a text file with one input name per line.

#include <string>
#include <vector>

#include "common/MessageService.h"

namespace km {

// The input names of a list file: lines end at line feeds or NUL bytes, carriage
// returns are ignored, and the first empty line ends the list. False when the file
// cannot be read.
bool ReadListFile(const std::string& path, std::vector<std::string>* lines);

// Writes a temporary list file (in the system's temporary folder, name prefix "TMP")
// of the files found: in `folder` matching `pattern` when a folder is given, else the
// pattern itself. Hidden files and folders are left out; names are sorted. With
// `names` not empty, the names are written as given instead. False, with message 2019
// shown, when the file cannot be created.
bool BuildFileList(std::string* listPath, const std::string& pattern, const std::string& folder,
                   const std::string& names, MessageService& messages);

}  // namespace km
