#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/paths.h"

extern char** environ;

namespace ordavo::test {
namespace {

long long NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

int DecodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

std::vector<std::string> EnvWith(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    for (const std::string& x : extra) env.push_back(x);
    return env;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args, int timeout_ms,
                     const std::string& stdin_text, const std::vector<std::string>& extra_env) {
    int out[2], err[2], in[2];
    if (pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC) || pipe2(in, O_CLOEXEC)) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    std::vector<std::string> env = EnvWith(extra_env);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid;
    std::vector<char*> argv = Argv(program, args);
    int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    RunResult result;
    if (rc != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        result.err = std::string("cannot start ") + program + ": " + std::strerror(rc);
        return result;
    }
    signal(SIGPIPE, SIG_IGN);
    if (!stdin_text.empty()) {
        ssize_t ignored = write(in[1], stdin_text.data(), stdin_text.size());
        (void)ignored;
    }
    close(in[1]);
    long long deadline = NowMs() + timeout_ms;
    bool out_open = true, err_open = true;
    char buf[4096];
    while (out_open || err_open) {
        long long left = deadline - NowMs();
        if (left <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[2] = {{out_open ? out[0] : -1, POLLIN, 0}, {err_open ? err[0] : -1, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left)) < 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                (i == 0 ? out_open : err_open) = false;
                continue;
            }
            (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
        }
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = DecodeStatus(status);
    return result;
}

BackgroundProcess::BackgroundProcess(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC)) throw std::runtime_error("pipe");
    char tmpl[] = "/tmp/ordavo-proc-err-XXXXXX";
    int err_fd = mkstemp(tmpl);
    if (err_fd < 0) throw std::runtime_error("mkstemp");
    err_path_ = tmpl;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err_fd, 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv = Argv(program, args);
    int rc = posix_spawn(&pid_, program.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    close(err_fd);
    if (rc != 0) {
        pid_ = -1;
        close(out[0]);
        return;
    }
    out_fd_ = out[0];
}

BackgroundProcess::~BackgroundProcess() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGTERM);
        if (Wait(3000) < 0) {
            kill(pid_, SIGKILL);
            Wait(3000);
        }
    }
    if (out_fd_ >= 0) close(out_fd_);
    if (!err_path_.empty()) unlink(err_path_.c_str());
}

std::string BackgroundProcess::FirstLine(int timeout_ms) {
    OutputUntil("\n", timeout_ms);
    size_t nl = buffered_.find('\n');
    return nl == std::string::npos ? std::string() : buffered_.substr(0, nl);
}

std::string BackgroundProcess::OutputUntil(const std::string& wanted, int timeout_ms) {
    long long deadline = NowMs() + timeout_ms;
    while (buffered_.find(wanted) == std::string::npos && out_fd_ >= 0) {
        long long left = deadline - NowMs();
        if (left <= 0) break;
        pollfd p{out_fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buf[512];
        ssize_t n = read(out_fd_, buf, sizeof buf);
        if (n <= 0) break;
        buffered_.append(buf, static_cast<size_t>(n));
    }
    return buffered_;
}

void BackgroundProcess::Signal(int sig) {
    if (pid_ > 0 && status_ < 0) kill(pid_, sig);
}

int BackgroundProcess::Wait(int timeout_ms) {
    if (pid_ <= 0) return -1;
    if (status_ >= 0) return status_;
    long long deadline = NowMs() + timeout_ms;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = DecodeStatus(status);
            return status_;
        }
        if (NowMs() >= deadline) return -1;
        usleep(5000);
    }
}

std::string BackgroundProcess::Errors() {
    std::ifstream in(err_path_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

Simulator::Simulator(const std::vector<std::string>& options) {
    char tmpl[] = "/tmp/ordavo-sim-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
    dir_ = tmpl;
    std::vector<std::string> args = {"--pty", dir_ + "/printer"};
    args.insert(args.end(), options.begin(), options.end());
    process_ = std::make_unique<BackgroundProcess>(ProgramPath("ordavo-printer-sim"), args);
    path_ = process_->FirstLine(10000);
}

Simulator::~Simulator() {
    process_.reset();  // stops it; it removes its link
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

}  // namespace ordavo::test
