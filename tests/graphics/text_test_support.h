// Reading text back from the back buffer: the box of the pixels that differ from the background,
// and the separate pieces of ink (8-connected), left to right, for telling glyphs apart.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace lumra::graphics::test_support {

struct Box {
  int32_t left = 0, top = 0, right = -1, bottom = -1;  // inclusive; right < left: empty
  bool empty() const { return right < left; }
  int32_t width() const { return empty() ? 0 : right - left + 1; }
  int32_t height() const { return empty() ? 0 : bottom - top + 1; }
  void add(int32_t x, int32_t y) {
    if (empty()) {
      left = right = x, top = bottom = y;
      return;
    }
    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
  }
};

// `ink(x, y)` tells whether a pixel of the w x h area is ink.
using InkTest = std::function<bool(int32_t, int32_t)>;

inline Box ink_box(int32_t w, int32_t h, const InkTest& ink) {
  Box b;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (ink(x, y)) b.add(x, y);
    }
  }
  return b;
}

// The boxes of the 8-connected pieces of ink, sorted by their left edge.
inline std::vector<Box> ink_pieces(int32_t w, int32_t h, const InkTest& ink) {
  std::vector<int8_t> seen(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  std::vector<Box> pieces;
  std::vector<std::pair<int32_t, int32_t>> stack;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (seen[static_cast<size_t>(y) * w + x] || !ink(x, y)) continue;
      Box b;
      stack.push_back({x, y});
      seen[static_cast<size_t>(y) * w + x] = 1;
      while (!stack.empty()) {
        const auto [px, py] = stack.back();
        stack.pop_back();
        b.add(px, py);
        for (int32_t dy = -1; dy <= 1; ++dy) {
          for (int32_t dx = -1; dx <= 1; ++dx) {
            const int32_t nx = px + dx, ny = py + dy;
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || seen[static_cast<size_t>(ny) * w + nx] || !ink(nx, ny)) continue;
            seen[static_cast<size_t>(ny) * w + nx] = 1;
            stack.push_back({nx, ny});
          }
        }
      }
      pieces.push_back(b);
    }
  }
  std::sort(pieces.begin(), pieces.end(), [](const Box& a, const Box& b) { return a.left < b.left; });
  return pieces;
}

}  // namespace lumra::graphics::test_support
