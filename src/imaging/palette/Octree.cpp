// A colour octree of fixed depth. Each level keeps a list of its inner (reducible)
// nodes, newest first; whenever the tree holds more leaves than colours, the newest
// inner node of the deepest level is folded into a leaf.

#include <new>

#include "imaging/palette/Gathering.h"

namespace km::palette_detail {

struct Octree::Node {
  bool leaf = false;
  std::uint64_t pixels = 0;
  // 64-bit sums: 32 bits overflow after 16.8 million white pixels in one leaf, which a
  // gathering over many images reaches.
  std::uint64_t red = 0;
  std::uint64_t green = 0;
  std::uint64_t blue = 0;
  Node* child[8] = {};
  Node* next = nullptr;
};

Octree::Octree(int depth, int colors)
    : depth_(depth), colors_(static_cast<std::uint32_t>(colors)) {}

Octree::~Octree() { Free(root_); }

void Octree::Free(Node* node) {
  if (node == nullptr) {
    return;
  }
  for (Node*& c : node->child) {
    Free(c);
  }
  delete node;
}

bool Octree::Add(int red, int green, int blue) {
  Node** slot = &root_;
  int level = 0;
  for (;;) {
    if (*slot == nullptr) {
      Node* node = new (std::nothrow) Node;
      if (node == nullptr) {
        return false;
      }
      if (level == depth_) {
        node->leaf = true;
        ++leafCount_;
      } else {
        node->next = reducible_[static_cast<std::size_t>(level)];
        reducible_[static_cast<std::size_t>(level)] = node;
      }
      *slot = node;
    }
    Node* node = *slot;
    if (node->leaf) {
      break;
    }
    const int shift = 7 - level;
    const int mask = 0x80 >> level;
    const int index = (((red & mask) >> shift) << 2) | (((green & mask) >> shift) << 1) | ((blue & mask) >> shift);
    slot = &node->child[index];
    ++level;
  }
  Node* leaf = *slot;
  ++leaf->pixels;
  leaf->red += static_cast<std::uint32_t>(red);
  leaf->green += static_cast<std::uint32_t>(green);
  leaf->blue += static_cast<std::uint32_t>(blue);
  while (leafCount_ > colors_ && Reduce()) {
  }
  return true;
}

bool Octree::Reduce() {
  int level = depth_ - 1;
  while (level >= 0 && reducible_[static_cast<std::size_t>(level)] == nullptr) {
    --level;
  }
  if (level < 0) {
    return false;
  }
  Node* node = reducible_[static_cast<std::size_t>(level)];
  reducible_[static_cast<std::size_t>(level)] = node->next;
  node->next = nullptr;
  std::uint32_t merged = 0;
  for (Node*& c : node->child) {
    if (c == nullptr) {
      continue;
    }
    // The deepest inner level is reduced first, so every child is a leaf here.
    node->pixels += c->pixels;
    node->red += c->red;
    node->green += c->green;
    node->blue += c->blue;
    Free(c);
    c = nullptr;
    ++merged;
  }
  node->leaf = true;
  leafCount_ = leafCount_ + 1 - merged;
  return true;
}

namespace {

template <class NodeT>
void WriteLeaves(const NodeT* node, RgbQuad* palette, int* count) {
  if (node == nullptr) {
    return;
  }
  if (node->leaf) {
    if (*count < 256 && node->pixels > 0) {
      palette[*count] = RgbQuad{static_cast<std::uint8_t>(node->blue / node->pixels),
                                static_cast<std::uint8_t>(node->green / node->pixels),
                                static_cast<std::uint8_t>(node->red / node->pixels), 0};
      ++*count;
    }
    return;
  }
  for (const NodeT* c : node->child) {
    WriteLeaves(c, palette, count);
  }
}

}  // namespace

int Octree::Write(RgbQuad* palette) const {
  int count = 0;
  WriteLeaves(root_, palette, &count);
  return count;
}

}  // namespace km::palette_detail
