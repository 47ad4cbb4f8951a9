// The printer simulator driven over its pseudo-terminal with frames built here by hand.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/paths.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using ordavo::test::ProgramPath;
using ordavo::test::TempDir;

constexpr uint8_t ACK = 0x06, NAK = 0x15, ETX = 0x03;

// STX, NB, ESC or FS, escape, parameters, checksum.
Bytes Frame(const Bytes& escape, const std::string& params = {}, bool fs = true) {
    Bytes body{static_cast<uint8_t>(fs ? 0x1C : 0x1B)};
    body.insert(body.end(), escape.begin(), escape.end());
    body.insert(body.end(), params.begin(), params.end());
    const size_t nb = body.size() + 2;
    unsigned sum = 0;
    for (uint8_t b : body) sum += b;
    Bytes f;
    f.reserve(body.size() + 5);
    f.push_back(0x02);
    f.push_back(static_cast<uint8_t>(nb & 0xFF));
    f.push_back(static_cast<uint8_t>(nb >> 8));
    for (uint8_t b : body) f.push_back(b);
    f.push_back(static_cast<uint8_t>(sum & 0xFF));
    f.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    return f;
}

std::string Hex(const Bytes& b) {
    std::string s;
    char buf[4];
    for (uint8_t c : b) {
        snprintf(buf, sizeof buf, "%02X ", c);
        s += buf;
    }
    return s;
}

// Decimal digits of packed BCD bytes.
std::string Digits(const Bytes& b, size_t from, size_t count) {
    std::string s;
    for (size_t i = from; i < from + count && i < b.size(); ++i) {
        s += static_cast<char>('0' + (b[i] >> 4));
        s += static_cast<char>('0' + (b[i] & 15));
    }
    return s;
}

