#include "sim/pty.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <climits>

namespace ordavo::sim {
namespace {

bool MakeRaw(int fd, bool line_settings) {
    struct termios t {};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    if (line_settings) {
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        t.c_cflag |= CSTOPB | CLOCAL | CREAD;
        t.c_cflag &= ~(PARENB | CRTSCTS);
    }
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string Errno(const std::string& what) {
    return what + ": " + strerror(errno);
}

}  // namespace

Pty::~Pty() {
    Close();
}

bool Pty::Open(const std::string& link_path, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        Close();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail(Errno("posix_openpt"));
    if (grantpt(master_) != 0) return fail(Errno("grantpt"));
    if (unlockpt(master_) != 0) return fail(Errno("unlockpt"));
    char name[PATH_MAX];
    if (ptsname_r(master_, name, sizeof name) != 0) return fail(Errno("ptsname"));
    slave_name_ = name;
    if (!MakeRaw(master_, false)) return fail(Errno("raw mode on the master"));
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) return fail(Errno("open " + slave_name_));
    if (!MakeRaw(slave_, true)) return fail(Errno("raw mode on " + slave_name_));
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail(Errno("non-blocking master"));

    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && inotify_add_watch(watch_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        ::close(watch_);
        watch_ = -1;  // only the exclusive-use clean-up is lost
    }

    struct stat st {};
    if (lstat(link_path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        return fail(link_path + " exists and is not a symbolic link; it is left alone");
    // Replace an old link in one step, so that nobody sees the path missing.
    const std::string tmp = link_path + ".tmp" + std::to_string(getpid());
    ::unlink(tmp.c_str());
    if (symlink(name, tmp.c_str()) != 0) return fail(Errno("symlink " + tmp));
    if (rename(tmp.c_str(), link_path.c_str()) != 0) {
        const std::string why = Errno("rename to " + link_path);
        ::unlink(tmp.c_str());
        return fail(why);
    }
    link_path_ = link_path;
    return true;
}

void Pty::Close() {
    if (!link_path_.empty()) {
        char target[PATH_MAX];
        const ssize_t n = readlink(link_path_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<size_t>(n)) == slave_name_)
            ::unlink(link_path_.c_str());
        link_path_.clear();
    }
    for (int* fd : {&watch_, &slave_, &master_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

int Pty::SlaveBaud() const {
    struct termios t {};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) return 0;
    switch (cfgetispeed(&t)) {
        case B1200: return 1200;
        case B2400: return 2400;
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        case B230400: return 230400;
        default: return 0;
    }
}

bool Pty::OnSlaveClosed() {
    char buf[4096];
    while (watch_ >= 0 && ::read(watch_, buf, sizeof buf) > 0) {
    }
#if defined(TIOCGEXCL) && defined(TIOCNXCL)
    int exclusive = 0;
    if (slave_ >= 0 && ioctl(slave_, TIOCGEXCL, &exclusive) == 0 && exclusive) {
        return ioctl(slave_, TIOCNXCL) == 0;
    }
#endif
    return false;
}

}  // namespace ordavo::sim
