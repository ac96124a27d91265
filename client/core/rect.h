// Rectangles in main-window client coordinates; pure value type shared by every subsystem.
#pragma once

namespace tamovox {

// Left, top, right, bottom; a point is inside when left <= x < right and top <= y < bottom.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr bool contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    constexpr Rect grown(int by) const { return {left - by, top - by, right + by, bottom + by}; }
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool operator==(const Rect&) const = default;
};

}  // namespace tamovox