// The simulator as a child process; stopped (and killed if need be) when the object goes.
class Sim {
  public:
    explicit Sim(const TempDir& dir, std::vector<std::string> extra = {}, bool expect_start = true)
        : link_(dir.File("printer")), log_(dir.File("sim.log")) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        std::vector<std::string> args = {ProgramPath("ordavo-printer-sim"), "--pty", link_, "--verbose"};
        args.insert(args.end(), extra.begin(), extra.end());
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            const int err = open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (err >= 0) dup2(err, 2);
            close(out[0]);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
        if (expect_start) {
            first_line_ = ReadLine(10000);
            if (first_line_ != link_)
                throw std::runtime_error("simulator did not start: \"" + first_line_ + "\"");
        }
    }
    ~Sim() {
        Stop();
        if (out_ >= 0) close(out_);
    }

    const std::string& link() const { return link_; }
    pid_t pid() const { return pid_; }
    std::string Log() const {
        std::ifstream in(log_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool Alive() {
        if (pid_ <= 0) return false;
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            pid_ = -1;
            return false;
        }
        return true;
    }
    // Sends the signal and waits; the exit status, or -1 when it had to be killed.
    int Stop(int sig = SIGTERM) {
        if (pid_ <= 0) return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
        kill(pid_, sig);
        for (int i = 0; i < 500; ++i) {
            int status;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                status_ = status;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return -1;
    }
    std::string ReadLine(int timeout_ms) {
        std::string line;
        const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (Clock::now() < end) {
            struct pollfd p {
                out_, POLLIN, 0
            };
            if (poll(&p, 1, 50) <= 0) continue;
            char c;
            if (read(out_, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return line;
    }

  private:
    std::string link_, log_, first_line_;
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = 0;
};

// The program's side of the line, opened the way a serial port is.
class Port {
  public:
    explicit Port(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + strerror(errno));
        struct termios t {};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag |= CSTOPB;
        tcsetattr(fd_, TCSANOW, &t);
        tcflush(fd_, TCIOFLUSH);
    }
    ~Port() {
        if (fd_ >= 0) close(fd_);
    }
    void Write(const Bytes& b) { ASSERT_EQ(write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
    // Up to n bytes; stops when no byte came for `gap_ms`.
    Bytes Read(size_t n, int gap_ms = 2000) {
        Bytes out;
        while (out.size() < n) {
            struct pollfd p {
                fd_, POLLIN, 0
            };
            if (poll(&p, 1, gap_ms) <= 0) break;
            uint8_t buf[4096];
            const ssize_t got = read(fd_, buf, std::min(sizeof buf, n - out.size()));
            if (got <= 0) break;
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }
    // The status part, then bytes up to and including the terminator.
    Bytes ReadStatusFirst(size_t status, uint8_t terminator, int gap_ms = 2000) {
        Bytes out = Read(status, gap_ms);
        while (true) {
            Bytes b = Read(1, gap_ms);
            if (b.empty()) break;
            out.push_back(b[0]);
            if (b[0] == terminator) break;
        }
        return out;
    }
    Bytes Exchange(const Bytes& frame, size_t n) {
        Write(frame);
        return Read(n);
    }
    bool Quiet(int ms) { return Read(1, ms).empty(); }

  private:
    int fd_ = -1;
};

// Fixed answers with FS: ACK, data, ST1, ST2, ST3 low, ST3 high.
struct Status {
    uint8_t st1, st2;
    int st3;
};
Status StatusOf(const Bytes& answer) {
    const size_t n = answer.size();
    if (n < 5) return {0xFF, 0xFF, -1};
    return {answer[n - 4], answer[n - 3], answer[n - 4 + 2] | answer[n - 1] << 8};
}

std::string Padded(const std::string& s, size_t n) {
    std::string t = s;
    t.resize(n, ' ');
    return t;
}

std::string Item(const std::string& rate, const std::string& qty7, const std::string& price8) {
    return Padded("7591234000017", 13) + Padded("Caf\x82 molido", 29) + rate + qty7 + price8;
}

// Parameters of the clock command: date, time and the summer-time byte.
std::string ClockParams(const std::string& date, const std::string& time, char summer) {
    return date + time + summer;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(PrinterSim, AnswersFramesWithTheirLayout) {
    TempDir dir;
    Sim sim(dir);
    Port port(sim.link());

    // The frame of the reading "35 23" without extended return is 02 05 00 1B 23 17 55 00.
    const Bytes esc_frame = Frame({35, 23}, {}, false);
    ASSERT_EQ(Hex(esc_frame), "02 05 00 1B 23 17 55 00 ");
    Bytes a = port.Exchange(esc_frame, 9);
    ASSERT_EQ(a.size(), 9u) << Hex(a);
    EXPECT_EQ(a[0], ACK);
    const int day = std::stoi(Digits(a, 1, 1)), month = std::stoi(Digits(a, 2, 1));
    const int hour = std::stoi(Digits(a, 4, 1)), minute = std::stoi(Digits(a, 5, 1));
    EXPECT_TRUE(day >= 1 && day <= 31 && month >= 1 && month <= 12 && hour < 24 && minute < 60) << Hex(a);
    EXPECT_EQ(a[7], 0);
    EXPECT_EQ(a[8], 0);
    EXPECT_TRUE(port.Quiet(100));

    // With FS the status has ST3 after ST2.
    a = port.Exchange(Frame({35, 23}), 11);
    ASSERT_EQ(a.size(), 11u) << Hex(a);
    EXPECT_EQ(StatusOf(a).st3, 0);
    EXPECT_TRUE(port.Quiet(100));

    // A frame arriving in pieces, after line noise, is still one frame.
    const Bytes f = Frame({35, 6});
    port.Write({0x00, 0xFF, 0x41});
    port.Write(Bytes(f.begin(), f.begin() + 4));
    usleep(100000);
    port.Write(Bytes(f.begin() + 4, f.end()));
    a = port.Read(8);
    ASSERT_EQ(a.size(), 8u) << Hex(a);
    EXPECT_EQ(a[0], ACK);
    EXPECT_EQ(Digits(a, 1, 3), "000000");

    // Two frames in one write get two answers, in order.
    Bytes two = Frame({35, 9});
    const Bytes second = Frame({35, 16});
    two.insert(two.end(), second.begin(), second.end());
    port.Write(two);
    a = port.Read(7 + 7);
    ASSERT_EQ(a.size(), 14u) << Hex(a);
    EXPECT_EQ(Digits(a, 1, 2), "0000");
    EXPECT_EQ(a[7], ACK);
    EXPECT_EQ(std::string(a.begin() + 8, a.begin() + 10), "Bs");

    // Texts come in code page 850, padded to the field: the serial number of --serial.
    a = port.Exchange(Frame({35, 0}), 1 + 15 + 4);
    ASSERT_EQ(a.size(), 20u);
    EXPECT_EQ(std::string(a.begin() + 1, a.begin() + 16), Padded("VE0100000001", 15));
}

TEST(PrinterSim, RefusesBadFramesAndCarriesOn) {
    TempDir dir;
    Sim sim(dir);
    Port port(sim.link());

    Bytes bad = Frame({35, 23});
    bad[bad.size() - 2] ^= 0x01;
    EXPECT_EQ(port.Exchange(bad, 1), Bytes{NAK});

    // NB below 3 or beyond 4093 cannot be a frame.
    EXPECT_EQ(port.Exchange({0x02, 0x02, 0x00}, 1), Bytes{NAK});
    EXPECT_EQ(port.Exchange({0x02, 0x88, 0x13}, 1), Bytes{NAK});

    // A frame that stops half-way is refused once the line has been quiet.
    const Bytes f = Frame({35, 23});
    port.Write(Bytes(f.begin(), f.begin() + 5));
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(1), Bytes{NAK});
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));

    // The first byte after NB must be ESC or FS; with neither, the answer has no ST3.
    Bytes odd = Frame({35, 9});
    odd[3] = 0x1D;
    odd[odd.size() - 2] = static_cast<uint8_t>(odd[odd.size() - 2] + 1);  // checksum of 1D instead of 1C
    Bytes a = port.Exchange(odd, 5);
    ASSERT_EQ(a.size(), 5u) << Hex(a);
    EXPECT_EQ(a[0], ACK);
    EXPECT_EQ(Bytes(a.begin() + 1, a.begin() + 3), Bytes(2, 0)) << "zero data: the reading was not done";
    EXPECT_EQ(a[3] & 0x08, 0x08) << "PRIMERO DATO DEL CMD NO FOE ESC";

    // Unknown command: COMANDO INEXISTENTE and ST3 1, no data.
    a = port.Exchange(Frame({200, 7}), 5);
    ASSERT_EQ(a.size(), 5u) << Hex(a);
    EXPECT_EQ(a[1], 0x04);
    EXPECT_EQ(StatusOf(a).st3, 1);

    // Wrong parameter count keeps the answer length: 6 zero data bytes, ST1 bit 0, ST3 3.
    a = port.Exchange(Frame({35, 23}, "X"), 11);
    ASSERT_EQ(a.size(), 11u) << Hex(a);
    EXPECT_EQ(Bytes(a.begin() + 1, a.begin() + 7), Bytes(6, 0));
    EXPECT_EQ(a[7], 0x01);
    EXPECT_EQ(StatusOf(a).st3, 3);

    // Letters in a digits field: TIPO DE PARÂMETRO INVÁLIDO.
    a = port.Exchange(Frame({31}, "0A1"), 5);
    EXPECT_EQ(a[2] & 0x80, 0x80) << Hex(a);
    EXPECT_EQ(StatusOf(a).st3, 4);

    // Still answering.
    a = port.Exchange(Frame({19}), 5);
    EXPECT_EQ(a, (Bytes{ACK, 0, 0, 0, 0}));
}

TEST(PrinterSim, RunsAReceiptAndCountsDocuments) {
    TempDir dir;
    Sim sim(dir);
    auto cmd = [&](const Bytes& escape, const std::string& params = {}, size_t data = 0) {
        Port port(sim.link());  // opened and closed for every command, as the program does
        Bytes a = port.Exchange(Frame(escape, params), 1 + data + 4);
        EXPECT_EQ(a.size(), 1 + data + 4) << Hex(a);
        return a;
    };
    auto st3 = [&](const Bytes& escape, const std::string& params = {}) {
        return StatusOf(cmd(escape, params)).st3;
    };
    auto coo = [&] { return std::stoi(Digits(cmd({35, 6}, {}, 3), 1, 3)); };

    const int coo0 = coo();
    Bytes a = cmd({9}, Item("01", "0002000", "00001000"));
    EXPECT_EQ(a[2], 0x01) << "COMANDO NO EJECUTADO";
    EXPECT_EQ(StatusOf(a).st3, 8) << "CF NO ABIERTO";
    EXPECT_EQ(st3({72}, "01000000001000"), 8);

    a = cmd({0});
    EXPECT_EQ(StatusOf(a).st3, 0);
    EXPECT_EQ(a[1] & 0x02, 0x02) << "CUPOM ABIERTO";
    EXPECT_EQ(coo(), coo0 + 1);
    EXPECT_EQ(st3({0}), 7) << "CF ABIERTO";
    EXPECT_EQ(cmd({35, 17}, {}, 1)[1] & 0x01, 0x01);

    EXPECT_EQ(st3({9}, Item("01", "0002000", "00001000")), 0);
    a = cmd({9}, Item("09", "0001000", "00000100"));
    EXPECT_EQ(StatusOf(a).st3, 14);
    EXPECT_EQ(a[2], 0x11) << "TASA NO PROGRAMADA and COMANDO NO EJECUTADO";
    EXPECT_EQ(st3({9}, Item("01", "0000000", "00000100")), 85);
    EXPECT_EQ(Digits(cmd({29}, {}, 7), 1, 7), "00000000002000");

    EXPECT_EQ(st3({72}, "01000000001000"), 23) << "CUPÓN NO TOTALIZADO";
    EXPECT_EQ(st3({34}), 23);
    EXPECT_EQ(st3({32}, "D$00000500"), 0);
    EXPECT_EQ(Digits(cmd({29}, {}, 7), 1, 7), "00000000001500");
    EXPECT_EQ(st3({9}, Item("01", "0001000", "00000100")), 64) << "FP ABIERTA";
    EXPECT_EQ(st3({72}, "07000000001000"), 20) << "FORMA DE PAGO NO PROGRAMADA";
    EXPECT_EQ(st3({72}, "01000000001000"), 0);
    EXPECT_EQ(st3({34}), 38) << "paid less than the total";
    EXPECT_EQ(st3({72}, "02000000000500"), 0);
    a = cmd({34}, "Gracias");
    EXPECT_EQ(StatusOf(a).st3, 0);
    EXPECT_EQ(a[1] & 0x02, 0) << "no receipt open any more";
    EXPECT_EQ(coo(), coo0 + 1);
    EXPECT_EQ(Digits(cmd({35, 3}, {}, 9), 1, 9), "000000000000001500");

    // The last receipt can be cancelled once, by a document of its own.
    EXPECT_EQ(st3({14}), 0);
    EXPECT_EQ(coo(), coo0 + 2);
    a = cmd({14});
    EXPECT_EQ(StatusOf(a).st3, 27);
    EXPECT_EQ(a[2], 0x05) << "ANULACIÓN NO PERMITIDA and COMANDO NO EJECUTADO";
    EXPECT_EQ(Digits(cmd({35, 4}, {}, 7), 1, 7), "00000000001500");

    // Reading X and reduction Z are documents; Z counts in the fiscal memory and clears the day.
    EXPECT_EQ(st3({6}), 0);
    EXPECT_EQ(coo(), coo0 + 3);
    EXPECT_EQ(st3({5}), 0);
    EXPECT_EQ(coo(), coo0 + 4);
    EXPECT_EQ(Digits(cmd({35, 9}, {}, 2), 1, 2), "0001");
    EXPECT_EQ(Digits(cmd({35, 4}, {}, 7), 1, 7), "00000000000000");
    EXPECT_EQ(cmd({46}, {}, 6)[1], 8) << "cells written: 4 initial, serial, 1 reduction, 2 more";

    // A management report in between: non-fiscal counter, lines only while it is open.
    EXPECT_EQ(st3({21}, "Hola\n"), 101);
    EXPECT_EQ(st3({20}, "01"), 0);
    EXPECT_EQ(st3({21}, "Hola\n"), 0);
    EXPECT_EQ(st3({0}), 48) << "NO FISCAL ABIERTO";
    EXPECT_EQ(st3({22}), 0);
    EXPECT_EQ(Digits(cmd({35, 7}, {}, 3), 1, 3), "000001");
}

TEST(PrinterSim, ProgrammingNeedsTechnicalIntervention) {
    TempDir dir;
    const std::string control = dir.File("control");
    Sim sim(dir, {"--control", control});
    Port port(sim.link());
    auto st3 = [&](const Bytes& escape, const std::string& params, size_t data = 0) {
        return StatusOf(port.Exchange(Frame(escape, params), 1 + data + 4)).st3;
    };

    EXPECT_EQ(st3({17},
                  "002"
                  "0003"),
              59)
        << "NO EN INTERVENCIÓN";
    WriteFile(control, "intervention 1\n");
    EXPECT_EQ(st3({17},
                  "002"
                  "0003"),
              0);
    EXPECT_EQ(Digits(port.Exchange(Frame({35, 14}), 7), 1, 2), "0002");
    EXPECT_EQ(st3({0}, ""), 60) << "EN INTERVENCIÓN";
    EXPECT_EQ(st3({5}, ""), 88);

    // Rates: count byte and 16 four-digit rates; the reading gives them back.
    std::string rates = std::string(1, '\x02') + "1200" + "0900" + std::string(56, '0');
    EXPECT_EQ(st3({36}, rates), 0);
    Bytes a = port.Exchange(Frame({26}), 1 + 33 + 4);
    ASSERT_EQ(a.size(), 38u);
    EXPECT_EQ(a[1], 2);
    EXPECT_EQ(Digits(a, 2, 4), "12000900");
    EXPECT_EQ(st3({36}, std::string(1, '\x11') + std::string(64, '1')), 5);
    EXPECT_EQ(st3({36}, std::string(1, '\x02') + "1200" + std::string(60, '0')), 195);

    // Header with formatting sequences, read back as it was sent.
    const std::string header =
        "\x1B"
        "EDEMO\x1B"
        "F\n";
    EXPECT_EQ(st3({3}, header), 0);
    a = port.Exchange(Frame({35, 13}), 1 + 186 + 4);
    EXPECT_EQ(std::string(a.begin() + 1, a.begin() + 1 + header.size()), header);
    EXPECT_EQ(a[1 + header.size()], 0);
    EXPECT_EQ(st3({3},
                  "\x1B"
                  "Z\n"),
              83);
    EXPECT_EQ(st3({3}, "SIN FIN"), 15);

    // The newer identity layout carries the password.
    const std::string id =
        Padded("12.345.678/0001-90", 20) + Padded("IE", 20) + Padded("IM", 20) + Padded("", 10) + "X" + "SP";
    EXPECT_EQ(st3({4}, id + std::string(10, '\xC3')), 0);
    EXPECT_EQ(st3({4}, id + std::string(10, '\x00')), 158);
    a = port.Exchange(Frame({35, 42}), 1 + 20 + 4);
    EXPECT_EQ(std::string(a.begin() + 1, a.begin() + 21), Padded("12.345.678/0001-90", 20));

    // Option switches: odd or even as each one says.
    EXPECT_EQ(st3({84}, "0"), 0);
    a = port.Exchange(Frame({35, 26}), 1 + 5 + 4);
    EXPECT_EQ(a[4], 0x01) << "Z automática";
    EXPECT_EQ(st3({80, 60}, std::string("\x03\x00", 2)), 193);
    // Payment methods are not intervention-only; the answer names the slot taken.
    a = port.Exchange(Frame({71},
                            "S"
                            "Vale"),
                      1 + 3 + 4);
    EXPECT_EQ(std::string(a.begin() + 1, a.begin() + 4), "005");
    a = port.Exchange(Frame({71},
                            "N"
                            "vale"),
                      1 + 3 + 4);
    EXPECT_EQ(std::string(a.begin() + 1, a.begin() + 4), "255");
    EXPECT_EQ(StatusOf(a).st3, 155) << "same description";
}

TEST(PrinterSim, ClockRules) {
    TempDir dir;
    Sim sim(dir);
    Port port(sim.link());
    auto st3 = [&](const Bytes& escape, const std::string& params) {
        return StatusOf(port.Exchange(Frame(escape, params), 5)).st3;
    };
    // 31 April does not exist; neither does 25:00.
    EXPECT_EQ(st3({2}, ClockParams("310430", "080000", 0)), 100);
    EXPECT_EQ(st3({2}, ClockParams("300430", "250000", 0)), 100);
    EXPECT_EQ(st3({2}, ClockParams("300430", "080000", 7)), 4);
    // The third byte may come as a number or as a digit (the date step sends "0" as a byte 0x30).
    EXPECT_EQ(st3({2}, ClockParams("150330", "080000", '0')), 0);
    Bytes a = port.Exchange(Frame({35, 23}), 11);
    EXPECT_EQ(Digits(a, 1, 3).substr(0, 6), "150330");
    EXPECT_EQ(Digits(a, 4, 1), "08");
    EXPECT_EQ(st3({2}, ClockParams("150330", "090000", 1)), 0);
    EXPECT_EQ(port.Exchange(Frame({35, 17}), 6)[1] & 0x04, 0x04) << "Horário de verano";
    // After a sale the day is fixed until the reduction, and the clock cannot go back.
    EXPECT_EQ(st3({0}, ""), 0);
    EXPECT_EQ(st3({2}, ClockParams("160330", "090000", 0)), 7);
    EXPECT_EQ(st3({14}, ""), 0);
    EXPECT_EQ(st3({2}, ClockParams("160330", "090000", 0)), 62);
    EXPECT_EQ(st3({2}, ClockParams("140330", "090000", 0)), 112);
}

TEST(PrinterSim, StatusFirstAnswers) {
    TempDir dir;
    Sim sim(dir);
    Port port(sim.link());

    // Reading X through the port: status first, text in code page 850, ETX at the end.
    port.Write(Frame({69}, {}, false));
    Bytes a = port.ReadStatusFirst(3, ETX);
    ASSERT_GT(a.size(), 4u);
    EXPECT_EQ(Bytes(a.begin(), a.begin() + 3), (Bytes{ACK, 0, 0}));
    EXPECT_EQ(a.back(), ETX);
    std::string text(a.begin() + 3, a.end() - 1);
    EXPECT_NE(text.find("LECTURA X"), std::string::npos);
    EXPECT_NE(text.find("TOTAL DEL D\xD6"
                        "A"),
              std::string::npos)
        << "Í in code page 850";
    EXPECT_EQ(text.find('\x03'), std::string::npos);
    EXPECT_TRUE(port.Quiet(100));

    port.Write(Frame({69}));
    a = port.ReadStatusFirst(5, ETX);
    EXPECT_EQ(Bytes(a.begin(), a.begin() + 5), (Bytes{ACK, 0, 0, 0, 0}));

    // Fiscal memory reading: "R" or "r" at frame position 17 sends it back, "I" prints it.
    const Bytes full = Frame({8},
                             "000001"
                             "000099"
                             "R");
    ASSERT_EQ(full[17], 'R');
    port.Write(full);
    a = port.ReadStatusFirst(5, ETX);
    EXPECT_NE(std::string(a.begin(), a.end()).find("LECTURA DE MEMORIA FISCAL"), std::string::npos);
    port.Write(Frame({8},
                     "010120"
                     "311299"
                     "r"));
    a = port.ReadStatusFirst(5, ETX);
    EXPECT_NE(std::string(a.begin(), a.end()).find("SIMPLIFICADA"), std::string::npos);
    a = port.Exchange(Frame({8},
                            "000001"
                            "000099"
                            "I"),
                      5);
    EXPECT_EQ(a, (Bytes{ACK, 0, 0, 0, 0}));
    port.Write(Frame({8},
                     "000009"
                     "000001"
                     "R"));
    a = port.ReadStatusFirst(5, ETX);
    EXPECT_EQ(a, (Bytes{ACK, 0, 0x01, 55, 0, ETX})) << "CRZ FINAL INVÁLIDO, empty text";

    // NUL-terminated (sent with ESC): the copy of the last document, the printed reading above.
    port.Write(Frame({62, 95, 90}, {}, false));
    a = port.ReadStatusFirst(3, 0x00);
    ASSERT_GT(a.size(), 4u);
    EXPECT_EQ(a.back(), 0x00);
    EXPECT_NE(std::string(a.begin(), a.end() - 1).find("LECTURA DE MEMORIA FISCAL"), std::string::npos);

    // Audit memory through the port lists the documents of the day.
    const Bytes date = port.Exchange(Frame({35, 23}), 11);
    const std::string today = Digits(date, 1, 3);
    port.Write(Frame({62, 95, 98}, today + today));
    a = port.ReadStatusFirst(5, ETX);
    EXPECT_NE(std::string(a.begin(), a.end()).find("DOCUMENTOS"), std::string::npos) << Hex(a);
    // The address search finds the same day ("04").
    a = port.Exchange(Frame({62, 95, 97}, "D" + today + today), 1 + 9 + 4);
    ASSERT_EQ(a.size(), 14u);
    EXPECT_EQ(a[1], 0x04);
    EXPECT_LT(std::stol(Digits(a, 2, 4)), std::stol(Digits(a, 6, 4)));
}

TEST(PrinterSim, GprsAnswers) {
    TempDir dir;
    const std::string control = dir.File("control");
    Sim sim(dir, {"--control", control});
    Port port(sim.link());

    EXPECT_EQ(port.Exchange(Frame({90, 0}, {}, false), 5), (Bytes{ACK, 0, 0, 0, 0}));
    EXPECT_EQ(port.Exchange(Frame({90, 1}), 8), (Bytes{ACK, 1, 23, 0, 0, 0, 0, 0}));
    Bytes a = port.Exchange(Frame({90, 2}), 1 + 2 + 8 + 4);
    EXPECT_EQ(a.size(), 15u);
    EXPECT_EQ(a[2], 8);
    port.Write(Frame({90, 3}));
    a = port.Read(1 + 2 + 10 + 1 + 4);
    EXPECT_EQ(Hex(a), "06 03 03 31 30 2E 36 34 2E 31 32 2E 37 03 00 00 00 00 ");
    EXPECT_EQ(port.Exchange(Frame({90, 5}, {}, false), 4), (Bytes{ACK, 5, 0, 0}));

    // During a transmission the module is busy: kind 4, a 16-bit value, text, NUL, no status.
    EXPECT_EQ(port.Exchange(Frame({90, 4}), 7), (Bytes{ACK, 0, 0, 0, 0, 0, 0}));
    port.Write(Frame({90, 0}));
    a = port.Read(3 + 14 + 1 + 1);
    ASSERT_GE(a.size(), 4u);
    EXPECT_EQ(a[1], 4);
    EXPECT_EQ(a.back(), 0x00);
    EXPECT_TRUE(port.Quiet(100));
    EXPECT_EQ(port.Exchange(Frame({90, 5}), 6), (Bytes{ACK, 5, 0, 0, 0, 0}));

    // Forced kinds, including one that does not exist.
    WriteFile(control, "gprs-kind 7\n");
    EXPECT_EQ(port.Exchange(Frame({90, 1}), 6), (Bytes{ACK, 7, 0, 0, 0, 0}));
    WriteFile(control, "gprs-kind 2\n");
    EXPECT_EQ(port.Exchange(Frame({90, 1}, {}, false), 8), (Bytes{ACK, 2, 3, 'a', 'b', 'c', 0, 0}));
    WriteFile(control, "gprs-kind 3\n");
    EXPECT_EQ(port.Exchange(Frame({90, 1}, {}, false), 8), (Bytes{ACK, 3, '*', 'O', 'K', '*', 0, 0}));
    WriteFile(control, "gprs-kind 4\n");
    EXPECT_EQ(port.Exchange(Frame({90, 1}), 9), (Bytes{ACK, 4, 0x3C, 0, 'B', 'U', 'S', 'Y', 0}));
    WriteFile(control, "gprs-kind 0\n");
    EXPECT_EQ(port.Exchange(Frame({90, 6}, "\n"), 7), (Bytes{ACK, 0, 1, 0, 0x80, 0x04, 0})) << "blank APN";
    WriteFile(control, "normal\n");
    EXPECT_EQ(port.Exchange(Frame({90, 6}, "apn.demo\n"), 7), (Bytes{ACK, 0, 0, 0, 0, 0, 0}));
}

TEST(PrinterSim, MisbehavesOnRequest) {
    TempDir dir;
    const std::string control = dir.File("control");
    Sim sim(dir, {"--control", control});
    Port port(sim.link());
    const Bytes clock = Frame({35, 23});
    const Bytes normal = port.Exchange(clock, 11);
    ASSERT_EQ(normal.size(), 11u);

    WriteFile(control, "nak 1\n");
    EXPECT_EQ(port.Exchange(clock, 1), Bytes{NAK});
    EXPECT_TRUE(port.Quiet(100));

    WriteFile(control, "normal\nsilent-after 3\n");
    Bytes a = port.Exchange(clock, 3);
    EXPECT_EQ(Bytes(a.begin(), a.end()), Bytes(normal.begin(), normal.begin() + 3));
    EXPECT_TRUE(port.Quiet(200));

    WriteFile(control, "garbage 1\n");
    a = port.Exchange(clock, 11);
    EXPECT_EQ(a.size(), 11u);
    EXPECT_NE(a[0], ACK);

    WriteFile(control, "slow 40\n");
    auto start = Clock::now();
    a = port.Exchange(clock, 11);
    EXPECT_EQ(a[0], ACK);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(11 * 40 - 20));

    // Status-first answers without their end.
    WriteFile(control, "no-etx 1\n");
    port.Write(Frame({69}));
    a = port.ReadStatusFirst(5, ETX, 300);
    EXPECT_NE(a.back(), ETX);
    EXPECT_GT(a.size(), 100u);

    // Paced: 623 bytes of the payment methods at 9600 baud 8N2 take at least 0.71 s.
    WriteFile(control, "pace 1\n");
    start = Clock::now();
    a = port.Exchange(Frame({35, 30}), 1 + 620 + 4);
    const auto took = Clock::now() - start;
    EXPECT_EQ(a.size(), 625u);
    EXPECT_GE(took, std::chrono::microseconds(static_cast<int64_t>(625 * 1145.8 * 0.95)));

    // A new frame during a slow answer ends the old answer.
    WriteFile(control, "slow 100\n");
    port.Write(Frame({35, 30}));
    const Bytes started = port.Read(3, 1000);
    EXPECT_EQ(started.size(), 3u);
    WriteFile(control, "normal\n");
    port.Write(Frame({19}));
    a = port.Read(64, 400);
    // At most a byte of the old answer was on its way; then the new answer, and nothing more.
    ASSERT_GE(a.size(), 5u);
    EXPECT_LE(a.size(), 6u) << Hex(a);
    EXPECT_EQ(Bytes(a.end() - 5, a.end()), (Bytes{ACK, 0, 0, 0, 0})) << Hex(a);

    // Printer conditions: paper out refuses printing with its code and reports it in ST1.
    WriteFile(control, "paper-out 1\n");
    a = port.Exchange(Frame({0}), 5);
    EXPECT_EQ(a[1] & 0x80, 0x80);
    EXPECT_EQ(StatusOf(a).st3, 11);
    WriteFile(control, "paper-out 0\npaper-low 1\nclock-error 1\n");
    a = port.Exchange(Frame({19}), 5);
    EXPECT_EQ(a[1], 0x60) << "POCO PAPEL and ERROR EN EL RELOJ";
    a = port.Exchange(Frame({80, 66}, "\xA5\x5A"), 5);
    EXPECT_EQ(a[1], 0x40) << "the unlock key clears the clock error";
    WriteFile(control, "bogus line\n");
    EXPECT_EQ(port.Exchange(clock, 11).size(), 11u);
    EXPECT_NE(sim.Log().find("not understood: bogus line"), std::string::npos);
}

TEST(PrinterSim, AnswersCommandsItOnlyKnowsFromACatalog) {
    TempDir dir;
    WriteFile(dir.File("extra.xml"),
              "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n<c>\n"
              "  <cmd><tipo>Otros</tipo><titulo>Fecha y modelo</titulo><escape>97 1</escape>"
              "<tamanho_retorno>8</tamanho_retorno>"
              "<parametro><tamanho>2</tamanho><formato>INTEGER</formato></parametro>"
              "<retorno><titulo>Fecha</titulo><tamanho>3</tamanho><formato>BCD_DATA</formato></retorno>"
              "<retorno><titulo>MODELO</titulo><tamanho>5</tamanho><formato>ASCII</formato></retorno></cmd>\n"
              "  <cmd><tipo>Otros</tipo><titulo>Informe</titulo><escape>97 2</escape>"
              "<tamanho_retorno>-1</tamanho_retorno></cmd>\n"
              "  <cmd><tipo>GPRS</tipo><titulo>Ping</titulo><escape>97 3</escape></cmd>\n"
              "  <cmd><tipo>Otros</tipo><titulo>Absurdo</titulo><escape>97 4</escape>"
              "<tamanho_retorno>900000000</tamanho_retorno></cmd>\n"
              "</c>\n");
    Sim sim(dir, {"--catalog", dir.File("extra.xml")});
    Port port(sim.link());
    Bytes a = port.Exchange(Frame({97, 1}, "12"), 1 + 8 + 4);
    ASSERT_EQ(a.size(), 13u) << Hex(a);
    EXPECT_EQ(std::string(a.begin() + 4, a.begin() + 9), "MODEL") << "texts filled with the field title";
    EXPECT_EQ(StatusOf(a).st3, 0);
    a = port.Exchange(Frame({97, 1}, "1"), 13);
    EXPECT_EQ(StatusOf(a).st3, 3) << "the catalog's layout is checked too";
    port.Write(Frame({97, 2}));
    a = port.ReadStatusFirst(5, ETX);
    EXPECT_NE(std::string(a.begin(), a.end()).find("Informe"), std::string::npos);
    EXPECT_EQ(port.Exchange(Frame({97, 3}), 7), (Bytes{ACK, 0, 0, 0, 0, 0, 0}));
    // A size no printer has leaves the command out: it is unknown.
    EXPECT_EQ(StatusOf(port.Exchange(Frame({97, 4}), 5)).st3, 1);
    // The built-in commands stay.
    EXPECT_EQ(port.Exchange(Frame({19}), 5), (Bytes{ACK, 0, 0, 0, 0}));
    EXPECT_NE(sim.Log().find("command left out"), std::string::npos);
}

TEST(PrinterSim, KeepsAnsweringWhileThePortIsOpenedAndClosed) {
    TempDir dir;
    Sim sim(dir);
    for (int i = 0; i < 30; ++i) {
        Port port(sim.link());
        const Bytes a = port.Exchange(Frame({35, 6}), 8);
        ASSERT_EQ(a.size(), 8u) << "round " << i;
        ASSERT_EQ(a[0], ACK);
    }
    // An answer the program did not wait for is still in the line; a purge at open drops it.
    {
        Port port(sim.link());
        port.Write(Frame({35, 30}));
    }
    usleep(300000);
    Port port(sim.link());
    EXPECT_EQ(port.Exchange(Frame({19}), 5), (Bytes{ACK, 0, 0, 0, 0}));
    EXPECT_TRUE(port.Quiet(100));
}

TEST(PrinterSim, SavesAndLoadsItsState) {
    TempDir dir;
    const std::string state = dir.File("printer.state");
    {
        Sim sim(dir, {"--state", state, "--serial", "VE9999"});
        Port port(sim.link());
        port.Exchange(Frame({0}), 5);
        port.Exchange(Frame({9}, Item("02", "0001500", "00000200")), 5);
        EXPECT_TRUE(std::filesystem::exists(state)) << "saved after every command";
        EXPECT_EQ(sim.Stop(), 0);
    }
    {
        // The open receipt, its item and the serial number survive a restart.
        Sim sim(dir, {"--state", state});
        Port port(sim.link());
        Bytes a = port.Exchange(Frame({29}), 12);
        EXPECT_EQ(Digits(a, 1, 7), "00000000000300");
        a = port.Exchange(Frame({35, 0}), 20);
        EXPECT_EQ(std::string(a.begin() + 1, a.begin() + 16), Padded("VE9999", 15));
        EXPECT_EQ(a[16] & 0x02, 0x02);
    }
    // A damaged state file stops the simulator with a message and stays as it was.
    std::string text;
    {
        std::ifstream in(state);
        std::stringstream ss;
        ss << in.rdbuf();
        text = ss.str();
    }
    const std::string broken = text + "coo twelve\n";
    WriteFile(state, broken);
    Sim sim(dir, {"--state", state}, false);
    for (int i = 0; i < 300 && sim.Alive(); ++i) usleep(10000);
    EXPECT_EQ(sim.Stop(), 65);
    EXPECT_NE(sim.Log().find("bad value for \"coo\""), std::string::npos) << sim.Log();
    std::ifstream in(state);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), broken);
}

TEST(PrinterSim, SurvivesRandomFrames) {
    TempDir dir;
    Sim sim(dir);
    Port port(sim.link());
    std::atomic<bool> done{false};
    std::atomic<size_t> received{0};
    std::thread reader([&] {
        Port drain(sim.link());
        while (!done) received += drain.Read(4096, 50).size();
    });
    std::mt19937 rng(20240611);
    const std::vector<int> firsts = {0,  2,  3,  4,  5,  6,  8,  9,  14, 16, 17,  19, 20, 21, 22, 25,
                                     26, 29, 30, 31, 32, 33, 34, 36, 38, 40, 45,  46, 47, 49, 56, 57,
                                     58, 60, 64, 66, 68, 70, 71, 72, 75, 84, 123, 35, 62, 80, 90, 255};
    const std::string alphabet = "0123456789012345678901234567890123456789 ABCDRr%$\n\x1B\x03";
    for (int i = 0; i < 3000; ++i) {
        Bytes escape{static_cast<uint8_t>(firsts[rng() % firsts.size()])};
        if (escape[0] == 35 || escape[0] == 80 || escape[0] == 90)
            escape.push_back(static_cast<uint8_t>(rng() % 256));
        if (escape[0] == 62) escape.insert(escape.end(), {95, static_cast<uint8_t>(90 + rng() % 13)});
        std::string params(rng() % 90, ' ');
        for (char& c : params)
            c = rng() % 4 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng() % 256);
        Bytes f = Frame(escape, params, rng() % 2);
        if (rng() % 10 == 0) f[rng() % f.size()] ^= static_cast<uint8_t>(1 + rng() % 255);  // broken frame
        port.Write(f);
        if (i % 50 == 0) usleep(2000);
    }
    usleep(300000);
    done = true;
    reader.join();
    EXPECT_GT(received.load(), 3000u);
    ASSERT_TRUE(sim.Alive());
    // Frames are answered in order, so the last answer is the one to this reading.
    port.Write(Frame({35, 6}));
    const Bytes tail = port.Read(1 << 20, 500);
    ASSERT_GE(tail.size(), 8u);
    EXPECT_EQ(tail[tail.size() - 8], ACK) << Hex(Bytes(tail.end() - 8, tail.end()));
}

