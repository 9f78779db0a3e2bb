// Windows metafiles. Reading one means playing it back into a bitmap, which needs the
// metafile renderer; until that exists a WMF file has no reader here (1000), and
// ImageType still recognises it by its header.
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

Code InfoWMF(const std::string&, ImageInfo*) { return kNoReader; }

}  // namespace km::imgx
