#include "transport/file_interface.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "shell/core/settings.h"

namespace ordavo {

namespace {

// Both sides take this lock around every change of a file, so that an answer appended while
// the reader cuts what it took off the front of the file is neither lost nor taken twice. It is
// held for one short operation; a holder that stays longer than this is treated as a busy file.
constexpr int kLockWaitMs = 1000;

class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
        for (;;) {
            if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                held_ = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            if (std::chrono::steady_clock::now() >= end) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~FileLock() {
        if (held_) flock(fd_, LOCK_UN);
    }
    bool held() const { return held_; }

private:
    int fd_;
    bool held_ = false;
};

bool WriteAll(int fd, const uint8_t* data, size_t n, off_t* offset, size_t* done) {
    *done = 0;
    while (*done < n) {
        ssize_t w = offset ? pwrite(fd, data + *done, n - *done, *offset + static_cast<off_t>(*done))
                           : write(fd, data + *done, n - *done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        *done += static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

FileInterface::FileInterface(std::string directory) : directory_(std::move(directory)) {}

FileInterface::~FileInterface() { Close(); }

std::string FileInterface::DirectoryFor(const Settings& settings) {
    return settings.ExchangeDirectory.empty() ? settings.AppDirectory : settings.ExchangeDirectory;
}

std::string FileInterface::PathOf(const char* name) const {
    if (directory_.empty()) return name;
    if (directory_.back() == '/') return directory_ + name;
    return directory_ + "/" + name;
}

std::string FileInterface::IncomingPath() const { return PathOf(mode_ == 0 ? kResponseFile : kRequestFile); }

std::string FileInterface::OutgoingPath() const { return PathOf(mode_ == 0 ? kRequestFile : kResponseFile); }

int FileInterface::Open(int baud_rate) {
    Close();
    last_error_.clear();
    mode_ = baud_rate;
    if (mode_ == 0) {
        // The request file carries exactly the frames of the command now starting; frames of
        // an earlier command that nobody took are not sent again. The file is emptied in place
        // rather than deleted: an answering program that holds it open would otherwise go on
        // watching a deleted file. (The answering side must not do this at all: the file holds
        // the requests it is about to read.)
        const std::string request = OutgoingPath();
        int fd = ::open(request.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
            {
                FileLock lock(fd);
                if (ftruncate(fd, 0) != 0) last_error_ = request + ": " + std::strerror(errno);
            }
            ::close(fd);
        } else if (errno != ENOENT) {
            last_error_ = request + ": " + std::strerror(errno);
        }
    }
    const std::string path = IncomingPath();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        last_error_ = path + ": " + std::strerror(errno);
        return 0;
    }
    return 1;
}

void FileInterface::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int FileInterface::Write(const uint8_t*, int, int) { return 0; }

int FileInterface::Read(uint8_t*, int, int) { return 0; }

uint32_t FileInterface::PendingBytes() {
    if (fd_ < 0) return 0;
    struct stat st;
    if (fstat(fd_, &st) != 0 || st.st_size <= 0) return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(st.st_size),
                                                    std::numeric_limits<uint32_t>::max()));
}

// Drops the first n bytes of the incoming file and moves the rest to the front. The caller
// holds the file lock.
bool FileInterface::RemovePrefix(uint64_t n) {
    off_t src = static_cast<off_t>(n);
    off_t dst = 0;
    std::vector<uint8_t> chunk(65536);
    for (;;) {
        ssize_t r = pread(fd_, chunk.data(), chunk.size(), src);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            last_error_ = IncomingPath() + ": " + std::strerror(errno);
            return false;
        }
        if (r == 0) {
            // A writer that does not take the lock may have appended meanwhile: copy that too
            // before cutting, so that only the taken bytes go.
            struct stat st;
            if (fstat(fd_, &st) == 0 && st.st_size > src) continue;
            break;
        }
        size_t done = 0;
        if (!WriteAll(fd_, chunk.data(), static_cast<size_t>(r), &dst, &done)) {
            last_error_ = IncomingPath() + ": " + std::strerror(errno);
            return false;
        }
        src += r;
        dst += r;
    }
    if (ftruncate(fd_, dst) != 0) {
        last_error_ = IncomingPath() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

int FileInterface::TakeResponse(uint8_t* buffer, int count, uint32_t* received) {
    if (received) *received = 0;
    if (fd_ < 0 || count <= 0) return 1;
    if (buffer == nullptr) return 0;
    FileLock lock(fd_);
    if (!lock.held()) return 1;  // the other side is busy with the file: nothing taken yet

    size_t got = 0;
    while (got < static_cast<size_t>(count)) {
        ssize_t r = pread(fd_, buffer + got, static_cast<size_t>(count) - got, static_cast<off_t>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            last_error_ = IncomingPath() + ": " + std::strerror(errno);
            return 0;
        }
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    if (got > 0 && !RemovePrefix(got)) return 0;  // nothing counted as taken: still in the file
    if (received) *received = static_cast<uint32_t>(got);
    return 1;
}

int FileInterface::Purge() {
    const uint32_t n = PendingBytes();
    if (n == 0) return 1;
    FileLock lock(fd_);
    if (!lock.held()) return 0;
    return RemovePrefix(n) ? 1 : 0;
}

int FileInterface::PutRequest(const uint8_t* buffer, int count, uint32_t* written) {
    if (written) *written = 0;
    if (count < 0 || (count > 0 && buffer == nullptr)) return 0;
    const std::string path = OutgoingPath();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        last_error_ = path + ": " + std::strerror(errno);
        return 0;
    }
    size_t done = 0;
    bool ok = false;
    {
        FileLock lock(fd);
        if (!lock.held()) {
            last_error_ = path + ": the file is busy";
        } else {
            ok = WriteAll(fd, buffer, static_cast<size_t>(count), nullptr, &done);
            if (!ok) last_error_ = path + ": " + std::strerror(errno);
        }
    }
    if (::close(fd) != 0 && ok) {
        last_error_ = path + ": " + std::strerror(errno);
        ok = false;
    }
    if (written) *written = static_cast<uint32_t>(done);
    return ok ? 1 : 0;
}

}  // namespace ordavo
