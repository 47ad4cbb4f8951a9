// A file the library writes: first as a temporary beside the final name, renamed over it only
// when everything went right. A download that fails or is cancelled leaves nothing under the
// final name (and an older file of that name as it was).
#pragma once

#include <cstddef>
#include <string>

namespace ordavo::mfd {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // removes the temporary unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary in the directory of `path`; false when that directory does not
    // take a new file.
    bool Create(const std::string& path);
    bool Write(const void* data, size_t size);
    bool Fill(unsigned char byte, size_t count);
    // Bytes written so far.
    unsigned long long size() const { return size_; }
    // Flushes it to the disk and renames it to the final name.
    bool Commit();
    void Discard();

private:
    std::string path_, temp_;
    int fd_ = -1;
    unsigned long long size_ = 0;
    bool failed_ = false;
};

}  // namespace ordavo::mfd
