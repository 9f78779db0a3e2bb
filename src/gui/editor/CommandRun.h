#pragma once

// The editor's few calls into the command engine, kept in one place: the optimum
// palette that "Apply Fully Optimized Palette" needs before it runs, and one command on
// the preview image. Both run on the editor's worker thread.

#include <array>
#include <memory>

#include "gui/editor/PreviewImage.h"
#include "imaging/Dib.h"
#include "script/Script.h"

namespace km::gui {

// A palette buffer of 256 entries (1024 bytes) and the number of usable entries.
struct OptimumPalette {
  std::array<RgbQuad, 256> colors{};
  int count = 0;
};

// The palette of command 519 `command` gathered from `image` with its method (Int5),
// colour count (Int1) and Windows colours (Int2). An empty palette when the gathering
// fails; the command then reports the failure itself.
OptimumPalette GatherOptimumPalette(const CScriptCommand& command, const Dib* image);

// A copy of every command of `script`, for a worker to run while the window goes on.
std::shared_ptr<const CScript> SnapshotScript(const CScript& script);

// What a command did to the preview: code 0 with a new image (or none when the command
// leaves the image as it is), else the failure's result code.
struct CommandOutcome {
  int code = 0;
  SharedDib image;
  QImage display;  // the new image fitted for the preview frame
};

// Runs command `index` of `script` on `image` (no progress window) and, on success with
// a new image, builds its display image for a frame of fw x fh at `screenDepth`.
CommandOutcome RunCommandOnPreview(const CScript& script, int index, const Dib* image,
                                   const OptimumPalette& palette, int fw, int fh, int screenDepth);

}  // namespace km::gui
