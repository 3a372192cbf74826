#pragma once

#include <string>

namespace quenzil {

// The text of a number as the window's labels show it: a leading space for zero and positive
// values or a minus sign for negative ones, then the magnitude in decimal without digit
// grouping. A whole number has no decimal point; a fraction uses "." whatever the locale.
std::string numberText(double value);

// The progress caption after `count` pixels: "Pixel: " + numberText(count).
std::string progressCaption(double count);

} // namespace quenzil
