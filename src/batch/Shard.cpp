#include "batch/Shard.h"

#include <algorithm>
#include <charconv>
#include <numeric>

namespace km {

namespace {

// A whole decimal number of the full text, at least 1.
bool ParsePositive(const char* first, const char* last, int* value) {
  if (first == last || *first < '0' || *first > '9') {
    return false;
  }
  int v = 0;
  const auto [end, error] = std::from_chars(first, last, v);
  if (error != std::errc() || end != last || v < 1) {
    return false;
  }
  *value = v;
  return true;
}

}  // namespace

bool ParseShard(const std::string& text, ShardPart* shard) {
  const auto slash = text.find('/');
  if (slash == std::string::npos) {
    return false;
  }
  const char* begin = text.data();
  int k = 0;
  int n = 0;
  if (!ParsePositive(begin, begin + slash, &k) || !ParsePositive(begin + slash + 1, begin + text.size(), &n) ||
      k > n) {
    return false;
  }
  *shard = ShardPart{k, n};
  return true;
}

std::vector<std::string> SelectShard(const std::vector<std::string>& lines, const ShardPart& shard) {
  if (shard.count <= 1) {
    return lines;
  }
  std::vector<std::size_t> sorted(lines.size());
  std::iota(sorted.begin(), sorted.end(), std::size_t{0});
  std::stable_sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) { return lines[a] < lines[b]; });
  std::vector<bool> taken(lines.size(), false);
  const auto n = static_cast<std::size_t>(shard.count);
  for (std::size_t position = static_cast<std::size_t>(shard.index - 1); position < sorted.size(); position += n) {
    taken[sorted[position]] = true;
  }
  std::vector<std::string> part;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (taken[i]) {
      part.push_back(lines[i]);
    }
  }
  return part;
}

}  // namespace km
