#include "tests/support/paths.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace ordavo::test {

std::string SourceDir() { return ORDAVO_SOURCE_DIR; }
std::string BinaryDir() { return ORDAVO_BINARY_DIR; }
std::string CatalogDir() { return SourceDir() + "/catalogs"; }

std::string ProgramPath(const std::string& name) {
    for (const char* sub : {"/bin/", "/", "/cli/", "/sim/", "/shell/"}) {
        std::string p = BinaryDir() + sub + name;
        if (std::filesystem::exists(p)) return p;
    }
    return BinaryDir() + "/" + name;
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ordavo-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace ordavo::test
