// The scanner's settings in the application profile (QSettings), section "Scanner Port", the
// store that also keeps the progress window's position.
#pragma once

#include "pdf417/core/scanner_settings.h"

namespace ordavo::gui {

class QtScannerProfile : public pdf417::ScannerProfile {
public:
    std::string ReadString(const std::string& key, const std::string& fallback) override;
    int ReadInt(const std::string& key, int fallback) override;
    void WriteString(const std::string& key, const std::string& value) override;
    void WriteInt(const std::string& key, int value) override;
};

}  // namespace ordavo::gui