TEST(PrinterSim, StartAndStop) {
    TempDir dir;
    {
        Sim sim(dir);
        EXPECT_TRUE(std::filesystem::is_symlink(sim.link()));
        EXPECT_EQ(sim.Stop(SIGINT), 0);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sim.link())));
    }
    {
        // A stale link is replaced.
        std::filesystem::create_symlink("/nonexistent", dir.File("printer"));
        Sim sim(dir);
        EXPECT_NE(std::filesystem::read_symlink(sim.link()).string(), "/nonexistent");
        EXPECT_EQ(sim.Stop(), 0);
    }
    // A regular file in the way is left alone.
    WriteFile(dir.File("printer"), "keep me");
    Sim blocked(dir, {}, false);
    for (int i = 0; i < 300 && blocked.Alive(); ++i) usleep(10000);
    EXPECT_EQ(blocked.Stop(), 1);
    std::ifstream in(dir.File("printer"));
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");

    auto run = [&](std::vector<std::string> args) {
        std::string cmd = ProgramPath("ordavo-printer-sim");
        for (const std::string& a : args) cmd += " '" + a + "'";
        return WEXITSTATUS(std::system((cmd + " >/dev/null 2>&1").c_str()));
    };
    EXPECT_EQ(run({"--pty"}), 64);
    EXPECT_EQ(run({"--slow", "fast", "--pty", dir.File("x")}), 64);
    EXPECT_EQ(run({"--bogus"}), 64);
    WriteFile(dir.File("bad.xml"), "<cmd><titulo>");
    EXPECT_EQ(run({"--check-catalogs", "--catalog", dir.File("bad.xml")}), 66);
    EXPECT_EQ(run({"--check-catalogs"}), 0) << "the sample catalogs agree with the simulator";
}

