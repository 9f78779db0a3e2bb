#pragma once

// One of N parts of an input list, so that N machines (or N tasks of a scheduler) can
// share a list without talking to each other: part K holds the files at positions
// K-1, K-1+N, K-1+2N ... of the list sorted by name (byte order). Interleaving keeps the
// parts within one file of each other and spreads big and small files alike; sorting
// makes the parts the same on every machine whatever order its list came in.

#include <string>
#include <vector>

namespace km {

struct ShardPart {
  int index = 1;  // K, 1-based
  int count = 1;  // N; 1 is the whole list
};

// "K/N" with decimal K and N, 1 <= K <= N; nothing else (no signs, spaces or
// leading "+"). False for anything else, *shard unchanged.
bool ParseShard(const std::string& text, ShardPart* shard);

// The listed names that belong to `shard`, in the order of the list. Names listed
// twice take two positions.
std::vector<std::string> SelectShard(const std::vector<std::string>& lines, const ShardPart& shard);

}  // namespace km
