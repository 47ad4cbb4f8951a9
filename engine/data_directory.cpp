#include "engine/data_directory.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "engine/util.h"

namespace ordavo {
namespace fs = std::filesystem;

std::string InstalledDataDirectory() {
    std::error_code ec;
    if (const char* dir = std::getenv("ORDAVO_DATA_DIR"); dir && *dir)
        return fs::is_directory(dir, ec) ? fs::path(dir).lexically_normal().string() : std::string();
    std::string program = ProgramDirectory();
    if (program.empty()) return {};
    fs::path data = (fs::path(program) / ".." / "share" / "ordavo").lexically_normal();
    return fs::is_directory(data, ec) ? data.string() : std::string();
}

std::string ApplicationFile(const std::string& app_directory, const std::string& relative) {
    const std::string own = app_directory + "/" + relative;
    std::error_code ec;
    if (fs::exists(own, ec)) return own;
    const std::string data = InstalledDataDirectory();
    if (!data.empty()) {
        std::string installed = data + "/" + relative;
        if (fs::is_regular_file(installed, ec)) return installed;
    }
    return own;
}

bool IsInstalledFile(const std::string& path) {
    const std::string data = InstalledDataDirectory();
    return !data.empty() && path.size() > data.size() && path.compare(0, data.size(), data) == 0 &&
           path[data.size()] == '/';
}

std::string UserDataDirectory() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return (fs::path(xdg) / "ordavo").lexically_normal().string();
    const char* home = std::getenv("HOME");
    if (home && *home) return (fs::path(home) / ".local" / "share" / "ordavo").lexically_normal().string();
    return {};
}

}  // namespace ordavo
