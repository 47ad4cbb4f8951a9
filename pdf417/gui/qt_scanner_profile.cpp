#include "pdf417/gui/qt_scanner_profile.h"

#include <QSettings>

#include "shell/gui/gui_support.h"

namespace ordavo::gui {
namespace {

QString Key(const std::string& key) { return QString(pdf417::kProfileSection) + "/" + QString::fromStdString(key); }

}  // namespace

std::string QtScannerProfile::ReadString(const std::string& key, const std::string& fallback) {
    QSettings profile;
    const QVariant v = profile.value(Key(key));
    return v.isValid() ? NativePath(v.toString()) : fallback;
}

int QtScannerProfile::ReadInt(const std::string& key, int fallback) {
    QSettings profile;
    bool ok = false;
    const int v = profile.value(Key(key)).toInt(&ok);
    return ok ? v : fallback;
}

void QtScannerProfile::WriteString(const std::string& key, const std::string& value) {
    QSettings().setValue(Key(key), QPath(value));
}

void QtScannerProfile::WriteInt(const std::string& key, int value) { QSettings().setValue(Key(key), value); }

}  // namespace ordavo::gui
