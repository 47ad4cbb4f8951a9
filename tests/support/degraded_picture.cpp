#include "tests/support/degraded_picture.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <cstdio>

#include <jpeglib.h>

#include "engine/util.h"

namespace ordavo::test {
namespace {

std::vector<float> Kernel(double sigma) {
    const int r = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
    std::vector<float> k(2 * r + 1);
    float sum = 0;
    for (int i = -r; i <= r; ++i) sum += k[i + r] = static_cast<float>(std::exp(-i * i / (2 * sigma * sigma)));
    for (float& v : k) v /= sum;
    return k;
}

}  // namespace

mfd::GreyPicture Degrade(const mfd::GreyPicture& clean, const Degradation& how) {
    mfd::GreyPicture out;
    out.width = how.width, out.height = how.height;
    out.pixels.assign(static_cast<size_t>(out.width) * out.height, 255);
    // Scaled to 85% of the page, keeping its proportions; sampled back through the rotation.
    const double scale =
        0.85 * std::min(static_cast<double>(how.width) / clean.width, static_cast<double>(how.height) / clean.height);
    const double a = how.degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    const double cx = how.width / 2.0, cy = how.height / 2.0;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const double dx = x - cx, dy = y - cy;
            const double sx = (c * dx + s * dy) / scale + clean.width / 2.0;
            const double sy = (-s * dx + c * dy) / scale + clean.height / 2.0;
            const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
            if (ix < 0 || iy < 0 || ix >= clean.width || iy >= clean.height) continue;
            out.pixels[static_cast<size_t>(y) * out.width + x] = clean.pixels[static_cast<size_t>(iy) * clean.width + ix];
        }
    if (how.blur_sigma > 0) {
        const std::vector<float> k = Kernel(how.blur_sigma);
        const int r = static_cast<int>(k.size() / 2);
        std::vector<float> tmp(out.pixels.size());
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) {
                float v = 0;
                for (int i = -r; i <= r; ++i)
                    v += k[i + r] * out.pixels[static_cast<size_t>(y) * out.width + std::clamp(x + i, 0, out.width - 1)];
                tmp[static_cast<size_t>(y) * out.width + x] = v;
            }
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) {
                float v = 0;
                for (int i = -r; i <= r; ++i)
                    v += k[i + r] * tmp[static_cast<size_t>(std::clamp(y + i, 0, out.height - 1)) * out.width + x];
                out.pixels[static_cast<size_t>(y) * out.width + x] = static_cast<uint8_t>(std::lround(v));
            }
    }
    if (how.noise > 0) {
        std::mt19937 rng(how.seed);
        std::uniform_int_distribution<int> d(-how.noise, how.noise);
        for (uint8_t& p : out.pixels) p = static_cast<uint8_t>(std::clamp(p + d(rng), 0, 255));
    }
    return out;
}

bool WriteGreyBmp(const std::string& path, const mfd::GreyPicture& g) {
    auto put16 = [](std::string& s, uint32_t v) { s.push_back(char(v)), s.push_back(char(v >> 8)); };
    auto put32 = [&](std::string& s, uint32_t v) { put16(s, v & 0xFFFF), put16(s, v >> 16); };
    const size_t stride = (static_cast<size_t>(g.width) + 3) / 4 * 4;
    const uint32_t offset = 54 + 256 * 4;
    std::string s = "BM";
    put32(s, static_cast<uint32_t>(offset + stride * g.height)), put32(s, 0), put32(s, offset);
    put32(s, 40), put32(s, static_cast<uint32_t>(g.width)), put32(s, static_cast<uint32_t>(-g.height));
    put16(s, 1), put16(s, 8), put32(s, 0), put32(s, static_cast<uint32_t>(stride * g.height)), put32(s, 2835);
    put32(s, 2835), put32(s, 256), put32(s, 0);
    for (int i = 0; i < 256; ++i) s += std::string{char(i), char(i), char(i), 0};
    for (int y = 0; y < g.height; ++y) {
        std::string row(stride, '\0');
        std::copy_n(g.pixels.begin() + static_cast<ptrdiff_t>(y) * g.width, g.width, row.begin());
        s += row;
    }
    return WriteFileAtomically(path, s);
}

bool WriteGreyJpeg(const std::string& path, const mfd::GreyPicture& g, int quality) {
    struct jpeg_compress_struct info;
    struct jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(g.width);
    info.image_height = static_cast<JDIMENSION>(g.height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(g.pixels.data() + static_cast<size_t>(info.next_scanline) * g.width);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const bool ok = WriteFileAtomically(path, std::string(reinterpret_cast<char*>(buffer), size));
    std::free(buffer);
    return ok;
}

}  // namespace ordavo::test
