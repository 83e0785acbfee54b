#pragma once

#include <cstdint>
#include <string_view>

namespace velmar {

// 0x00RRGGBB.
using CanvasColour = std::uint32_t;
inline constexpr CanvasColour kCanvasBlack = 0x000000;
inline constexpr CanvasColour kCanvasWhite = 0xFFFFFF;
inline constexpr CanvasColour kCanvasYellow = 0xFFFF00;
inline constexpr CanvasColour kCanvasGreen = 0x00FF00;

// Text and boxes drawn over the back surface after the picture (the status read-outs).
class TextCanvas {
  public:
    virtual ~TextCanvas() = default;

    virtual void SetFont(std::string_view name, int size, bool bold, CanvasColour colour) = 0;
    virtual void SetBrush(CanvasColour colour) = 0;
    virtual void SetPen(CanvasColour colour) = 0;
    // Filled with the brush, bordered with the pen; right and bottom are exclusive.
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    virtual void TextOut(int left, int top, std::string_view text) = 0;
    // Ends one read-out's drawing.
    virtual void Release() = 0;
};

} // namespace velmar
