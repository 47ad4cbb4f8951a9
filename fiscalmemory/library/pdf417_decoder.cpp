#include "fiscalmemory/library/pdf417_decoder.h"

#include <ZXing/ReadBarcode.h>

namespace ordavo::mfd {

bool DecodePdf417(const GreyPicture& picture, std::string& bytes) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() < static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height))
        return false;
    ZXing::ImageView view(picture.pixels.data(), picture.width, picture.height, ZXing::ImageFormat::Lum);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::PDF417);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setMaxNumberOfSymbols(1);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) return false;
    // The raw bytes: the symbol carries binary data, which no text conversion may touch.
    const ZXing::ByteArray& raw = result.bytes();
    bytes.assign(reinterpret_cast<const char*>(raw.data()), raw.size());
    return true;
}

int Pdf417ToMfd::Open(const char* output) {
    series_.Clear();
    status_.clear();
    open_ = false;
    if (!output || !*output) return 9;
    output_ = output;
    open_ = true;
    return 0;
}

int Pdf417ToMfd::Add(const char* picture) {
    if (!open_) return 7;
    if (!picture || !*picture) return 9;
    GreyPicture grey;
    if (!LoadPicture(picture, grey, &status_)) return 17;
    std::string bytes;
    if (!DecodePdf417(grey, bytes)) {
        status_ = std::string(picture) + ": no PDF-417 symbol found";
        return 6;
    }
    // A symbol read twice changes nothing, as with the scanner.
    return series_.Add(bytes, &status_) == pdf417::SymbolSeries::Outcome::kRefused ? 6 : 0;
}

int Pdf417ToMfd::Close() {
    if (!open_) return 7;
    open_ = false;
    if (series_.received() == 0) {
        status_ = "no symbol to write";
        return 6;
    }
    const int rc = series_.Save(output_, &status_) ? 0 : 19;
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
