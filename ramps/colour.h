#pragma once

#include <cstdint>

// A colour as 0x00BBGGRR: red in the lowest byte, the top byte zero.
using Colour = std::uint32_t;

namespace colours {
constexpr Colour kBlack = 0x000000;
constexpr Colour kGrey = 0x808080;
constexpr Colour kRed = 0x0000FF;
} // namespace colours
