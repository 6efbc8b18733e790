// Searching a sorted leaf from where the last change to it was made.
//
// Rows often arrive in runs whose keys land next to each other (numbered
// titles, an artist's albums, dates): the place for the next key is then a
// slot or two from the last one. Galloping outward from that slot finds it
// in two or three comparisons, and a key far away costs at most about twice
// a plain binary search.
#pragma once

#include <algorithm>
#include <cstddef>

namespace act::db::jet {

// The first i in [0, n] for which below(i) is false, where below is true
// for a prefix of [0, n) and false after it; `near` is the guess.
template <class Below>
size_t GallopLowerBound(size_t n, size_t near, Below below) {
  near = std::min(near, n);
  size_t lo = 0;
  size_t hi = n;
  if (near < n && below(near)) {
    // Rightwards: the answer is past near.
    lo = near + 1;
    for (size_t step = 1;; step *= 2) {
      const size_t i = near + step;
      if (i >= n) break;
      if (!below(i)) {
        hi = i;
        break;
      }
      lo = i + 1;
    }
  } else {
    // Leftwards: the answer is near or before it.
    hi = near;
    for (size_t step = 1; step <= near; step *= 2) {
      const size_t i = near - step;
      if (below(i)) {
        lo = i + 1;
        break;
      }
      hi = i;
    }
  }
  // Binary search in [lo, hi): below(lo - 1) holds and below(hi) does not.
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (below(mid)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

}  // namespace act::db::jet
