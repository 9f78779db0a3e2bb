#pragma once

// Peer programs as test oracles: ImageMagick 6 (called as convert-im6.q16, since a
// plain `convert` may be shadowed), GraphicsMagick (gm) and the netpbm tools. A test
// that needs a peer skips itself when the peer is not installed:
//
//   KM_REQUIRE_PEER_CONVERT();            // ImageMagick or GraphicsMagick
//   KM_REQUIRE_PEER("giftopnm");          // one named program
//
// Images cross between us and a peer as PNM files (PBM, PGM, PPM or PAM), which both
// sides read and write without loss.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Dib.h"

namespace km::test {

// Full path of a program found on PATH, or empty.
std::string FindPeer(const std::string& program);
bool HavePeer(const std::string& program);

// The converter every PeerRead/PeerWrite uses: convert-im6.q16 when present, else
// "gm" (run as "gm convert"); empty when neither is installed.
std::string PeerConverter();

// Runs argv[0] (looked up on PATH) with the arguments, stdin from stdinPath and stdout
// to stdoutPath when these are not empty, stderr discarded. Answers the exit status,
// or -1 when the program could not be started.
int RunPeer(const std::vector<std::string>& argv, const std::string& stdinPath = {},
            const std::string& stdoutPath = {});

// A PNM (P1..P6) or PAM (P7, GRAYSCALE or RGB, with or without alpha; alpha dropped)
// file as an image: PBM gives a 1-bit image (0 = white, 1 = black, as PBM means it),
// PGM an 8-bit grey image, PPM and PAM a 24-bit image. Maxvals other than 255 (and 1
// for PBM) are scaled to 0..255 with rounding. Null for anything it cannot parse.
DibHandle ParsePnm(const std::vector<std::uint8_t>& bytes);
DibHandle ReadPnmFile(const std::string& path);

// Writes the image as a binary PPM (every depth expanded through its colour table) or,
// with greyAsPgm and an 8-bit grey image, as a PGM. False when the file cannot be made.
bool WritePnmFile(const Dib& dib, const std::string& path, bool greyAsPgm = false);

// The peer converter reads `path` (any format it knows) and we parse its PPM: the
// pixels as the peer sees them, always 24-bit. Null when the peer fails.
DibHandle PeerRead(const std::string& path);

// We write `dib` as a PPM (PGM for grey) and the peer converter turns it into `path`,
// whose extension picks the format; `options` go before the output name (for example
// {"-type", "Palette"} or {"-compress", "RLE"}). False when the peer fails.
bool PeerWrite(const Dib& dib, const std::string& path, const std::vector<std::string>& options = {});

// A netpbm reader of one format (`toPnm`, such as "gemtopnm") turns `path` into a PNM
// beside it and we parse that: the pixels as netpbm sees them. Null when it fails.
DibHandle NetpbmRead(const std::string& toPnm, const std::string& path);

// `dib`, black and white, through netpbm's writer of a 1-bit format (`fromPbm`, such as
// "pbmtogem"): PPM, then grey, then a PBM thresholded at half, then `path`. False when
// a step fails.
bool NetpbmWriteBitmap(const Dib& dib, const std::string& fromPbm, const std::string& path);

// Every pixel as 0x00RRGGBB, top row first, through the colour table for palette
// images: what two images look like regardless of how they are stored.
std::vector<std::uint32_t> RgbPixels(const Dib& dib);

// True when both images have the same size and show the same colours at every pixel.
// maxDiff allows a per-channel difference (lossy formats); why gets the first miss.
bool SameColours(const Dib& a, const Dib& b, int maxDiff = 0, std::string* why = nullptr);

}  // namespace km::test

#define KM_REQUIRE_PEER(program)                                   \
  do {                                                             \
    if (!::km::test::HavePeer(program)) {                          \
      GTEST_SKIP() << "peer program not installed: " << (program); \
    }                                                              \
  } while (0)

#define KM_REQUIRE_PEER_CONVERT()                                          \
  do {                                                                     \
    if (::km::test::PeerConverter().empty()) {                             \
      GTEST_SKIP() << "neither convert-im6.q16 nor gm is installed";       \
    }                                                                      \
  } while (0)
