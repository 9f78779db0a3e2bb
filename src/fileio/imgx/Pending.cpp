// Placeholders for codecs whose files have not landed yet. Each codec file removes its
// functions from here when it defines them; none may remain once every codec exists.
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

Code InfoGIF(const std::string&, ImageInfo*) { return kNoReader; }
Code InfoWMF(const std::string&, ImageInfo*) { return kNoReader; }
Code DecodeGIF(ProgressWindow, const std::string&, DibHandle*, std::int16_t*) { return kNoReader; }
Code EncodeGIF(ProgressWindow, const std::string&, const Dib*, int, int, int) { return kNoReader; }

}  // namespace km::imgx
