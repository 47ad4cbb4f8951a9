// Loading the fiscal-memory library at run time. Every operation loads it, looks its function
// up by name, calls it and releases it; a FiscalLibrary object is one such load.
//
// Where it is looked for: the directory named by the environment variable ORDAVO_LIBRARY_DIR
// when set; else beside the running program (the build tree's bin/); else ../lib/ordavo
// relative to the program (an installed program in PREFIX/bin finds PREFIX/lib/ordavo).
#pragma once

#include <string>

namespace ordavo {

// The library file the country chooses: "libTalvMFD2RD.so" for "REP DOMINICANA", otherwise
// "libTalvMFD2ES.so".
std::string FiscalLibraryName(const std::string& country);
constexpr const char* kFiscalLibraryES = "libTalvMFD2ES.so";
constexpr const char* kFiscalLibraryRD = "libTalvMFD2RD.so";

// The full path of a library file name, by the search above (the first that exists; the first
// candidate when none does).
std::string FiscalLibraryPath(const std::string& file_name);

class FiscalLibrary {
public:
    FiscalLibrary() = default;
    explicit FiscalLibrary(const std::string& file_name) { Load(file_name); }
    ~FiscalLibrary() { Release(); }
    FiscalLibrary(const FiscalLibrary&) = delete;
    FiscalLibrary& operator=(const FiscalLibrary&) = delete;

    // Loads the library by file name (see above); false, with error() saying why, when it
    // cannot be loaded. A loaded library is released first.
    bool Load(const std::string& file_name);
    void Release();
    bool Loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    // The exported function of that name as a pointer of type F, or nullptr.
    template <class F>
    F Find(const char* name) const {
        return reinterpret_cast<F>(Symbol(name));
    }

private:
    void* Symbol(const char* name) const;
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace ordavo
