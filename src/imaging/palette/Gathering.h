#pragma once

// The two statistics behind the optimum-palette gatherer: a 15-bit colour histogram cut
// by median cut, and a colour octree reduced as it grows.

#include <array>
#include <cstdint>

#include "imaging/Dib.h"

namespace km::palette_detail {

// One distinct ColorKey15 of the histogram and its pixel count.
struct MedianEntry {
  std::uint32_t count;
  std::uint16_t key;
  std::uint16_t order;  // the key rearranged for the current sort axis
};

// Writes the palette for a 32768-counter histogram: the distinct keys themselves when
// there are no more than requested, else `requested` median-cut boxes. Answers the
// number of colours written; 0 when the work block cannot be allocated.
int MedianCutFinish(const std::uint32_t* histogram, int requested, RgbQuad* palette);

// Splits entries[0..n) into `colors` boxes, writing one colour per box to
// palette[first..first + colors). Needs 1 <= colors <= n.
void MedianCutSplit(MedianEntry* entries, int n, int first, int colors, RgbQuad* palette);

class Octree {
public:
  Octree(int depth, int colors);
  ~Octree();
  Octree(const Octree&) = delete;
  Octree& operator=(const Octree&) = delete;

  // Adds one pixel, then reduces while there are more leaves than colours. False when a
  // node cannot be allocated (the tree stays consistent, the pixel is not counted).
  bool Add(int red, int green, int blue);
  // Writes the leaves depth first, children 0 to 7, as average colours; answers their
  // number (at most 256 are written).
  int Write(RgbQuad* palette) const;
  int leafCount() const { return static_cast<int>(leafCount_); }

private:
  struct Node;
  // Folds the newest inner node of the deepest level into a leaf; false when there is
  // no inner node left.
  bool Reduce();
  static void Free(Node* node);

  Node* root_ = nullptr;
  std::uint32_t leafCount_ = 0;
  int depth_;
  std::uint32_t colors_;
  std::array<Node*, 9> reducible_{};
};

}  // namespace km::palette_detail
