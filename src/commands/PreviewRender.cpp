#include "commands/PreviewRender.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "commands/Dispatcher.h"
#include "imaging/geometry/Geometry.h"
#include "script/CommandCatalogue.h"

namespace km {

FrameSize PreviewArea(int averageCharWidth, int charHeight) {
  return {kPreviewFrameUnits * averageCharWidth / 4 - 4, kPreviewFrameUnits * charHeight / 8 - 4};
}

FrameSize FitToFrame(int width, int height, FrameSize frame) {
  if (width < 1 || height < 1) {
    return {1, 1};
  }
  FrameSize n{frame.width, static_cast<int>(static_cast<long long>(height) * frame.width / width)};
  if (n.height > frame.height) {
    n = {static_cast<int>(static_cast<long long>(width) * frame.height / height), frame.height};
  }
  return {std::max(n.width, 1), std::max(n.height, 1)};
}

int ScaleToFrame(const Dib* source, FrameSize frame, DibHandle* scaled) {
  if (scaled == nullptr) {
    return LowCode(kInvalidArgument);
  }
  scaled->reset();
  if (ValidateDib(source) != kOk || frame.width < 1 || frame.height < 1) {
    return LowCode(kInvalidArgument);
  }
  const FrameSize n = FitToFrame(source->width(), source->height(), frame);
  const bool resample = source->bitCount() == 24 || (source->bitCount() == 8 && IsDIBGreyScaled(source));
  const OpResult r = resample ? ResampleDIB(nullptr, source, scaled, n.width, n.height)
                              : ResizeDIB(nullptr, source, scaled, static_cast<std::int16_t>(n.width),
                                          static_cast<std::int16_t>(n.height));
  return LowCode(r);
}

CScriptCommand ClampedForPreview(const CScriptCommand& values, int imageWidth, int imageHeight) {
  CScriptCommand c = values;
  const CommandInfo* info = FindCommand(values.Code);
  if (info == nullptr) {
    return c;
  }
  for (const FieldDef& f : info->fields) {
    if (f.control != Control::kNumber) {
      continue;
    }
    const Range shown = ShownRange(f, imageWidth, imageHeight);
    if (auto member = IntMember(f.field)) {
      c.*member = shown.clamp(c.*member);
    } else if (auto real = RealMember(f.field)) {
      const auto scale = static_cast<float>(f.scale);
      c.*real = std::clamp(c.*real, static_cast<float>(shown.min) / scale, static_cast<float>(shown.max) / scale);
    }
  }
  return c;
}

bool LeavesPictureUnchanged(const CScriptCommand& values) {
  const CommandInfo* info = FindCommand(values.Code);
  if (info == nullptr || info->dialog.unchanged.empty()) {
    return false;
  }
  return std::all_of(info->dialog.unchanged.begin(), info->dialog.unchanged.end(), [&values](const FieldValue& v) {
    auto member = IntMember(v.field);
    return member != nullptr && values.*member == v.value;
  });
}

int RenderPreview(const Dib* scaled, const CScriptCommand& values, FrameSize frame, int imageWidth,
                  int imageHeight, ProgressWindow progress, DibHandle* shown) {
  if (shown == nullptr) {
    return kErrBadArgument;
  }
  shown->reset();
  const CScriptCommand clamped = ClampedForPreview(values, imageWidth, imageHeight);
  if (LeavesPictureUnchanged(clamped)) {
    return 0;
  }
  CScript one;
  one.Append(std::make_unique<CScriptCommand>(clamped));
  DibHandle made;
  const int code = DoCommand(one, 0, scaled, &made, progress, nullptr, 0);
  if (code != 0 || !made) {
    return code;
  }
  if (made->width() > frame.width || made->height() > frame.height) {
    DibHandle fitted;
    const int fit = ScaleToFrame(made.get(), frame, &fitted);
    if (fit != 0) {
      return fit;
    }
    made = std::move(fitted);
  }
  *shown = std::move(made);
  return 0;
}

}  // namespace km
