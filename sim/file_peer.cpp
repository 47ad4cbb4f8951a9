// The printer as the answering side of the exchange files: frames are taken from the front of
// "comando.dat" and the answers appended to "retorno.dat", both in one directory. Every change
// of either file is made under an exclusive advisory lock (flock) on that file, the lock the
// program takes on its side too: without it, bytes appended while the other side cuts what it
// took off the front of the file would be lost.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iostream>

#include "sim/line.h"
#include "sim/peers.h"

namespace ordavo::sim {
namespace {

constexpr const char* kRequestFile = "comando.dat";
constexpr const char* kResponseFile = "retorno.dat";
// How often the request file is looked at. The program looks for the answer 300 ms after it
// wrote the frame, so the answer must be there well before that.
constexpr int kPollMs = 20;
// Held by the other side for one short operation; a holder that stays longer is a busy file
// that is tried again at the next look.
constexpr int kLockWaitMs = 1000;
// Most bytes taken off the request file at once; a larger file is worked off in pieces.
constexpr size_t kMaxTake = 1 << 20;

int64_t After(int ms) {
    return NowNs() + static_cast<int64_t>(ms) * 1000000LL;
}

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

class Lock {
  public:
    explicit Lock(int fd) : fd_(fd) {
        const int64_t end = After(kLockWaitMs);
        while (!g_stop) {
            if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                held_ = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            if (NowNs() >= end) return;
            SleepUntil(After(1));
        }
    }
    ~Lock() {
        if (held_) flock(fd_, LOCK_UN);
    }
    bool held() const { return held_; }

  private:
    int fd_;
    bool held_ = false;
};

class FileLine {
  public:
    FileLine(Responder& r, const std::string& dir)
        : r_(r), request_(dir + "/" + kRequestFile), response_(dir + "/" + kResponseFile) {}
    ~FileLine() {
        if (in_ >= 0) ::close(in_);
    }

    bool Open(std::string& error) {
        in_ = ::open(request_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (in_ < 0) {
            error = Errno(request_);
            return false;
        }
        struct stat st;
        if (fstat(in_, &st) == 0) {
            dev_ = st.st_dev;
            ino_ = st.st_ino;
        }
        return true;
    }

    int Run() {
        int64_t last_input = NowNs();
        while (!g_stop) {
            Flush();
            Reopen();
            Bytes got;
            Take(got);
            if (!got.empty()) {
                last_input = NowNs();
                Feed(got);
                continue;  // more may be waiting
            }
            if (parser_.InFrame() && NowNs() - last_input >= static_cast<int64_t>(kInterByteMs) * 1000000LL) {
                if (parser_.Timeout() == FrameParser::Event::kRefused) Send(r_.Refuse(parser_.why()));
            }
            SleepUntil(After(kPollMs));
        }
        Flush();
        return 0;
    }

  private:
    void Report(const std::string& problem) {
        // Said once, not at every look.
        if (problem == last_problem_) return;
        last_problem_ = problem;
        if (!problem.empty()) std::cerr << "ordavo-printer-sim: " << problem << std::endl;
    }

    // The program may have replaced the request file (deleted and made again): follow the name.
    void Reopen() {
        struct stat st;
        if (::stat(request_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) return;
        const int fd = ::open(request_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            Report(Errno(request_));
            return;
        }
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            return;
        }
        r_.Log(request_ + " was replaced; reading the new file");
        ::close(in_);
        in_ = fd;
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }

    uint64_t Size() {
        struct stat st;
        return fstat(in_, &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }

    // Takes what waits at the front of the request file, at most kMaxTake bytes, and cuts it off.
    void Take(Bytes& out) {
        if (Size() == 0) return;
        Lock lock(in_);
        if (!lock.held()) return;  // the program is writing: next time
        out.resize(kMaxTake);
        size_t n = 0;
        while (n < kMaxTake) {
            const ssize_t r = ::pread(in_, out.data() + n, kMaxTake - n, static_cast<off_t>(n));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                Report(Errno(request_));
                out.clear();
                return;
            }
            if (r == 0) break;
            n += static_cast<size_t>(r);
        }
        out.resize(n);
        if (n > 0 && !CutFront(n)) out.clear();  // still in the file: taken again next time
    }

    // Drops the first n bytes of the request file; the rest moves to the front.
    bool CutFront(size_t n) {
        off_t from = static_cast<off_t>(n), to = 0;
        uint8_t chunk[65536];
        for (;;) {
            const ssize_t r = ::pread(in_, chunk, sizeof chunk, from);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                Report(Errno(request_));
                return false;
            }
            if (r == 0) break;
            for (ssize_t done = 0; done < r;) {
                const ssize_t w = ::pwrite(in_, chunk + done, static_cast<size_t>(r - done), to + done);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) {
                    Report(Errno(request_));
                    return false;
                }
                done += w;
            }
            from += r;
            to += r;
        }
        if (::ftruncate(in_, to) != 0) {
            Report(Errno(request_));
            return false;
        }
        Report("");
        return true;
    }

    void Feed(const Bytes& data) {
        for (uint8_t byte : data) {
            if (g_stop) return;
            const FrameParser::Event e = parser_.Feed(byte);
            if (e == FrameParser::Event::kRefused) {
                Send(r_.Refuse(parser_.why()));
            } else if (e == FrameParser::Event::kFrame) {
                if (const size_t noise = parser_.TakeNoiseCount())
                    r_.Log("skipped " + std::to_string(noise) + " bytes before STX");
                Send(r_.Answer(parser_.frame()));
            }
        }
    }

    void Send(const Reply& reply) {
        SendPaced(
            reply,
            [&](const uint8_t* data, size_t size) {
                pending_.insert(pending_.end(), data, data + size);
                Flush();
                return true;
            },
            [&](int64_t due) {
                // A new frame in the request file ends this answer.
                while (!g_stop && NowNs() < due) {
                    if (Size() > 0) {
                        r_.Log("new input; the rest of the answer is dropped");
                        return true;
                    }
                    SleepUntil(std::min(due, After(kPollMs)));
                }
                return static_cast<bool>(g_stop);
            });
    }

    // Appends what is waiting to the response file. What cannot be written now stays queued and
    // goes at the next look, so an answer is never lost to a busy file.
    void Flush() {
        if (pending_.empty()) return;
        const int fd = ::open(response_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0) {
            Report(Errno(response_));
            return;
        }
        {
            Lock lock(fd);
            if (lock.held()) {
                while (!pending_.empty()) {
                    const ssize_t w = ::write(fd, pending_.data(), pending_.size());
                    if (w < 0 && errno == EINTR) continue;
                    if (w <= 0) {
                        Report(Errno(response_));
                        break;
                    }
                    pending_.erase(pending_.begin(), pending_.begin() + w);
                }
            }
        }
        ::close(fd);
    }

    Responder& r_;
    std::string request_, response_;
    int in_ = -1;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    FrameParser parser_;
    Bytes pending_;
    std::string last_problem_;
};

}  // namespace

int RunFile(const Options& o, Responder& responder) {
    struct stat st;
    if (::stat(o.file_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::cerr << "ordavo-printer-sim: " << o.file_dir << ": not a directory" << std::endl;
        return 66;
    }
    std::string dir = o.file_dir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    FileLine line(responder, dir);
    std::string error;
    if (!line.Open(error)) {
        std::cerr << "ordavo-printer-sim: " << error << std::endl;
        return 1;
    }
    std::cout << o.file_dir << std::endl;
    return line.Run();
}

}  // namespace ordavo::sim
