// Reading a file through an import filter loaded into this process.

#include <cstdlib>

#include "fileio/filters/FilterCall.h"
#include "fileio/filters/ImportFilters.h"
#include "fileio/meta/Meta.h"

namespace km {

imgx::Code ImportFilterRead(ProgressWindow progress, const ImportFilterSlot& slot, const std::string& path,
                            DibHandle* out, int prompt) {
  out->reset();
  filters::FilterPicture picture;
  if (const imgx::Code c = filters::CallImportFilter(slot.libraryPath, slot.options, path, prompt, &picture);
      c != imgx::kOk) {
    return c;
  }
  // The bounds at 96 pixels per inch; a filter that gives no units per inch gives no size.
  if (picture.inch <= 0) {
    return imgx::kBadDimensions;
  }
  const long long width = std::llabs((static_cast<long long>(picture.right) - picture.left) * 96 / picture.inch);
  const long long height = std::llabs((static_cast<long long>(picture.bottom) - picture.top) * 96 / picture.inch);
  if (width > imgx::kMaxRenderPixels || height > imgx::kMaxRenderPixels) {
    return imgx::kBadDimensions;
  }
  if (progress != nullptr) {
    progress->report(75);
    if (progress->cancelled()) {
      return imgx::kCancelled;
    }
  }
  imgx::MetafileHandle metafile;
  if (const imgx::Code c = imgx::LoadWMF(picture.metafile.get(), picture.size, &metafile); c != imgx::kOk) {
    return c;
  }
  picture.metafile.reset();
  return imgx::MetaToDIB(progress, metafile.get(), out, 8, static_cast<int>(picture.left),
                         static_cast<int>(picture.top), static_cast<int>(picture.right),
                         static_cast<int>(picture.bottom), static_cast<int>(width), static_cast<int>(height), prompt);
}

}  // namespace km
