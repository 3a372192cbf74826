#pragma once

#include "colourvalue.h"

#include <concepts>

namespace quenzil {

// The read side of a picture: its width and height in pixels (reals) and the colour value at
// integer coordinates, (0, 0) at the top left. A point outside the picture reads as
// unreadableColour.
template <typename Source>
concept PixelSource = requires(Source &source, int x, int y)
{
    {
        source.width()
        } -> std::convertible_to<double>;
    {
        source.height()
        } -> std::convertible_to<double>;
    {
        source.colourAt(x, y)
        } -> std::convertible_to<ColourValue>;
};

} // namespace quenzil