// ---------------------------------------------------------------- the sample catalogs

struct CatalogEntry {
    std::string file, tipo, titulo, escape;
    int tamanho_retorno = 0;
    std::vector<std::pair<std::string, int>> params;  // formato, tamanho (inherited)
    std::vector<std::string> param_values;
    std::vector<std::string> returns;
};

std::string Child(xmlNode* n, const char* name) {
    for (xmlNode* c = n->children; c; c = c->next) {
        if (c->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(c->name), name) == 0) {
            xmlChar* t = xmlNodeGetContent(c);
            std::string s(reinterpret_cast<const char*>(t));
            xmlFree(t);
            return s;
        }
    }
    return "\x01";  // absent
}

std::vector<CatalogEntry> LoadCatalogs(std::vector<std::string>* raw_files = nullptr) {
    std::vector<CatalogEntry> out;
    for (const char* name : {"comandos_vn.xml", "comandos_cl.xml", "comandos_lot.xml", "comandos_rd.xml",
                             "XML/comandos_pa.xml", "comandos.xml"}) {
        const std::string path = ordavo::test::CatalogDir() + "/" + name;
        if (raw_files) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            raw_files->push_back(ss.str());
        }
        xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
        EXPECT_NE(doc, nullptr) << path;
        if (!doc) continue;
        std::vector<xmlNode*> cmds;
        for (xmlNode* n = xmlDocGetRootElement(doc)->children; n; n = n->next)
            if (n->type == XML_ELEMENT_NODE &&
                std::strcmp(reinterpret_cast<const char*>(n->name), "cmd") == 0)
                cmds.push_back(n);
        for (xmlNode* c : cmds) {
            CatalogEntry e;
            e.file = name;
            e.tipo = Child(c, "tipo");
            e.titulo = Child(c, "titulo");
            e.escape = Child(c, "escape");
            e.tamanho_retorno = std::atoi(Child(c, "tamanho_retorno").c_str());
            std::string formato, tamanho = "0";
            for (xmlNode* p = c->children; p; p = p->next) {
                if (p->type != XML_ELEMENT_NODE) continue;
                const std::string n = reinterpret_cast<const char*>(p->name);
                if (n != "parametro" && n != "retorno") continue;
                if (Child(p, "formato") != "\x01") formato = Child(p, "formato");
                if (Child(p, "tamanho") != "\x01") tamanho = Child(p, "tamanho");
                if (n == "parametro") {
                    e.params.emplace_back(formato, std::atoi(tamanho.c_str()));
                    const std::string v = Child(p, "valor");
                    e.param_values.push_back(v == "\x01" ? std::string() : v);
                } else {
                    e.returns.push_back(formato);
                }
            }
            out.push_back(e);
        }
        xmlFreeDoc(doc);
    }
    return out;
}

