// Placeholders for codecs whose files have not landed yet. Each codec file removes its
// functions from here when it defines them; none may remain once every codec exists.
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

Code InfoWMF(const std::string&, ImageInfo*) { return kNoReader; }

}  // namespace km::imgx
