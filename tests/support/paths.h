// Where the tests find the sources, the built programs and a scratch directory.
#pragma once

#include <string>

namespace ordavo::test {

std::string SourceDir();  // the checkout
std::string BinaryDir();  // the build tree
std::string CatalogDir();  // catalogs/ of the checkout
std::string ProgramPath(const std::string& name);  // a built program, e.g. "ordavo-cli"

// A fresh empty directory, removed when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace ordavo::test