TEST(SampleCatalogs, CoverTheVocabularyAndTheCommandsSentInCode) {
    std::vector<std::string> raw;
    const std::vector<CatalogEntry> all = LoadCatalogs(&raw);
    ASSERT_EQ(raw.size(), 6u);
    for (const std::string& r : raw) {
        EXPECT_EQ(r.rfind("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n", 0), 0u);
        // Accented letters are single Windows-1252 bytes, not UTF-8 sequences.
        bool accented = false;
        for (size_t i = 0; i + 1 < r.size(); ++i) {
            const auto b = static_cast<uint8_t>(r[i]), next = static_cast<uint8_t>(r[i + 1]);
            if (b >= 0xC2 && b <= 0xC3 && next >= 0x80 && next <= 0xBF)
                ADD_FAILURE() << "UTF-8 at byte " << i;
            accented = accented || b >= 0xC0;
        }
        EXPECT_TRUE(accented);
        EXPECT_NE(r.find("\n        <titulo>"), std::string::npos) << "indented";
    }

    const std::set<std::string> param_types = {"STRING",
                                               "BIG_STRING",
                                               "RANDOM_STRING",
                                               "STRING_VAR_SIZE",
                                               "BIG_STRING_VAR_SIZE",
                                               "STRING_VAR_SIZE_WITHOUT_CR",
                                               "BILHETE_PASSAGEM",
                                               "LEIT_DADOS_MEM_FISCAL",
                                               "DISCOUNT",
                                               "CLICHE",
                                               "INTEGER",
                                               "FINANCE",
                                               "FINANCE_3",
                                               "PERCENTAGE",
                                               "RANDOM_NUMBER",
                                               "BCD_INTEGER",
                                               "BINARIO",
                                               "DATA",
                                               "DATA_2_2_4",
                                               "HORA",
                                               "FECHA_CUPOM",
                                               "AC_OU_DESC_ITEM",
                                               "AC_OU_DESC_SUB",
                                               "DESCR_FORMA_PAGAMENTO",
                                               "DESCR_FORMA_PAGAMENTO_MP_20",
                                               "IMPR_FITA_DETALHE",
                                               "LEIT_MEM_FISCAL",
                                               "CHEQUE_POS",
                                               "DIG_HEX",
                                               "DIG_HEX_NOT_EDITABLE",
                                               "CAR_GRAF_AUTENTICACAO",
                                               "NOT_EDITABLE",
                                               "TROCA_SIT_TRIB",
                                               "CUPOM_OU_BILHETE_CONV_156",
                                               "VINC_ISS",
                                               "OPTIONS",
                                               "STRING_VAR_SIZE_LINE",
                                               "INFORME_TRANSACIONES",
                                               "INFORME_TRANSACIONES_SERIAL"};
    const std::set<std::string> return_types = {"ASCII",
                                                "INTEGER",
                                                "BCD_INTEGER",
                                                "BCD_PERCENTAGE",
                                                "BCD_FINANCE",
                                                "BCD_DATA",
                                                "BCD_HORA",
                                                "BCD_FLAG_PAYMENT_MODE",
                                                "STATUS_PAPEL",
                                                "ASCII_FLAGS_FISCAIS",
                                                "ASCII_FLAGS_FISCAIS_II",
                                                "ASCII_FLAGS_FISCAIS_III",
                                                "FLAG_SENSORES",
                                                "FLAG_CHEQUE",
                                                "ASCII_FLAG_VINC_ISS",
                                                "BCD_FLAG_INT_TEC",
                                                "BCD_FLAG_EPROM_CONECT",
                                                "FLAG_TRUNCAMENTO",
                                                "FLAG_CORTE",
                                                "FLAG_ALINHAMENTO",
                                                "FLAG_BP_CF",
                                                "FLAG_PRESENTER_GAVETA",
                                                "FLAG_CUTTER_AUTENTIC",
                                                "FLAG_RED_AUT_COM",
                                                "FLAG_GAVETA",
                                                "OPER_NO_FISCAL",
                                                "FORMAS_DE_PAGAMENTO",
                                                "DEPARTAMENTOS",
                                                "TOT_NAO_SUJ_ICMS",
                                                "RELAT_GER",
                                                "VER_INT_MEM_FISCAL",
                                                "VER_INT_MEM_FISCAL_COMP",
                                                "VER_INT_MEM_FISCAL_COMP_RD",
                                                "ALIQUOTAS",
                                                "TOT_PARCIAIS",
                                                "TIPO_DOC_ABERTO"};
    ASSERT_EQ(param_types.size(), 39u);
    ASSERT_EQ(return_types.size(), 36u);
    std::set<std::string> used_params, used_returns, groups, escapes_vn;
    std::map<std::string, std::string> teste_default;
    bool minus1 = false, minus2 = false;
    for (const CatalogEntry& e : all) {
        for (const auto& p : e.params) used_params.insert(p.first);
        used_returns.insert(e.returns.begin(), e.returns.end());
        groups.insert(e.tipo);
        if (e.file == "comandos_vn.xml") escapes_vn.insert(e.escape);
        minus1 = minus1 || e.tamanho_retorno == -1;
        minus2 = minus2 || e.tamanho_retorno == -2;
        if (e.tipo == "TESTE" && !e.param_values.empty()) teste_default[e.escape] = e.param_values[0];
        if (e.tipo != "TESTE") {
            EXPECT_NE(e.titulo.find_first_not_of(' '), std::string::npos);
        }
        if (e.escape == "8") {
            // The fiscal memory reading puts its I/R/r letter at frame position 17.
            int position = 5;
            for (const auto& p : e.params) {
                if (p.first == "LEIT_MEM_FISCAL") {
                    EXPECT_EQ(position, 17) << e.titulo;
                }
                if (p.first == "LEIT_DADOS_MEM_FISCAL") {
                    EXPECT_EQ(position + p.second - 1, 17) << e.titulo;
                }
                position += p.second;
            }
        }
    }
    for (const std::string& t : param_types) EXPECT_TRUE(used_params.count(t)) << "parameter type " << t;
    for (const std::string& t : return_types) EXPECT_TRUE(used_returns.count(t)) << "return type " << t;
    for (const std::string& t : used_params)
        EXPECT_TRUE(param_types.count(t)) << "unknown parameter type " << t;
    for (const std::string& t : used_returns)
        EXPECT_TRUE(return_types.count(t)) << "unknown return type " << t;
    EXPECT_TRUE(minus1 && minus2);
    for (const char* g :
         {"TESTE", "GPRS", "Lecturas", "Programación", "Informes", "No Fiscal", "Memoria Fiscal"})
        EXPECT_TRUE(groups.count(g)) << g;
    EXPECT_EQ(teste_default["-1"], "1500");
    for (const char* e : {"-2", "-3", "-5"}) EXPECT_TRUE(teste_default.count(e)) << e;
    // Everything a whole receipt needs, and the commands other windows send in code.
    for (const char* e :
         {"0",    "9",    "29", "32",    "72",    "34", "14",    "6", "5",        "35 23",    "2",
          "35 0", "35 2", "26", "35 29", "35 13", "19", "35 10", "8", "62 95 97", "62 95 99", "-4"})
        EXPECT_TRUE(escapes_vn.count(e)) << "comandos_vn.xml lacks " << e;
}

