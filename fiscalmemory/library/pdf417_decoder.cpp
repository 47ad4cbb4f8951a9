#include "fiscalmemory/library/pdf417_decoder.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace ordavo::mfd {

namespace {

bool Read(const GreyPicture& p, ZXing::Binarizer binarizer, std::string& bytes) {
    ZXing::ImageView view(p.pixels.data(), p.width, p.height, ZXing::ImageFormat::Lum);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::PDF417);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setBinarizer(binarizer);
    hints.setMaxNumberOfSymbols(1);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) return false;
    // The raw bytes: the symbol carries binary data, which no text conversion may touch.
    const ZXing::ByteArray& raw = result.bytes();
    bytes.assign(reinterpret_cast<const char*>(raw.data()), raw.size());
    return true;
}

// The slant of the symbol's bars, in radians: the shear that lines the dark pixels up in the
// fewest, fullest columns. Rows are sampled; a few milliseconds on a page.
double Slant(const GreyPicture& p) {
    uint64_t sum = 0;
    for (uint8_t v : p.pixels) sum += v;
    const int threshold = static_cast<int>(sum / p.pixels.size()) - 10;
    std::vector<std::pair<int, int>> dark;
    const int row_step = std::max(1, p.height / 200);
    for (int y = 0; y < p.height; y += row_step)
        for (int x = 0; x < p.width; ++x)
            if (p.pixels[static_cast<size_t>(y) * p.width + x] < threshold) dark.emplace_back(x, y - p.height / 2);
    if (dark.size() < 100) return 0;
    std::vector<uint32_t> bins;
    auto score = [&](double angle) {
        const double t = std::tan(angle);
        const int pad = static_cast<int>(std::abs(t) * p.height) + 2;
        bins.assign(static_cast<size_t>(p.width + 2 * pad), 0);
        for (const auto& [x, y] : dark) ++bins[static_cast<size_t>(x + pad - std::lround(y * t))];
        uint64_t s = 0;
        for (uint32_t b : bins) s += uint64_t{b} * b;
        return s;
    };
    double best = 0;
    uint64_t best_score = 0;
    auto search = [&](double from, double to, double step) {
        for (double a = from; a <= to + 1e-9; a += step)
            if (const uint64_t s = score(a); s > best_score) best_score = s, best = a;
    };
    constexpr double kDegree = M_PI / 180;
    search(-8 * kDegree, 8 * kDegree, 0.5 * kDegree);
    const double coarse = best;
    search(coarse - 0.5 * kDegree, coarse + 0.5 * kDegree, 0.1 * kDegree);
    return best;
}

// The picture turned by `angle` about its centre (bilinear), white where nothing was.
GreyPicture Turned(const GreyPicture& p, double angle) {
    GreyPicture out;
    out.width = p.width, out.height = p.height;
    out.pixels.assign(p.pixels.size(), 255);
    const double c = std::cos(angle), s = std::sin(angle), cx = p.width / 2.0, cy = p.height / 2.0;
    for (int y = 0; y < p.height; ++y) {
        const double dy = y - cy;
        for (int x = 0; x < p.width; ++x) {
            const double dx = x - cx;
            const double sx = c * dx + s * dy + cx, sy = -s * dx + c * dy + cy;
            const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
            if (ix < 0 || iy < 0 || ix + 1 >= p.width || iy + 1 >= p.height) continue;
            const double fx = sx - ix, fy = sy - iy;
            const uint8_t* q = p.pixels.data() + static_cast<size_t>(iy) * p.width + ix;
            const double v = (q[0] * (1 - fx) + q[1] * fx) * (1 - fy) + (q[p.width] * (1 - fx) + q[p.width + 1] * fx) * fy;
            out.pixels[static_cast<size_t>(y) * p.width + x] = static_cast<uint8_t>(v + 0.5);
        }
    }
    return out;
}

// Half the size, each pixel the mean of four: noise and blur averaged away.
GreyPicture Halved(const GreyPicture& p) {
    GreyPicture out;
    out.width = p.width / 2, out.height = p.height / 2;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const uint8_t* q = p.pixels.data() + static_cast<size_t>(2 * y) * p.width + 2 * x;
            out.pixels[static_cast<size_t>(y) * out.width + x] =
                static_cast<uint8_t>((q[0] + q[1] + q[p.width] + q[p.width + 1] + 2) / 4);
        }
    return out;
}

}  // namespace

bool DecodePdf417(const GreyPicture& picture, std::string& bytes) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() < static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height))
        return false;
    // A clean picture reads at once; a photographed or scanned one is straightened first, and
    // then tried with the other binarizer and at half size.
    if (Read(picture, ZXing::Binarizer::LocalAverage, bytes)) return true;
    const double slant = Slant(picture);
    const bool turn = std::abs(slant) > 0.002;
    GreyPicture turned;
    if (turn) turned = Turned(picture, slant);
    const GreyPicture& straight = turn ? turned : picture;
    if (turn && Read(straight, ZXing::Binarizer::LocalAverage, bytes)) return true;
    if (Read(straight, ZXing::Binarizer::GlobalHistogram, bytes)) return true;
    if (straight.width >= 200 && straight.height >= 100) {
        const GreyPicture half = Halved(straight);
        if (Read(half, ZXing::Binarizer::LocalAverage, bytes)) return true;
        if (Read(half, ZXing::Binarizer::GlobalHistogram, bytes)) return true;
    }
    return false;
}

int Pdf417ToMfd::Open(const char* output) {
    series_.Clear();
    status_.clear();
    open_ = false;
    incomplete_told_ = false;
    if (!output || !*output) return 9;
    output_ = output;
    open_ = true;
    return 0;
}

int Pdf417ToMfd::Add(const char* picture) {
    if (!open_) return 7;
    if (!picture || !*picture) return 9;
    incomplete_told_ = false;
    GreyPicture grey;
    std::string why;
    if (!LoadPicture(picture, grey, &why)) {
        status_ = std::string(picture) + ": " + why;
        return 17;
    }
    std::string bytes;
    if (!DecodePdf417(grey, bytes)) {
        status_ = std::string(picture) + ": no se encontr\xF3 ning\xFAn s\xEDmbolo PDF-417";
        return 6;
    }
    // A symbol read twice changes nothing, as with the scanner.
    const bool refused = series_.Add(bytes, &why) == pdf417::SymbolSeries::Outcome::kRefused;
    status_ = std::string(picture) + ": " + why;
    return refused ? 6 : 0;
}

int Pdf417ToMfd::Close() {
    if (!open_) return 7;
    if (series_.received() == 0) {
        open_ = false;
        status_ = "ning\xFAn s\xEDmbolo para escribir";
        return 6;
    }
    if (!series_.Complete() && !incomplete_told_) {
        // Nothing written yet: the caller asks whether a part of the series will do.
        std::string missing;
        for (uint32_t n = 0; n < series_.expected(); ++n)
            if (!series_.HasSlot(n)) missing += (missing.empty() ? "" : ", ") + std::to_string(n + 1);
        status_ = "Faltan " + std::to_string(series_.expected() - series_.received()) + " de " +
                  std::to_string(series_.expected()) + " s\xEDmbolos: " + missing;
        incomplete_told_ = true;
        return kIncompleteSeries;
    }
    open_ = false;
    const int rc = series_.Save(output_, &status_) ? 0 : 19;
    if (rc == 0) status_.clear();
    series_.Clear();
    return rc;
}

Pdf417ToMfd& TheDecoding() {
    static Pdf417ToMfd decoding;
    return decoding;
}

std::mutex& TheDecodingLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace ordavo::mfd
