#pragma once

// Import filters: shared objects that read formats the format library cannot, each
// into a Windows metafile that is then rendered into an image. Their interface is
// include/kilnmark/ImportFilter.h. They are registered in the section named by the
// setting "INISection" (default "MS Graphic Import Filters") of ImportFilters.ini, first
// the user's (in the settings folder), then the one installed with the program, as
// lines "Display Name=library path,EXT[,options]". A filter that loads into this process
// is called here; one that does not, or every filter when the setting "Isolate" is 1,
// runs in the host program kilnmark-filter-host, so that a filter that crashes or hangs
// costs one file and not the run.

#include <string>
#include <vector>

#include "common/Profile.h"
#include "fileio/FileTypeTable.h"
#include "fileio/imgx/Codes.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km {

// The built-in entries and, when flags has bit 1, one slot (8..49) and entry per usable
// registration of `section` in the files, read in order. A key already read from an
// earlier file is not read again, so the user's file overrides the installed one. A
// registration is skipped when its library path (relative ones are taken from the
// file's folder) is shorter than 3 characters or names no file, when its extension is
// empty, or when a filter already holds that extension; registrations past slot 49 are
// ignored. Kind 0 when the library loads into this process, else 1; with isolate, every
// slot is kind 1 and no library is loaded here.
FileTypeTable BuildFileTypeTable(int flags, const std::string& section, const std::vector<std::string>& files,
                                 bool isolate);

// The table as the settings ask: "Enable", "INISection" and "Isolate" of section
// "ImportFilters", over UserFilterRegistration() and InstalledFilterRegistration().
FileTypeTable LoadFileTypeTable(const Profile& profile);

// $XDG_CONFIG_HOME/Tavo/ImportFilters.ini (default ~/.config/Tavo/).
std::string UserFilterRegistration();
// ImportFilters.ini next to the program, else in ../share/kilnmark/.
std::string InstalledFilterRegistration();

// Reads `path` through the filter in `slot` in this process. Codes: those of
// CallImportFilter (fileio/filters/FilterCall.h); 100 when cancelled after the filter
// returned; 304 for bounds or units per inch that give no size; else MetaToDIB's.
imgx::Code ImportFilterRead(ProgressWindow progress, const ImportFilterSlot& slot, const std::string& path,
                            DibHandle* out, int prompt);

// Reads `path` through the filter in `slot` in the host program, which it waits for
// until the host reports or exits; cancelling ends the host. Codes: 104 no host program
// (or it cannot start); the host's result; 5301 when the host ended without one (it or
// the filter crashed); 100 cancelled; else DecodeWMF's.
imgx::Code FilterHostRead(ProgressWindow progress, const ImportFilterSlot& slot, const std::string& path,
                          DibHandle* out, int prompt);

// kilnmark-filter-host next to the running program, else the first on PATH; empty when
// there is none.
std::string FindFilterHost();

}  // namespace km
