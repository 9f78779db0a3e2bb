#include "gui/editor/CommandRun.h"

#include "commands/Dispatcher.h"
#include "imaging/palette/Palette.h"

namespace km::gui {

OptimumPalette GatherOptimumPalette(const CScriptCommand& command, const Dib* image) {
  OptimumPalette palette;
  const int method = command.Int5 != 0 ? kOctree : kMedianCut;
  if (GatherImagePalette(image, method, command.Int1, command.Int2 == 1, palette.colors.data(), &palette.count) != 0) {
    palette = OptimumPalette{};
  }
  return palette;
}

std::shared_ptr<const CScript> SnapshotScript(const CScript& script) {
  auto copy = std::make_shared<CScript>();
  for (int i = 0; i < script.GetCount(); ++i) {
    copy->Append(std::make_unique<CScriptCommand>(*script.GetAt(i)));
  }
  return copy;
}

CommandOutcome RunCommandOnPreview(const CScript& script, int index, const Dib* image,
                                   const OptimumPalette& palette, int fw, int fh, int screenDepth) {
  CommandOutcome outcome;
  DibHandle result;
  outcome.code = DoCommand(script, index, image, &result, nullptr, palette.colors.data(), palette.count);
  if (outcome.code == 0 && result) {
    outcome.display = BuildDisplayImage(result.get(), fw, fh, screenDepth);
    outcome.image = SharedDib(std::move(result));
  }
  return outcome;
}

}  // namespace km::gui
