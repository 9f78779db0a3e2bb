// Placeholders for codecs whose files have not landed yet. Each codec file removes its
// functions from here when it defines them; none may remain once every codec exists.
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

Code InfoGIF(const std::string&, ImageInfo*) { return kNoReader; }
Code InfoTIF(const std::string&, ImageInfo*) { return kNoReader; }
Code InfoWMF(const std::string&, ImageInfo*) { return kNoReader; }
Code DecodeGIF(ProgressWindow, const std::string&, DibHandle*, std::int16_t*) { return kNoReader; }
Code DecodeTIF(ProgressWindow, const std::string&, DibHandle*, ExtraHandle*) { return kNoReader; }
Code EncodeGIF(ProgressWindow, const std::string&, const Dib*, int, int, int) { return kNoReader; }
Code EncodeTIF(ProgressWindow, const std::string&, const Dib*, const ImageExtra*, int, int, int) { return kNoReader; }

}  // namespace km::imgx
