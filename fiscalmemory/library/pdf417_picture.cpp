// Reading the pictures of PDF-417 symbols: BMP by hand (its layout is simple and fixed), PNG
// through libpng, JPEG through libjpeg.
#include <png.h>
#include <setjmp.h>

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "engine/util.h"
#include "fiscalmemory/library/pdf417_decoder.h"

namespace ordavo::mfd {
namespace {

// A scanned page at 600 dpi is about 5000 x 7000; nothing sensible is larger.
constexpr int64_t kMaxSide = 30000;
constexpr int64_t kMaxPixels = 100'000'000;

uint32_t U16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

uint8_t Grey(uint32_t r, uint32_t g, uint32_t b) { return static_cast<uint8_t>((r * 299 + g * 587 + b * 114) / 1000); }

// The value of a bit-field colour channel scaled to 0..255.
uint32_t Channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const uint32_t max = mask >> shift;
    return ((pixel & mask) >> shift) * 255 / max;
}

}  // namespace

bool ParseBmp(const uint8_t* d, size_t size, GreyPicture& out, std::string* error) {
    if (size < 26 || d[0] != 'B' || d[1] != 'M') return Fail(error, "not a BMP file");
    const uint32_t offset = U32(d + 10);
    const uint32_t header = U32(d + 14);
    int64_t width, height;
    uint32_t bpp, compression = 0, colours = 0;
    size_t palette_entry = 4;
    if (header == 12) {  // the old OS/2 header
        width = U16(d + 18);
        height = static_cast<int16_t>(U16(d + 20));
        bpp = U16(d + 24);
        palette_entry = 3;
    } else if (header >= 40 && header <= 124) {
        if (size < 14 + size_t{header}) return Fail(error, "BMP header cut short");
        width = static_cast<int32_t>(U32(d + 18));
        height = static_cast<int32_t>(U32(d + 22));
        bpp = U16(d + 28);
        compression = U32(d + 30);
        colours = U32(d + 46);
    } else {
        return Fail(error, "unknown BMP header size " + std::to_string(header));
    }
    const bool top_down = height < 0;
    if (top_down) height = -height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        return Fail(error, Format("BMP of %lld x %lld pixels", static_cast<long long>(width),
                                  static_cast<long long>(height)));
    uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    if (compression == 3 && (bpp == 16 || bpp == 32)) {
        // The masks follow a 40-byte header, or lie inside a longer one.
        if (size < 14 + 40 + 12) return Fail(error, "BMP bit fields cut short");
        for (int i = 0; i < 3; ++i) masks[i] = U32(d + 54 + 4 * i);
    } else if (compression != 0) {
        return Fail(error, "compressed BMP (method " + std::to_string(compression) + ") is not read");
    } else if (bpp == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return Fail(error, "BMP of " + std::to_string(bpp) + " bits a pixel");

    // The palette of the indexed forms, as grey levels.
    uint8_t palette[256];
    std::memset(palette, 0, sizeof palette);
    if (bpp <= 8) {
        const uint32_t max = 1u << bpp;
        if (colours == 0 || colours > max) colours = max;
        const size_t at = 14 + size_t{header} + (compression == 3 ? 12 : 0);
        if (at + colours * palette_entry > size) return Fail(error, "BMP palette cut short");
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t* e = d + at + i * palette_entry;
            palette[i] = Grey(e[2], e[1], e[0]);
        }
    }
    const size_t stride = static_cast<size_t>((bpp * width + 31) / 32 * 4);
    if (offset > size || stride * static_cast<size_t>(height) > size - offset)
        return Fail(error, "BMP pixel data cut short");

    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.pixels.assign(static_cast<size_t>(width * height), 0);
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* row = d + offset + stride * static_cast<size_t>(top_down ? y : height - 1 - y);
        uint8_t* to = out.pixels.data() + y * width;
        for (int64_t x = 0; x < width; ++x) {
            switch (bpp) {
                case 1: to[x] = palette[(row[x / 8] >> (7 - x % 8)) & 1]; break;
                case 4: to[x] = palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F]; break;
                case 8: to[x] = palette[row[x]]; break;
                case 16:
                case 32: {
                    const uint32_t p = bpp == 16 ? U16(row + 2 * x) : U32(row + 4 * x);
                    to[x] = Grey(Channel(p, masks[0]), Channel(p, masks[1]), Channel(p, masks[2]));
                    break;
                }
                default: to[x] = Grey(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            }
        }
    }
    return true;
}

