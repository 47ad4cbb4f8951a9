#include "fiscalmemory/library/output_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace ordavo::mfd {

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Create(const std::string& path) {
    Discard();
    if (path.empty() || path.back() == '/') return false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
    path_ = path;
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string tmpl = dir + "." + base + ".partXXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    fd_ = mkostemp(buf.data(), O_CLOEXEC);
    if (fd_ < 0) return false;
    temp_ = buf.data();
    fchmod(fd_, 0644);
    size_ = 0;
    failed_ = false;
    return true;
}

bool OutputFile::Write(const void* data, size_t size) {
    if (fd_ < 0 || failed_) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
        size_ += static_cast<unsigned long long>(n);
    }
    return true;
}

bool OutputFile::Fill(unsigned char byte, size_t count) {
    char chunk[4096];
    std::memset(chunk, byte, sizeof chunk);
    while (count > 0) {
        const size_t n = count < sizeof chunk ? count : sizeof chunk;
        if (!Write(chunk, n)) return false;
        count -= n;
    }
    return true;
}

bool OutputFile::Commit() {
    if (fd_ < 0 || failed_) return false;
    const bool ok = fsync(fd_) == 0 && ::close(fd_) == 0;
    fd_ = -1;
    if (!ok || rename(temp_.c_str(), path_.c_str()) != 0) {
        unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
}

void OutputFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
}

}  // namespace ordavo::mfd
