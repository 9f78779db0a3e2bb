#pragma once

// The read and write values as the settings store keeps them: the input preferences in
// section "Format" and the output options in section "ScriptRun", but for the two
// photograph settings "AutoOrient" and "KeepMetadata", which are in "Format" too and
// not written here (common/Settings.h names every key). Readers and writers take the values; only these functions touch
// the store, and a missing value loads as its default.

#include "common/Profile.h"
#include "fileio/ReadImage.h"
#include "fileio/WriteImage.h"

namespace km {

InputPreferences LoadInputPreferences(const Profile& profile);
// Writes all four values ("File Input Preferences" confirmed).
void SaveInputPreferences(Profile& profile, const InputPreferences& preferences);
// Writes only the stored prompt flag (what a batch run does at its start).
void SaveMetafilePrompt(Profile& profile, int prompt);

// DPI, compression and the three transparency values; format and sub-type stay 0, as
// the store keeps them elsewhere (the batch dialogs' sections).
OutputOptions LoadOutputOptions(const Profile& profile);
// Writes the five "ScriptRun" values; format and sub-type are not stored here.
void SaveOutputOptions(Profile& profile, const OutputOptions& options);

}  // namespace km
