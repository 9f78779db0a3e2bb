#pragma once

// Script files for tests that run the batch programs.

#include <string>

namespace km::test {

// Writes to `scriptPath` the script "Flip Image" (506), then "Set Output Options": BMP
// (sub-type 1) into `outputFolder`. False, with the reason in *message, when it cannot.
bool WriteFlipToBmpScript(const std::string& scriptPath, const std::string& outputFolder, std::string* message);

}  // namespace km::test
