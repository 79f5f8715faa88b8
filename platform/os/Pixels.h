// Pixels as images keep them: 0xAARRGGBB, premultiplied (each colour channel
// already scaled by the alpha), and the straight pixels that files and
// callers exchange.
#pragma once

#include <cstdint>

namespace Os {

// The premultiplied form of a straight pixel, each channel rounded.
inline std::uint32_t Premultiply(std::uint32_t P) {
    const std::uint32_t A = P >> 24;
    if (A == 255) return P;
    const auto Channel = [&](int Shift) { return ((((P >> Shift) & 0xFF) * A + 127) / 255) << Shift; };
    return (A << 24) | Channel(16) | Channel(8) | Channel(0);
}

// The straight form of a premultiplied pixel, each channel rounded; a fully
// transparent pixel is 0.
inline std::uint32_t Unpremultiply(std::uint32_t P) {
    const std::uint32_t A = P >> 24;
    if (A == 0) return 0;
    if (A == 255) return P;
    const auto Channel = [&](int Shift) { return ((((P >> Shift) & 0xFF) * 255 + A / 2) / A) << Shift; };
    return (A << 24) | Channel(16) | Channel(8) | Channel(0);
}

}  // namespace Os
