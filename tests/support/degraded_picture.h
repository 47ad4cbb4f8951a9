// Pictures of symbols as a phone or a flatbed scanner gives them: scaled onto a page, turned,
// blurred and noisy, for the decoding tests and its benchmark.
#pragma once

#include <cstdint>

#include "fiscalmemory/library/pdf417_decoder.h"

namespace ordavo::test {

struct Degradation {
    int width = 2200, height = 900;  // the page; the symbol is scaled to fill most of it
    double degrees = 0;              // turned about the page's centre
    double blur_sigma = 0;           // Gaussian blur
    int noise = 0;                   // uniform noise of +-noise grey levels
    uint32_t seed = 1;
};

mfd::GreyPicture Degrade(const mfd::GreyPicture& clean, const Degradation& how);

// Writes a grey picture as an 8-bit BMP.
bool WriteGreyBmp(const std::string& path, const mfd::GreyPicture& picture);

}  // namespace ordavo::test

namespace ordavo::test {
// Writes a grey picture as a JPEG of `quality` (1 to 100).
bool WriteGreyJpeg(const std::string& path, const mfd::GreyPicture& picture, int quality);
}  // namespace ordavo::test
