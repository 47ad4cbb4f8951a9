#include "sim/pdf417_bitmaps.h"

#include <unistd.h>
#include <zint.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/util.h"

namespace ordavo::sim {

bool WritePdf417Picture(const std::string& path, const std::string& symbol, std::string& error) {
    // zint writes where it is told; a temporary name beside the target, renamed when whole.
    const std::string tmp = path.substr(0, path.find_last_of('/') + 1) + ".tmp" + std::to_string(getpid()) + "_" +
                            path.substr(path.find_last_of('/') + 1);
    std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> z(ZBarcode_Create(), ZBarcode_Delete);
    if (!z) return error = "out of memory", false;
    if (tmp.size() >= sizeof z->outfile) return error = path + ": path too long", false;
    z->symbology = BARCODE_PDF417;
    z->input_mode = DATA_MODE;  // binary: no character set conversion, no ECI
    z->option_1 = 2;            // error correction level 2, as a receipt printer prints them
    z->scale = 1.0f;
    std::strcpy(z->outfile, tmp.c_str());
    const int rc = ZBarcode_Encode_and_Print(z.get(), reinterpret_cast<const unsigned char*>(symbol.data()),
                                             static_cast<int>(symbol.size()), 0);
    if (rc >= ZINT_ERROR) {
        ::unlink(tmp.c_str());
        return error = path + ": " + z->errtxt, false;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool WritePdf417Pictures(const std::string& dir, const std::vector<std::string>& symbols, const std::string& ext,
                         std::vector<std::string>& written, std::string& error) {
    written.clear();
    if (ext != "bmp" && ext != "png") return error = "picture format \"" + ext + "\": bmp or png", false;
    for (size_t i = 0; i < symbols.size(); ++i) {
        const std::string path = dir + "/" + Format("symbol_%03zu.", i) + ext;
        if (!WritePdf417Picture(path, symbols[i], error)) return false;
        written.push_back(path);
    }
    return true;
}

}  // namespace ordavo::sim
