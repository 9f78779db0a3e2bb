#pragma once

namespace km {

// The weighting curve of the two-colour conversion ("Weighted Palette"): W(0) = 1,
// W(255) = 254, rising in steps between.
int TwoColorWeight(int v);

}  // namespace km
