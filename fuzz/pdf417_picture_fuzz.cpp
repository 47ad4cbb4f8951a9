// The picture readers of the bitmap decoding take any file: a BMP, PNG or JPEG that lies about its
// size, a truncated one, garbage. Small pictures go on to the PDF-417 decoder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fiscalmemory/library/pdf417_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ordavo::mfd::GreyPicture picture;
    std::string error;
    const bool bmp = ordavo::mfd::ParseBmp(data, size, picture, &error);
    if (bmp && picture.pixels.size() != static_cast<size_t>(picture.width) * picture.height) __builtin_trap();
    if (!bmp && error.empty()) __builtin_trap();
    ordavo::mfd::GreyPicture png;
    if (ordavo::mfd::ParsePng(data, size, png, &error) &&
        png.pixels.size() != static_cast<size_t>(png.width) * png.height)
        __builtin_trap();
    ordavo::mfd::GreyPicture jpeg;
    error.clear();
    const bool jpg = ordavo::mfd::ParseJpeg(data, size, jpeg, &error);
    if (jpg && jpeg.pixels.size() != static_cast<size_t>(jpeg.width) * jpeg.height) __builtin_trap();
    if (!jpg && error.empty()) __builtin_trap();
    if (bmp && int64_t{picture.width} * picture.height <= 200 * 200) {
        std::string bytes;
        ordavo::mfd::DecodePdf417(picture, bytes);
    }
    return 0;
}