bool ParsePng(const uint8_t* data, size_t size, GreyPicture& out, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return Fail(error, std::string("not a PNG file: ") + image.message);
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide ||
        int64_t{image.width} * image.height > kMaxPixels) {
        png_image_free(&image);
        return Fail(error, Format("PNG of %u x %u pixels", image.width, image.height));
    }
    image.format = PNG_FORMAT_GRAY;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.assign(PNG_IMAGE_SIZE(image), 0);
    png_color white = {255, 255, 255};  // transparent parts on white paper
    if (!png_image_finish_read(&image, &white, out.pixels.data(), 0, nullptr)) {
        const std::string why = image.message;
        png_image_free(&image);
        return Fail(error, "PNG file damaged: " + why);
    }
    return true;
}

namespace {

struct JpegFailure {
    struct jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegError(j_common_ptr info) {
    auto* f = reinterpret_cast<JpegFailure*>(info->err);
    (*info->err->format_message)(info, f->message);
    longjmp(f->jump, 1);
}

void JpegWarning(j_common_ptr, int) {}  // a damaged stream shows as grey, no message

}  // namespace

bool ParseJpeg(const uint8_t* data, size_t size, GreyPicture& out, std::string* error) {
    struct jpeg_decompress_struct info;
    JpegFailure failure;
    info.err = jpeg_std_error(&failure.mgr);
    failure.mgr.error_exit = JpegError;
    failure.mgr.emit_message = JpegWarning;
    failure.message[0] = 0;
    // Nothing with a destructor lives between setjmp and a jump back to it.
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&info);
        out.pixels.clear();
        return Fail(error, std::string("JPEG da\xF1" "ado: ") + failure.message);
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxSide ||
        info.image_height > kMaxSide || int64_t{info.image_width} * info.image_height > kMaxPixels) {
        const std::string why = Format("JPEG de %u x %u p\xEDxeles", info.image_width, info.image_height);
        jpeg_destroy_decompress(&info);
        return Fail(error, why);
    }
    info.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.pixels.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 255);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + static_cast<size_t>(info.output_scanline) * static_cast<size_t>(out.width);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool LoadPicture(const std::string& path, GreyPicture& out, std::string* error) {
    // Only a regular file of a sensible size is read; a FIFO or a device is never waited on.
    std::string bytes;
    if (!ReadRegularFile(path, bytes, nullptr, static_cast<size_t>(kMaxPictureFileBytes))) {
        if (errno == EFBIG)
            return Fail(error, Format("imagen mayor que el l\xEDmite de %lld MiB",
                                      static_cast<long long>(kMaxPictureFileBytes >> 20)));
        if (errno == EINVAL || errno == EISDIR) return Fail(error, "no es un archivo regular");
        return Fail(error, std::strerror(errno));
    }
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() >= 2 && d[0] == 'B' && d[1] == 'M') return ParseBmp(d, bytes.size(), out, error);
    if (bytes.size() >= 8 && std::memcmp(d, "\x89PNG\r\n\x1A\n", 8) == 0) return ParsePng(d, bytes.size(), out, error);
    if (bytes.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return ParseJpeg(d, bytes.size(), out, error);
    return Fail(error, "no es una imagen BMP, PNG ni JPEG");
}

}  // namespace ordavo::mfd
