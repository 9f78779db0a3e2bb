#pragma once

// Outputs are never half-written: each is written to a temporary name in the output
// folder and renamed over the target when complete; a failed or cancelled write leaves
// the previous file, if any, untouched and no temporary file behind.

#include <string>
#include <vector>

namespace km {

// A name in the output folder that no other run uses: hidden, unique to this process
// and file, and ending in the output's extension (encoders name companion files after
// it). It does not repeat the output's name, so an output name that just fits the
// system's limit still has a temporary name that fits.
std::string TemporaryOutputName(const std::string& outputPath);

// Every file that may exist while `temp` is being written: temp itself, the encoder's
// partial file and the companion files named after temp.
std::vector<std::string> TemporaryFiles(const std::string& temp);

// After the write of `temp` answered `code`: renames a complete temporary output (and
// its companions) over the target, or removes it all after a failure. Answers code, or
// the write error when the rename fails.
int FinishTemporary(const std::string& temp, const std::string& outputPath, int code);

}  // namespace km
