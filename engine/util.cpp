#include "engine/util.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace ordavo {

int32_t AtoiC(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return static_cast<int32_t>(value);
}

std::string VFormat(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(n);
    return out;
}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = VFormat(fmt, args);
    va_end(args);
    return s;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) return;
    size_t pos = text.find(from);
    if (pos == std::string::npos) return;
    // One pass into a new text: replacing in place moves the whole tail at every match.
    std::string out;
    out.reserve(to.size() > from.size() ? text.size() + text.size() / 8 : text.size());
    size_t start = 0;
    for (; pos != std::string::npos; pos = text.find(from, start)) {
        out.append(text, start, pos - start);
        out.append(to);
        start = pos + from.size();
    }
    out.append(text, start, std::string::npos);
    text.swap(out);
}

std::string HexBytes(const uint8_t* data, size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i) out += ' ';
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& out) {
    out.clear();
    int pending = -1;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':' || c == '\t' || c == '\n' || c == '\r') {
            if (pending >= 0) return false;  // a lone digit between separators
            continue;
        }
        int v = nibble(c);
        if (v < 0) return false;
        if (pending < 0) {
            pending = v;
        } else {
            out.push_back(static_cast<uint8_t>(pending * 16 + v));
            pending = -1;
        }
    }
    return pending < 0;
}

namespace {

// A save that was killed half way leaves "NAME.tmpPID" beside NAME. Those of processes that no
// longer run are ours to remove; a running process's temporary belongs to its save in progress.
void RemoveStaleTemporaries(const std::string& path) {
    size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp";
    DIR* d = ::opendir(dir.empty() ? "/" : dir.c_str());
    if (!d) return;
    while (struct dirent* e = ::readdir(d)) {
        std::string_view name(e->d_name);
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string_view digits = name.substr(prefix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos) continue;
        pid_t pid = static_cast<pid_t>(AtoiC(digits));
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        ::unlink((dir + "/" + std::string(name)).c_str());
    }
    ::closedir(d);
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error) {
    RemoveStaleTemporaries(path);
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    auto fail = [&](const char* what) {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    };
    if (fd < 0) return fail("cannot create");
    // Keep the permissions of the file being replaced.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("cannot write");
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) return fail("cannot flush");
    if (::close(fd) != 0) {
        fd = -1;
        return fail("cannot close");
    }
    fd = -1;
    if (::rename(tmp.c_str(), path.c_str()) != 0) return fail("cannot replace");
    return true;
}

bool ReadRegularFile(const std::string& path, std::string& out, std::string* error, size_t limit) {
    auto fail = [&](int e, const char* what) {
        if (error) *error = path + ": " + (what ? std::string(what) : std::string(std::strerror(e)));
        errno = e;
        return false;
    };
    // Non-blocking, so that a FIFO without a writer does not hold the program at the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(errno, nullptr);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return fail(e, nullptr);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(EISDIR, nullptr);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(EINVAL, "not a regular file (a FIFO, a device or a socket)");
    }
    if (static_cast<uintmax_t>(st.st_size) > limit) {
        ::close(fd);
        return fail(EFBIG, nullptr);
    }
    std::string text;
    text.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            ::close(fd);
            return fail(e, nullptr);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > limit) {  // grew while it was read
            ::close(fd);
            return fail(EFBIG, nullptr);
        }
    }
    ::close(fd);
    out = std::move(text);
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& out) { return ReadRegularFile(path, out, nullptr); }

size_t MostAttributesInOneTag(std::string_view xml) {
    size_t most = 0;
    size_t i = 0;
    const size_t n = xml.size();
    while (i < n) {
        size_t lt = xml.find('<', i);
        if (lt == std::string_view::npos || lt + 1 >= n) break;
        char first = xml[lt + 1];
        if (first == '!' || first == '?' || first == '/') {
            i = lt + 1;
            continue;
        }
        // Inside a start tag: every '=' outside quotes is one attribute.
        size_t count = 0;
        char quote = 0;
        size_t j = lt + 1;
        for (; j < n; ++j) {
            char c = xml[j];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                ++count;
            } else if (c == '>' || c == '<') {
                break;
            }
        }
        most = std::max(most, count);
        i = j;
    }
    return most;
}

std::string ProgramDirectory() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace ordavo