TEST(SampleCatalogs, EveryCommandIsAnsweredInItsCatalogLayout) {
    const std::vector<CatalogEntry> all = LoadCatalogs();
    TempDir dir;
    Sim sim(dir);
    Port port(sim.link());
    int checked = 0;
    for (const CatalogEntry& e : all) {
        if (e.tipo == "TESTE" || e.tipo == "GPRS") continue;
        Bytes escape;
        std::istringstream words(e.escape);
        for (std::string w; words >> w;) escape.push_back(static_cast<uint8_t>(std::stoi(w) & 0xFF));
        // Without its parameters the command is refused, but its answer keeps the catalog's layout.
        const bool fs = e.tamanho_retorno != -2;
        port.Write(Frame(escape, {}, fs));
        Bytes a;
        if (e.tamanho_retorno == -1)
            a = port.ReadStatusFirst(5, ETX);
        else if (e.tamanho_retorno == -2)
            a = port.ReadStatusFirst(3, 0x00);
        else
            a = port.Read(1 + e.tamanho_retorno + 4);
        ASSERT_FALSE(a.empty()) << e.file << ": " << e.titulo;
        EXPECT_EQ(a[0], ACK) << e.file << ": " << e.titulo;
        if (e.tamanho_retorno >= 0) {
            EXPECT_EQ(a.size(), 1u + e.tamanho_retorno + 4) << e.file << ": " << e.titulo;
        }
        ++checked;
    }
    EXPECT_GT(checked, 250);
    EXPECT_TRUE(port.Quiet(200)) << "no answer was longer than its layout";
}

}  // namespace
