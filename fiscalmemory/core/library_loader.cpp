#include "fiscalmemory/core/library_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "engine/util.h"

namespace ordavo {

std::string FiscalLibraryName(const std::string& country) {
    return country == "REP DOMINICANA" ? kFiscalLibraryRD : kFiscalLibraryES;
}

std::string FiscalLibraryPath(const std::string& file_name) {
    std::vector<std::string> candidates;
    if (const char* dir = std::getenv("ORDAVO_LIBRARY_DIR"); dir && *dir) candidates.push_back(std::string(dir) + "/" + file_name);
    std::string exe_dir = ProgramDirectory();
    if (!exe_dir.empty()) {
        candidates.push_back(exe_dir + "/" + file_name);
        candidates.push_back(exe_dir + "/../lib/ordavo/" + file_name);
    }
    for (const std::string& c : candidates)
        if (::access(c.c_str(), R_OK) == 0) return c;
    return candidates.empty() ? file_name : candidates.front();
}

bool FiscalLibrary::Load(const std::string& file_name) {
    Release();
    std::string path = FiscalLibraryPath(file_name);
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = ::dlerror();
        error_ = e ? e : ("cannot load " + path);
        return false;
    }
    error_.clear();
    return true;
}

void FiscalLibrary::Release() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

void* FiscalLibrary::Symbol(const char* name) const {
    if (!handle_) return nullptr;
    return ::dlsym(handle_, name);
}

}  // namespace ordavo
